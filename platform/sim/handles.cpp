#include "platform/sim/handles.h"

namespace sim {

const char* HandleKindName(HandleKind kind) {
  switch (kind) {
    case HandleKind::RegistryKey: return "RegistryKey";
    case HandleKind::FindSearch: return "FindSearch";
    case HandleKind::DeviceInfoSet: return "DeviceInfoSet";
    case HandleKind::InfFile: return "InfFile";
    case HandleKind::ServiceManager: return "ServiceManager";
    case HandleKind::Service: return "Service";
    case HandleKind::Token: return "Token";
    case HandleKind::Mutex: return "Mutex";
    case HandleKind::Module: return "Module";
    case HandleKind::DeviceContext: return "DeviceContext";
    case HandleKind::Sid: return "Sid";
    case HandleKind::LocalMemory: return "LocalMemory";
    case HandleKind::HeapMemory: return "HeapMemory";
    case HandleKind::Icon: return "Icon";
    case HandleKind::File: return "File";
    case HandleKind::Process: return "Process";
    case HandleKind::Thread: return "Thread";
  }
  return "?";
}

uintptr_t Handles::Open(HandleKind kind) {
  next_ += 4;
  open_[next_] = kind;
  return next_;
}

bool Handles::Close(uintptr_t value, HandleKind kind) {
  auto it = open_.find(value);
  if (it == open_.end() || it->second != kind) return false;
  open_.erase(it);
  return true;
}

bool Handles::IsOpen(uintptr_t value, HandleKind kind) const {
  auto it = open_.find(value);
  return it != open_.end() && it->second == kind;
}

size_t Handles::OpenCount(HandleKind kind) const {
  size_t n = 0;
  for (const auto& entry : open_) n += entry.second == kind ? 1 : 0;
  return n;
}

size_t Handles::OpenCount() const { return open_.size(); }

std::string Handles::Describe() const {
  std::map<std::string, size_t> byKind;
  for (const auto& entry : open_) ++byKind[HandleKindName(entry.second)];
  std::string text;
  for (const auto& [name, count] : byKind) {
    if (!text.empty()) text += ", ";
    text += name + ": " + std::to_string(count);
  }
  return text;
}

}  // namespace sim
