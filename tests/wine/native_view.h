// The test tools look at and change the machine as Windows itself does, also
// when they are 32-bit programs on 64-bit Windows (WOW64): registry keys in
// the 64-bit view, and files without the redirection of system32 to SysWOW64.
// On 32-bit Windows both are no-ops. Header-only: each tool is one source.
#pragma once
#include <windows.h>

namespace native_view {

inline bool RunsUnderWow64() {
  using IsWow64ProcessProc = BOOL(WINAPI*)(HANDLE, PBOOL);
  HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  auto isWow64 = reinterpret_cast<IsWow64ProcessProc>(
      reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "IsWow64Process")));
  BOOL wow64 = FALSE;
  return isWow64 && isWow64(::GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace native_view

// Added to the access of every key a tool opens or creates.
inline REGSAM NativeView() {
  static const REGSAM view = native_view::RunsUnderWow64() ? KEY_WOW64_64KEY : 0;
  return view;
}

namespace native_view {

// Called once at the start of a tool, before it touches a file.
inline void UseNativeFileSystem() {
  if (!RunsUnderWow64()) return;
  using DisableProc = BOOL(WINAPI*)(PVOID*);
  auto disable = reinterpret_cast<DisableProc>(reinterpret_cast<void (*)()>(::GetProcAddress(
      ::GetModuleHandleA("kernel32.dll"), "Wow64DisableWow64FsRedirection")));
  PVOID old = nullptr;
  if (disable) disable(&old);
}

// The same for as long as it lives, then the redirection is back: for a
// program that reads the native folders and afterwards writes files its user
// names.
class NativeFileSystemScope {
 public:
  NativeFileSystemScope() {
    if (!RunsUnderWow64()) return;
    using DisableProc = BOOL(WINAPI*)(PVOID*);
    auto disable = reinterpret_cast<DisableProc>(reinterpret_cast<void (*)()>(::GetProcAddress(
        ::GetModuleHandleA("kernel32.dll"), "Wow64DisableWow64FsRedirection")));
    disabled_ = disable && disable(&old_);
  }
  NativeFileSystemScope(const NativeFileSystemScope&) = delete;
  NativeFileSystemScope& operator=(const NativeFileSystemScope&) = delete;
  ~NativeFileSystemScope() {
    if (!disabled_) return;
    using RevertProc = BOOL(WINAPI*)(PVOID);
    auto revert = reinterpret_cast<RevertProc>(reinterpret_cast<void (*)()>(::GetProcAddress(
        ::GetModuleHandleA("kernel32.dll"), "Wow64RevertWow64FsRedirection")));
    if (revert) revert(old_);
  }

 private:
  PVOID old_ = nullptr;
  bool disabled_ = false;
};

}  // namespace native_view
