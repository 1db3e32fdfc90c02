// The other makers' INF files of the real-world corpus (its infs/ folder),
// embedded at build time (realworld.cmake generates real_infs.inc), in
// file-name order. A build without the corpus has none: RealInfs() is then
// empty and the tests that need it skip, naming the folder they looked in.
#pragma once

#include <cstddef>
#include <span>

#include "realworld_dir.h"

struct RealInf {
  const char* name;
  const char* bytes;
  size_t size;
};

namespace real_infs_detail {
// The last entry only keeps the array from being empty without the corpus.
inline constexpr RealInf kEntries[] = {
#include "real_infs.inc"
    {nullptr, nullptr, 0},
};
}  // namespace real_infs_detail

inline std::span<const RealInf> RealInfs() {
  return {real_infs_detail::kEntries, std::size(real_infs_detail::kEntries) - 1};
}

// The message a test skips with when the corpus was not there at build time.
inline constexpr const char* kRealInfsAbsent =
    "the real-world corpus was not found at build time (" USBINST_REALWORLD_DIR
    "/infs): other makers' INF files are not tested";
