// The other makers' INF files of tests/data/real/infs, embedded at build time
// (real_infs.cmake generates real_infs.inc), in file-name order.
#pragma once

#include <cstddef>

struct RealInf {
  const char* name;
  const char* bytes;
  size_t size;
};

inline constexpr RealInf kRealInfs[] = {
#include "real_infs.inc"
};
