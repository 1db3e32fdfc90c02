#include "platform/tests/contract_env.h"

#ifdef USBINST_CONTRACT_SIM
#include "platform/sim/machine.h"
#endif

namespace {

const char kScratchKey[] = "Software\\UsbInstContract";

#ifdef USBINST_CONTRACT_SIM
const char kScratchFolder[] = "C:\\TEMP\\usbinst-contract\\";
#else
// Removes a folder's files and sub-folders, then the folder itself.
void RemoveFolderTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolderTree(path + "\\");
      } else {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(search, &data));
    ::FindClose(search);
  }
  ::RemoveDirectoryA(folder.c_str());
}

std::string TempScratchFolder() {
  char temp[MAX_PATH + 1] = {};
  ::GetTempPathA(MAX_PATH, temp);
  return std::string(temp) + "usbinst-contract\\";
}
#endif

}  // namespace

bool ContractOnSimulatedMachine() {
#ifdef USBINST_CONTRACT_SIM
  return true;
#else
  return false;
#endif
}

bool ContractWineRunsAsRoot() {
#ifdef USBINST_CONTRACT_SIM
  return false;
#else
  char uid[16] = {};
  DWORD length = ::GetEnvironmentVariableA("USBINST_WINE_UID", uid, sizeof uid);
  return length == 1 && uid[0] == '0';
#endif
}

const char* ContractScratchKey() { return kScratchKey; }

std::string ContractScratchFolder() {
#ifdef USBINST_CONTRACT_SIM
  return kScratchFolder;
#else
  return TempScratchFolder();
#endif
}

void ResetContractMachine(bool windows7) {
#ifdef USBINST_CONTRACT_SIM
  sim::MachineOptions options;
  if (windows7) options.version = sim::WindowsVersion::Windows7;
  sim::ResetMachine(options);
  plat::CreateDirectoryA("C:\\TEMP", nullptr);
#else
  (void)windows7;
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratchKey);
  RemoveFolderTree(TempScratchFolder());
#endif
  HKEY key = nullptr;
  plat::RegCreateKeyExA(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
  if (key) plat::RegCloseKey(key);
  std::string folder = ContractScratchFolder();
  folder.pop_back();
  plat::CreateDirectoryA(folder.c_str(), nullptr);
}
