#include "platform/sim/faults.h"

namespace sim {

void Faults::FailOn(const std::string& operation, uint64_t nth, uint32_t error) {
  pending_[operation] = Pending{calls_[operation] + nth, error};
  fired_ = false;
}

void Faults::FailOnAnyCall(uint64_t nth, uint32_t error) {
  anyAt_ = total_ + nth;
  anyError_ = error;
  fired_ = false;
}

void Faults::Clear() {
  pending_.clear();
  anyAt_ = 0;
  anyError_ = 0;
}

bool Faults::Enter(const char* operation, uint32_t* error) {
  uint64_t count = ++calls_[operation];
  ++total_;
  if (logging_) log_.emplace_back(operation);
  if (anyAt_ != 0 && total_ == anyAt_) {
    *error = anyError_;
    anyAt_ = 0;
    fired_ = true;
    return true;
  }
  auto it = pending_.find(operation);
  if (it != pending_.end() && it->second.atCall == count) {
    *error = it->second.error;
    pending_.erase(it);
    fired_ = true;
    return true;
  }
  return false;
}

uint64_t Faults::Calls(const std::string& operation) const {
  auto it = calls_.find(operation);
  return it == calls_.end() ? 0 : it->second;
}

void Faults::ResetCounts() {
  calls_.clear();
  total_ = 0;
}

}  // namespace sim
