// File system and process environment on Windows: each operation passes
// straight to kernel32.
#include "platform/files.h"

namespace plat {

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  return ::GetModuleFileNameA(module, fileName, size);
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) { return ::GetWindowsDirectoryA(buffer, size); }

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) { return ::GetSystemDirectoryA(buffer, size); }

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  return ::FindFirstFileA(pattern, data);
}

BOOL FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA data) {
  return ::FindNextFileA(search, data);
}

BOOL FindClose(HANDLE search) { return ::FindClose(search); }

DWORD GetFileAttributesA(LPCSTR path) { return ::GetFileAttributesA(path); }

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
  return ::SetFileAttributesA(path, attributes);
}

BOOL CopyFileA(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
  return ::CopyFileA(existing, target, failIfExists);
}

BOOL DeleteFileA(LPCSTR path) { return ::DeleteFileA(path); }

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR fileName) {
  return ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
  return ::CreateDirectoryA(path, security);
}

BOOL RemoveDirectoryA(LPCSTR path) { return ::RemoveDirectoryA(path); }

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
  return ::CreateFileA(path, access, share, security, disposition, flags, templateFile);
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD length, LPDWORD written, LPVOID overlapped) {
  return ::WriteFile(file, data, length, written, static_cast<LPOVERLAPPED>(overlapped));
}

BOOL ReadFile(HANDLE file, LPVOID data, DWORD length, LPDWORD read, LPVOID overlapped) {
  return ::ReadFile(file, data, length, read, static_cast<LPOVERLAPPED>(overlapped));
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
  return ::WritePrivateProfileStringA(section, key, value, fileName);
}

}  // namespace plat
