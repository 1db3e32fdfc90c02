// The simulated machine's process-wide operations: last error, memory,
// modules, versions, file version resources, mutexes and CloseHandle.
#include <cstring>
#include <string>

#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"
#include "platform/system.h"
#include "resources/version.h"

namespace plat {

using sim::CurrentMachine;
using sim::EnterCall;
using sim::HandleKind;
using sim::SetError;

// GetLastError and SetLastError are not counted: they cannot fail, and
// counting them would make the failure switch depend on where code reads errors.
DWORD GetLastError() { return CurrentMachine().lastError; }
void SetLastError(DWORD error) { CurrentMachine().lastError = error; }

// ---- Memory. Only fixed blocks: the program never asks for movable memory.

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  uint32_t error = 0;
  if (EnterCall("LocalAlloc", &error)) return nullptr;
  if (flags & LMEM_MOVEABLE) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  sim::Machine& machine = CurrentMachine();
  void* memory = machine.system.AllocateBlock(machine, HandleKind::LocalMemory, bytes);
  if (!memory) SetError(ERROR_NOT_ENOUGH_MEMORY);
  return memory;
}

HLOCAL LocalFree(HLOCAL memory) {
  uint32_t error = 0;
  if (EnterCall("LocalFree", &error)) return memory;
  if (!memory) return nullptr;
  sim::Machine& machine = CurrentMachine();
  if (!machine.system.FreeBlock(machine, memory, HandleKind::LocalMemory)) {
    SetError(ERROR_INVALID_HANDLE);
    return memory;
  }
  return nullptr;
}

namespace {
HANDLE const kProcessHeap = reinterpret_cast<HANDLE>(uintptr_t{0x00140000});
}  // namespace

HANDLE GetProcessHeap() { return kProcessHeap; }

// HeapAlloc does not set the last error when it fails, as on Windows.
LPVOID HeapAlloc(HANDLE heap, DWORD, SIZE_T bytes) {
  uint32_t error = 0;
  if (EnterCall("HeapAlloc", &error)) return nullptr;
  if (heap != kProcessHeap) return nullptr;
  sim::Machine& machine = CurrentMachine();
  return machine.system.AllocateBlock(machine, HandleKind::HeapMemory, bytes);
}

BOOL HeapFree(HANDLE heap, DWORD, LPVOID memory) {
  uint32_t error = 0;
  if (EnterCall("HeapFree", &error)) return FALSE;
  if (!memory) return TRUE;
  sim::Machine& machine = CurrentMachine();
  if (heap != kProcessHeap || !machine.system.FreeBlock(machine, memory, HandleKind::HeapMemory)) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

// ---- Modules.

namespace {

// The libraries every version image has in its system folder.
bool IsSystemLibrary(const std::string& baseName) {
  static const char* const kLibraries[] = {"COMCTL32.DLL", "KERNEL32.DLL", "USER32.DLL",
                                           "GDI32.DLL",    "ADVAPI32.DLL", "SETUPAPI.DLL",
                                           "VERSION.DLL"};
  for (const char* name : kLibraries) {
    if (baseName == name) return true;
  }
  return false;
}

// Windows adds ".DLL" to a library name without an extension.
std::string LibraryBaseName(LPCSTR name) {
  std::string base = sim::UpperAscii(sim::BaseName(name));
  if (base.find('.') == std::string::npos) base += ".DLL";
  return base;
}

std::string* LoadedModuleName(HMODULE module) {
  for (auto& [name, entry] : CurrentMachine().system.modules) {
    if (entry.loadCount > 0 && entry.handle == sim::HandleValue(module)) {
      return const_cast<std::string*>(&name);
    }
  }
  return nullptr;
}

// comctl32's InitCommonControls, reached through GetProcAddress: the program
// imports nothing from comctl32.
void WINAPI SimInitCommonControls() {
  uint32_t error = 0;
  if (EnterCall("InitCommonControls", &error)) return;
  ++CurrentMachine().system.initCommonControlsCalls;
}

// comctl32's InitCommonControlsEx, reached only through GetProcAddress as on
// Windows. Every call is recorded with what it was given; only the 8-byte
// structure is accepted.
BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
  uint32_t error = 0;
  if (EnterCall("InitCommonControlsEx", &error)) return FALSE;
  INITCOMMONCONTROLSEX copy{};
  if (controls) copy = *controls;
  CurrentMachine().system.initCommonControlsExCalls.push_back(copy);
  return controls && controls->dwSize == sizeof(INITCOMMONCONTROLSEX);
}

}  // namespace

