#include "platform/sim/system_model.h"

#include <cstdlib>

#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"

namespace sim {

const VersionImage& VersionImageOf(WindowsVersion version) {
  constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
  constexpr DWORD kNt = VER_PLATFORM_WIN32_NT;
  static const VersionImage k95 = {4, 0, 0x040003B6, k9x, "", 0, 0, false};
  static const VersionImage k98 = {4, 10, 0x040A07CE, k9x, "", 0, 0, false};
  static const VersionImage kMe = {4, 90, 0x045A0BB8, k9x, "", 0, 0, false};
  static const VersionImage kNt4 = {4, 0, 1381, kNt, "Service Pack 6", 6, 0, true};
  static const VersionImage k2000 = {5, 0, 2195, kNt, "Service Pack 4", 4, 0, true};
  static const VersionImage kXp1 = {5, 1, 2600, kNt, "Service Pack 1", 1, 0, true};
  static const VersionImage kXp2 = {5, 1, 2600, kNt, "Service Pack 2", 2, 0, true};
  static const VersionImage kXp3 = {5, 1, 2600, kNt, "Service Pack 3", 3, 0, true};
  static const VersionImage kVista = {6, 0, 6002, kNt, "Service Pack 2", 2, 0, true};
  static const VersionImage k7 = {6, 1, 7601, kNt, "Service Pack 1", 1, 0, true};
  static const VersionImage k81 = {6, 3, 9600, kNt, "", 0, 0, true};
  static const VersionImage k10 = {10, 0, 19045, kNt, "", 0, 0, true};
  static const VersionImage k11 = {10, 0, 22631, kNt, "", 0, 0, true};
  switch (version) {
    case WindowsVersion::Windows95: return k95;
    case WindowsVersion::Windows98: return k98;
    case WindowsVersion::WindowsMe: return kMe;
    case WindowsVersion::WindowsNT4: return kNt4;
    case WindowsVersion::Windows2000: return k2000;
    case WindowsVersion::WindowsXPSP1: return kXp1;
    case WindowsVersion::WindowsXPSP2: return kXp2;
    case WindowsVersion::WindowsXPSP3: return kXp3;
    case WindowsVersion::WindowsVista: return kVista;
    case WindowsVersion::Windows7: return k7;
    case WindowsVersion::Windows81: return k81;
    case WindowsVersion::Windows10: return k10;
    case WindowsVersion::Windows11: return k11;
  }
  return kXp3;
}

const VersionImage& ReportedVersionImage(const MachineOptions& options) {
  // Windows 8 as 8.1 and later report it to a program whose manifest does not
  // name them.
  static const VersionImage k8 = {6, 2, 9200, VER_PLATFORM_WIN32_NT, "", 0, 0, true};
  if (options.version >= WindowsVersion::Windows81 && !options.manifestNamesWindows10) return k8;
  return VersionImageOf(options.version);
}

FileVersionNumbers ComCtl32VersionOf(WindowsVersion version) {
  switch (version) {
    case WindowsVersion::Windows95:
    case WindowsVersion::Windows98:
    case WindowsVersion::WindowsMe: return {4, 72, 3110, 0};
    case WindowsVersion::WindowsNT4: return {4, 70, 1158, 0};
    case WindowsVersion::Windows2000: return {5, 81, 4968, 0};
    default: return {5, 82, 2900, 0};
  }
}

SystemModel::~SystemModel() {
  for (auto& entry : blocks) std::free(const_cast<void*>(entry.first));
}

void SystemModel::InstallProgram(Machine& machine, const std::string& path, Program program) {
  machine.files.WriteFile(path, "MZ");
  programs[UpperAscii(path)] = std::move(program);
}

void SystemModel::PretendOtherInstanceHoldsMutex(const std::string& name) {
  mutexes[name].heldElsewhere = true;
}

int SystemModel::LoadCount(const std::string& baseName) const {
  auto it = modules.find(baseName);
  return it == modules.end() ? 0 : it->second.loadCount;
}

void SystemModel::RemoveVersionInfo(const std::string& path) {
  filesWithoutVersion.insert(path);
  fileVersions.erase(path);
}

void SystemModel::SetFileVersion(const std::string& path, FileVersionNumbers numbers) {
  fileVersions[path] = numbers;
  filesWithoutVersion.erase(path);
}

void* SystemModel::AllocateBlock(Machine& machine, HandleKind kind, size_t size) {
  if (size > memoryLimit) return nullptr;
  void* memory = std::calloc(1, size == 0 ? 1 : size);
  if (!memory) return nullptr;
  uintptr_t handle = machine.handles.Open(kind);
  blocks[memory] = Block{handle, kind, size};
  return memory;
}

bool SystemModel::FreeBlock(Machine& machine, const void* memory, HandleKind kind) {
  auto it = blocks.find(memory);
  if (it == blocks.end() || it->second.kind != kind) return false;
  machine.handles.Close(it->second.handle, kind);
  blocks.erase(it);
  std::free(const_cast<void*>(memory));
  return true;
}

size_t SystemModel::OpenBlocks(HandleKind kind) const {
  size_t n = 0;
  for (const auto& entry : blocks) n += entry.second.kind == kind ? 1 : 0;
  return n;
}

}  // namespace sim
