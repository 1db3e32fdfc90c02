// Small helpers shared by the file and INI contract tests: the thread's last
// error, closing a file handle, and planting a file with given contents.
#pragma once
#include <string>

#include "platform/tests/contract_env.h"

#ifdef USBINST_CONTRACT_SIM
#include "platform/sim/machine.h"
#endif

inline DWORD ContractLastError() { return plat::GetLastError(); }
inline void ContractSetLastError(DWORD error) { plat::SetLastError(error); }

// Closes a handle of CreateFileA. On the simulated machine this does what
// plat::CloseHandle does for a file handle, until that dispatch is on main.
inline BOOL ContractCloseFile(HANDLE file) {
#ifdef USBINST_CONTRACT_SIM
  uintptr_t value = reinterpret_cast<uintptr_t>(file);
  sim::Machine& machine = sim::CurrentMachine();
  return machine.files.CloseFileHandle(value) &&
         machine.handles.Close(value, sim::HandleKind::File);
#else
  return plat::CloseHandle(file);
#endif
}

// Creates or replaces a file with the contents; true on success.
inline bool PlantFile(const std::string& path, const std::string& contents) {
  HANDLE file = plat::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = plat::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written,
                            nullptr);
  ContractCloseFile(file);
  return ok && written == contents.size();
}

// The whole contents of a file; empty when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
  HANDLE file = plat::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string contents;
  char chunk[256];
  DWORD read = 0;
  while (plat::ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
    contents.append(chunk, read);
  }
  ContractCloseFile(file);
  return contents;
}