// The search for a bare name, as "Dynamic-Link Library Search Order" gives
// it for a desktop program: the system's libraries are found in the system
// folder, except that a file of that name in the program's own folder comes
// first, unless SetDefaultDllDirectories left only the system folder in the
// search. The current folder and PATH are not modelled. A full path names
// exactly that file.
HMODULE LoadLibraryA(LPCSTR name) {
  uint32_t error = 0;
  if (EnterCall("LoadLibraryA", &error)) return nullptr;
  if (!name || !*name) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  sim::Machine& machine = CurrentMachine();
  machine.system.libraryRequests.push_back(name);
  std::string base = LibraryBaseName(name);
  std::string given = sim::UpperAscii(name);
  bool bare = given.find('\\') == std::string::npos && given.find('/') == std::string::npos;
  std::string systemFolder = sim::UpperAscii(machine.files.SystemDirectory());
  if (!systemFolder.ends_with("\\")) systemFolder += "\\";
  std::string foreign;
  if (bare) {
    std::string program = sim::UpperAscii(machine.options().programPath);
    std::string beside = program.substr(0, program.rfind('\\') + 1) + base;
    // LOAD_LIBRARY_SEARCH_APPLICATION_DIR and ..._DEFAULT_DIRS keep the
    // program's folder in a search SetDefaultDllDirectories narrowed.
    DWORD directories = machine.system.defaultDllDirectories;
    bool programFolder = directories == 0 || (directories & (0x200 | 0x1000)) != 0;
    if (programFolder && machine.files.FileExists(beside)) foreign = beside;
  } else if (given.rfind(systemFolder, 0) != 0 || given.size() != systemFolder.size() + base.size()) {
    if (!machine.files.FileExists(name)) {
      SetError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    foreign = given;
  }
  if (foreign.empty() && !IsSystemLibrary(base)) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (!foreign.empty()) machine.system.foreignLibraryLoads.push_back(foreign);
  sim::SystemModel::Module& module = machine.system.modules[foreign.empty() ? base : foreign];
  if (module.loadCount++ == 0) module.handle = machine.handles.Open(HandleKind::Module);
  return reinterpret_cast<HMODULE>(module.handle);
}

// kernel32 is in every process from its start; its handle is not counted as
// one the program must release.
HMODULE const kKernel32 = reinterpret_cast<HMODULE>(uintptr_t{0x7C800000});

HMODULE GetModuleHandleA(LPCSTR name) {
  uint32_t error = 0;
  if (EnterCall("GetModuleHandleA", &error)) return nullptr;
  if (!name) return reinterpret_cast<HMODULE>(uintptr_t{0x400000});
  std::string base = LibraryBaseName(name);
  if (base == "KERNEL32.DLL") return kKernel32;
  auto found = CurrentMachine().system.modules.find(base);
  if (found == CurrentMachine().system.modules.end() || found->second.loadCount == 0) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HMODULE>(found->second.handle);
}

// Defined with the process operations.
BOOL WINAPI SimIsWow64Process(HANDLE process, PBOOL wow64);
// Defined with the file operations.
UINT WINAPI SimGetSystemWindowsDirectoryA(LPSTR buffer, UINT size);

namespace {

BOOL WINAPI SimSetDllDirectoryA(LPCSTR path) {
  uint32_t error = 0;
  if (EnterCall("SetDllDirectoryA", &error)) return FALSE;
  sim::SystemModel& system = CurrentMachine().system;
  system.dllDirectorySet = path != nullptr;
  system.dllDirectory = path ? path : "";
  return TRUE;
}

// Takes the four flags its documentation lists (APPLICATION_DIR, USER_DIRS,
// SYSTEM32, DEFAULT_DIRS); other bits are refused here.
BOOL WINAPI SimSetDefaultDllDirectories(DWORD flags) {
  uint32_t error = 0;
  if (EnterCall("SetDefaultDllDirectories", &error)) return FALSE;
  const DWORD known = 0x200 | 0x400 | LOAD_LIBRARY_SEARCH_SYSTEM32 | 0x1000;
  if (flags == 0 || (flags & ~known) != 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  CurrentMachine().system.defaultDllDirectories = flags;
  return TRUE;
}

// The kernel32 functions the program fetches by name, where the machine's
// Windows exports them.
FARPROC Kernel32Export(LPCSTR name) {
  if (!name || IS_INTRESOURCE(name)) return nullptr;
  const sim::MachineOptions& options = CurrentMachine().options();
  using sim::WindowsVersion;
  auto proc = [](auto function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
  };
  // IsWow64Process came with XP SP2; every 64-bit Windows has it.
  if (std::strcmp(name, "IsWow64Process") == 0 &&
      (options.windows64 || options.version >= WindowsVersion::WindowsXPSP2)) {
    return proc(&SimIsWow64Process);
  }
  // SetDllDirectoryA: XP SP1 and later.
  if (std::strcmp(name, "SetDllDirectoryA") == 0 &&
      options.version >= WindowsVersion::WindowsXPSP1) {
    return proc(&SimSetDllDirectoryA);
  }
  // SetDefaultDllDirectories: Windows 8 and later, Vista and 7 with KB2533623.
  if (std::strcmp(name, "SetDefaultDllDirectories") == 0 &&
      (options.version >= WindowsVersion::Windows81 ||
       (options.dllDirectoriesUpdate && options.version >= WindowsVersion::WindowsVista))) {
    return proc(&SimSetDefaultDllDirectories);
  }
  // GetSystemWindowsDirectoryA: Windows 2000 and later, and NT 4 Terminal
  // Server Edition.
  bool terminalServerNt4 = options.version == WindowsVersion::WindowsNT4 &&
                           !options.terminalServerUserWindowsFolder.empty();
  if (std::strcmp(name, "GetSystemWindowsDirectoryA") == 0 &&
      (options.version >= WindowsVersion::Windows2000 || terminalServerNt4)) {
    return proc(&SimGetSystemWindowsDirectoryA);
  }
  return nullptr;
}

}  // namespace

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  uint32_t error = 0;
  if (EnterCall("GetProcAddress", &error)) return nullptr;
  if (module == kKernel32) {
    FARPROC found = Kernel32Export(name);
    if (!found) SetError(ERROR_PROC_NOT_FOUND);
    return found;
  }
  std::string* moduleName = LoadedModuleName(module);
  if (!moduleName) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // Exports by ordinal are not modelled.
  if (!name || IS_INTRESOURCE(name) || *moduleName != "COMCTL32.DLL") {
    SetError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  if (std::strcmp(name, "InitCommonControlsEx") == 0) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&InitCommonControlsEx));
  }
  if (std::strcmp(name, "InitCommonControls") == 0) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&SimInitCommonControls));
  }
  SetError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
  uint32_t error = 0;
  if (EnterCall("FreeLibrary", &error)) return FALSE;
  std::string* moduleName = LoadedModuleName(module);
  if (!moduleName) {
    SetError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  sim::Machine& machine = CurrentMachine();
  sim::SystemModel::Module& entry = machine.system.modules[*moduleName];
  if (--entry.loadCount == 0) {
    machine.handles.Close(entry.handle, HandleKind::Module);
    entry.handle = 0;
  }
  return TRUE;
}


