// Owners of the device and service removal's resources: a device
// information set, a service or service-manager handle and a LocalAlloc
// block, each released when its owner goes out of scope. Copying one is a
// compile error.
#pragma once
#include "platform/platform.h"

class ScopedDeviceInfoSet {
 public:
  explicit ScopedDeviceInfoSet(HDEVINFO set) : set_(set) {}
  ~ScopedDeviceInfoSet() {
    if (IsValid()) plat::SetupDiDestroyDeviceInfoList(set_);
  }
  ScopedDeviceInfoSet(const ScopedDeviceInfoSet&) = delete;
  ScopedDeviceInfoSet& operator=(const ScopedDeviceInfoSet&) = delete;

  HDEVINFO Get() const { return set_; }
  bool IsValid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }

 private:
  HDEVINFO set_;
};

// A service or service-manager handle. Close reports the result, because a
// failed close is shown to the user; the destructor closes what is left open.
class ScopedServiceHandle {
 public:
  explicit ScopedServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ScopedServiceHandle() {
    if (handle_ != nullptr) plat::CloseServiceHandle(handle_);
  }
  ScopedServiceHandle(const ScopedServiceHandle&) = delete;
  ScopedServiceHandle& operator=(const ScopedServiceHandle&) = delete;

  SC_HANDLE Get() const { return handle_; }
  // 1 when the handle was closed; 0 with the close's error code in *error.
  int Close(DWORD* error) {
    SC_HANDLE handle = handle_;
    handle_ = nullptr;
    if (plat::CloseServiceHandle(handle)) return 1;
    *error = plat::GetLastError();
    return 0;
  }

 private:
  SC_HANDLE handle_;
};

class ScopedLocalBlock {
 public:
  ScopedLocalBlock() = default;
  ~ScopedLocalBlock() { Reset(nullptr); }
  ScopedLocalBlock(const ScopedLocalBlock&) = delete;
  ScopedLocalBlock& operator=(const ScopedLocalBlock&) = delete;

  BYTE* Get() const { return static_cast<BYTE*>(block_); }
  void Reset(HLOCAL block) {
    if (block_ != nullptr) plat::LocalFree(block_);
    block_ = block;
  }

 private:
  HLOCAL block_ = nullptr;
};
