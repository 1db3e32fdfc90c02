#include "platform/sim/sim_util.h"

namespace sim {

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  }
  return text;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

uint32_t ResolveCodePage(uint32_t codePage) {
  constexpr uint32_t kThreadAcp = 3;
  if (codePage == CP_ACP || codePage == kThreadAcp) return CurrentMachine().options().codePage;
  return codePage;
}

}  // namespace sim