// ---- Versions.

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
  uint32_t error = 0;
  if (EnterCall("GetVersionExA", &error)) return FALSE;
  if (!info) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const sim::VersionImage& image = sim::ReportedVersionImage(CurrentMachine().options());
  DWORD size = info->dwOSVersionInfoSize;
  bool extended = size == sizeof(OSVERSIONINFOEXA);
  if (size != sizeof(OSVERSIONINFOA) && !(extended && image.knowsVersionInfoEx)) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwMajorVersion = image.major;
  info->dwMinorVersion = image.minor;
  info->dwBuildNumber = image.build;
  info->dwPlatformId = image.platformId;
  std::memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
  std::strncpy(info->szCSDVersion, image.servicePackText, sizeof(info->szCSDVersion) - 1);
  if (extended) {
    auto* ex = reinterpret_cast<LPOSVERSIONINFOEXA>(info);
    ex->wServicePackMajor = image.servicePackMajor;
    ex->wServicePackMinor = image.servicePackMinor;
    ex->wSuiteMask = 0x100;  // VER_SUITE_SINGLEUSERTS, as a workstation reports it
    ex->wProductType = VER_NT_WORKSTATION;
    ex->wReserved = 0;
  }
  return TRUE;
}

// ---- File version resources.
//
// The block is a VS_VERSIONINFO resource as Windows stores it: a header
// (length, value length, type), the key L"VS_VERSION_INFO" padded to 32 bits,
// then VS_FIXEDFILEINFO. String and translation tables are not modelled.

