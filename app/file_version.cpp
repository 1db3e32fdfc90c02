#include "app/file_version.h"

#include <cstring>
#include <memory>

#include "platform/platform.h"

namespace {

// Reads the fixed file information of a file's version resource.
bool ReadFixedFileInfo(const char* path, VS_FIXEDFILEINFO* info) {
  DWORD handle = 0;
  DWORD size = plat::GetFileVersionInfoSizeA(path, &handle);
  if (size == 0) return false;
  // The extra room guards against systems that write past the size they gave.
  DWORD blockSize = size + 100;
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[blockSize]);
  if (!block) return false;
  if (!plat::GetFileVersionInfoA(path, 0, blockSize, block.get())) return false;
  void* fixed = nullptr;
  UINT fixedSize = 0;
  char root[] = "\\";
  if (!plat::VerQueryValueA(block.get(), root, &fixed, &fixedSize)) return false;
  // A block without a complete fixed part has no version to give.
  if (fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO)) return false;
  std::memcpy(info, fixed, sizeof(VS_FIXEDFILEINFO));
  return true;
}

}  // namespace

DWORD GetFileVersionMS(const char* path) {
  VS_FIXEDFILEINFO info;
  return ReadFixedFileInfo(path, &info) ? info.dwFileVersionMS : 0;
}

int GetFileVersionParts(const char* path, WORD* major, WORD* minor, WORD* build, WORD* revision) {
  VS_FIXEDFILEINFO info;
  if (!ReadFixedFileInfo(path, &info)) return 0;
  if (major) *major = HIWORD(info.dwFileVersionMS);
  if (minor) *minor = LOWORD(info.dwFileVersionMS);
  if (build) *build = HIWORD(info.dwFileVersionLS);
  if (revision) *revision = LOWORD(info.dwFileVersionLS);
  return 1;
}

int GetServicePackMajor(WORD* major, WORD* minor) {
  OSVERSIONINFOEXA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!plat::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return 0;
  if (major) *major = info.wServicePackMajor;
  if (minor) *minor = info.wServicePackMinor;
  return 1;
}
