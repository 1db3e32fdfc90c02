// Owners of the registry cleanup's resources: an open key, a SID from
// AllocateAndInitializeSid and a block of the process heap, each released
// when its owner goes out of scope. Copying one is a compile error.
#pragma once
#include "platform/platform.h"

class ScopedKey {
 public:
  ScopedKey() = default;
  explicit ScopedKey(HKEY key) : key_(key) {}
  ~ScopedKey() { Reset(); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }
  // For the open operations that hand out a key: closes the one held first.
  HKEY* Receive() {
    Reset();
    return &key_;
  }
  // Hands the key over to the caller, who closes it.
  HKEY Release() {
    HKEY key = key_;
    key_ = nullptr;
    return key;
  }
  void Reset(HKEY key = nullptr) {
    if (key_ != nullptr) plat::RegCloseKey(key_);
    key_ = key;
  }

 private:
  HKEY key_ = nullptr;
};

class ScopedSid {
 public:
  ScopedSid() = default;
  ~ScopedSid() {
    if (sid_ != nullptr) plat::FreeSid(sid_);
  }
  ScopedSid(const ScopedSid&) = delete;
  ScopedSid& operator=(const ScopedSid&) = delete;

  PSID Get() const { return sid_; }
  PSID* Receive() { return &sid_; }

 private:
  PSID sid_ = nullptr;
};

class ScopedHeapBlock {
 public:
  explicit ScopedHeapBlock(SIZE_T bytes)
      : block_(plat::HeapAlloc(plat::GetProcessHeap(), 0, bytes)) {}
  ~ScopedHeapBlock() {
    if (block_ != nullptr) plat::HeapFree(plat::GetProcessHeap(), 0, block_);
  }
  ScopedHeapBlock(const ScopedHeapBlock&) = delete;
  ScopedHeapBlock& operator=(const ScopedHeapBlock&) = delete;

  void* Get() const { return block_; }

 private:
  void* block_ = nullptr;
};