namespace {

constexpr char16_t kVersionKey[] = u"VS_VERSION_INFO";
constexpr size_t kFixedOffset = 6 + sizeof(kVersionKey) + 2;  // header, key, padding: 40
constexpr size_t kBlockSize = kFixedOffset + sizeof(VS_FIXEDFILEINFO);

enum class VersionLookup { Found, NoResource, NoFile };

VersionLookup FindFileVersion(LPCSTR fileName, sim::FileVersionNumbers* numbers) {
  sim::Machine& machine = CurrentMachine();
  const sim::SystemModel& system = machine.system;
  std::string path = sim::UpperAscii(fileName);
  std::string base = sim::BaseName(path);
  if (system.filesWithoutVersion.count(path) || system.filesWithoutVersion.count(base)) {
    return VersionLookup::NoResource;
  }
  auto it = system.fileVersions.find(path);
  if (it == system.fileVersions.end()) it = system.fileVersions.find(base);
  if (it != system.fileVersions.end()) {
    *numbers = it->second;
    return VersionLookup::Found;
  }
  if (path == sim::UpperAscii(machine.options().programPath)) {
    *numbers = {USBINST_VERSION_MAJOR, USBINST_VERSION_MINOR, USBINST_VERSION_BUILD,
                USBINST_VERSION_REVISION};
    return VersionLookup::Found;
  }
  // COMCTL32.DLL by its name (found in the system folder) or by its path there.
  if (base == "COMCTL32.DLL") {
    std::string folder = path.substr(0, path.size() - base.size());
    std::string systemFolder = sim::UpperAscii(machine.files.SystemDirectory());
    if (!systemFolder.ends_with("\\")) systemFolder += "\\";
    if (folder.empty() || folder == systemFolder) {
      *numbers = sim::ComCtl32VersionOf(machine.options().version);
      return VersionLookup::Found;
    }
  }
  // Any other file that exists carries no version resource.
  if (machine.files.FileExists(fileName)) return VersionLookup::NoResource;
  return VersionLookup::NoFile;
}

void BuildVersionBlock(const sim::FileVersionNumbers& numbers, bool library, BYTE* block) {
  std::memset(block, 0, kBlockSize);
  WORD header[3] = {WORD(kBlockSize), WORD(sizeof(VS_FIXEDFILEINFO)), 0};
  std::memcpy(block, header, sizeof(header));
  std::memcpy(block + 6, kVersionKey, sizeof(kVersionKey));
  VS_FIXEDFILEINFO fixed{};
  fixed.dwSignature = VS_FFI_SIGNATURE;
  fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
  fixed.dwFileVersionMS = DWORD(numbers.major) << 16 | numbers.minor;
  fixed.dwFileVersionLS = DWORD(numbers.build) << 16 | numbers.revision;
  fixed.dwProductVersionMS = fixed.dwFileVersionMS;
  fixed.dwProductVersionLS = fixed.dwFileVersionLS;
  fixed.dwFileFlagsMask = 0x3F;
  fixed.dwFileOS = VOS_NT_WINDOWS32;
  fixed.dwFileType = library ? VFT_DLL : VFT_APP;
  std::memcpy(block + kFixedOffset, &fixed, sizeof(fixed));
}

bool ReportMissingVersion(VersionLookup lookup) {
  SetError(lookup == VersionLookup::NoFile ? ERROR_FILE_NOT_FOUND
                                           : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return false;
}

}  // namespace

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
  uint32_t error = 0;
  if (handle) *handle = 0;
  if (EnterCall("GetFileVersionInfoSizeA", &error)) return 0;
  if (!fileName || !*fileName) return ReportMissingVersion(VersionLookup::NoFile);
  sim::FileVersionNumbers numbers{};
  VersionLookup lookup = FindFileVersion(fileName, &numbers);
  if (lookup != VersionLookup::Found) return ReportMissingVersion(lookup);
  return DWORD(kBlockSize);
}

// A buffer smaller than the resource receives its beginning, as on Windows;
// the copied header then says how much of the block is there.
BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD length, LPVOID data) {
  uint32_t error = 0;
  if (EnterCall("GetFileVersionInfoA", &error)) return FALSE;
  if (!data) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!fileName || !*fileName) return ReportMissingVersion(VersionLookup::NoFile);
  sim::FileVersionNumbers numbers{};
  VersionLookup lookup = FindFileVersion(fileName, &numbers);
  if (lookup != VersionLookup::Found) return ReportMissingVersion(lookup);
  BYTE block[kBlockSize];
  BuildVersionBlock(numbers, sim::UpperAscii(fileName).ends_with(".DLL"), block);
  size_t copied = length < kBlockSize ? length : kBlockSize;
  if (copied >= sizeof(WORD)) {
    WORD copiedLength = WORD(copied);
    std::memcpy(block, &copiedLength, sizeof(copiedLength));
  }
  std::memcpy(data, block, copied);
  return TRUE;
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
  uint32_t error = 0;
  if (EnterCall("VerQueryValueA", &error)) return FALSE;
  if (!block || !subBlock || !buffer) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const BYTE* bytes = static_cast<const BYTE*>(block);
  WORD blockLength = 0;
  WORD valueLength = 0;
  std::memcpy(&blockLength, bytes, sizeof(WORD));
  std::memcpy(&valueLength, bytes + 2, sizeof(WORD));
  bool root = std::strcmp(subBlock, "\\") == 0 || subBlock[0] == '\0';
  if (!root || valueLength != sizeof(VS_FIXEDFILEINFO) || blockLength < kBlockSize) {
    SetError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  *buffer = const_cast<BYTE*>(bytes + kFixedOffset);
  if (length) *length = sizeof(VS_FIXEDFILEINFO);
  return TRUE;
}

