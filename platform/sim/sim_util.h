// Small helpers shared by the simulated operations.
#pragma once
#include <cstdint>
#include <string>

#include "platform/sim/machine.h"
#include "platform/win_types.h"

namespace sim {

// Sets the thread's last error (the failure paths of the operations).
inline void SetError(uint32_t error) { CurrentMachine().lastError = error; }

template <typename T>
uintptr_t HandleValue(T handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

// ASCII upper case, for names Windows compares without case.
std::string UpperAscii(std::string text);
// The part after the last backslash or slash.
std::string BaseName(const std::string& path);
// The code page that CP_ACP and CP_THREAD_ACP stand for on the machine.
uint32_t ResolveCodePage(uint32_t codePage);

}  // namespace sim
