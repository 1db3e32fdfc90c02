// Closes a file handle when it goes out of scope (INVALID_HANDLE_VALUE: nothing
// to close), for the Windows-only readers of the trace tools and the preview.
#pragma once

#include <windows.h>

namespace trace {

class FileOwner {
 public:
  explicit FileOwner(HANDLE handle) : handle_(handle) {}
  FileOwner(const FileOwner&) = delete;
  FileOwner& operator=(const FileOwner&) = delete;
  ~FileOwner() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace trace