// ---- Mutexes.

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  uint32_t error = 0;
  if (EnterCall("CreateMutexA", &error)) return nullptr;
  sim::Machine& machine = CurrentMachine();
  sim::SystemModel& system = machine.system;
  // Object names are compared with case, as Windows does.
  std::string key = name ? std::string(name) : std::string();
  bool existed = false;
  if (key.empty()) {
    key = "\x01unnamed#" + std::to_string(++system.unnamedMutexSerial);
  } else {
    existed = system.mutexes.count(key) != 0;
  }
  sim::SystemModel::Mutex& mutex = system.mutexes[key];
  // For an existing mutex the initial-owner request is ignored.
  if (!existed && initialOwner) mutex.ownedCount = 1;
  ++mutex.handles;
  uintptr_t handle = machine.handles.Open(HandleKind::Mutex);
  system.mutexHandles[handle] = key;
  SetError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return reinterpret_cast<HANDLE>(handle);
}

BOOL ReleaseMutex(HANDLE mutex) {
  uint32_t error = 0;
  if (EnterCall("ReleaseMutex", &error)) return FALSE;
  sim::SystemModel& system = CurrentMachine().system;
  auto it = system.mutexHandles.find(sim::HandleValue(mutex));
  if (it == system.mutexHandles.end()) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  sim::SystemModel::Mutex& entry = system.mutexes[it->second];
  if (entry.ownedCount == 0) {
    SetError(ERROR_NOT_OWNER);
    return FALSE;
  }
  --entry.ownedCount;
  return TRUE;
}

namespace {

bool CloseMutexHandle(sim::Machine& machine, uintptr_t value) {
  sim::SystemModel& system = machine.system;
  auto it = system.mutexHandles.find(value);
  if (it == system.mutexHandles.end()) return false;
  auto mutex = system.mutexes.find(it->second);
  // Closing the last handle of an owned mutex abandons it; a mutex no process
  // holds a handle to disappears.
  if (--mutex->second.handles == 0) {
    mutex->second.ownedCount = 0;
    if (!mutex->second.heldElsewhere) system.mutexes.erase(mutex);
  }
  system.mutexHandles.erase(it);
  machine.handles.Close(value, HandleKind::Mutex);
  return true;
}

bool CloseToken(sim::Machine& machine, uintptr_t value) {
  if (!machine.system.tokens.erase(value)) return false;
  machine.handles.Close(value, HandleKind::Token);
  return true;
}

}  // namespace

// The one CloseHandle of the machine: it closes tokens and mutexes here, and
// hands file handles to the file system. The pseudo handles of the current
// process and thread close without effect, as on Windows.
BOOL CloseHandle(HANDLE object) {
  uint32_t error = 0;
  if (EnterCall("CloseHandle", &error)) return FALSE;
  if (object == reinterpret_cast<HANDLE>(intptr_t{-1}) ||
      object == reinterpret_cast<HANDLE>(intptr_t{-2})) {
    return TRUE;
  }
  sim::Machine& machine = CurrentMachine();
  uintptr_t value = sim::HandleValue(object);
  if (CloseToken(machine, value) || CloseMutexHandle(machine, value)) return TRUE;
  if (machine.system.processes.erase(value)) {
    machine.handles.Close(value, HandleKind::Process);
    return TRUE;
  }
  if (machine.system.threads.erase(value)) {
    machine.handles.Close(value, HandleKind::Thread);
    return TRUE;
  }
  if (machine.files.CloseFileHandle(value)) {
    machine.handles.Close(value, HandleKind::File);
    return TRUE;
  }
  SetError(ERROR_INVALID_HANDLE);
  return FALSE;
}

}  // namespace plat
