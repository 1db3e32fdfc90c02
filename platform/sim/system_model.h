// The process-wide side of the simulated machine: what GetVersionExA
// reports, the token's groups, named mutexes, loaded modules, memory blocks,
// file version resources and the common-controls initialisation calls.
//
// The plat:: operations (system_ops.cpp, security_ops.cpp) keep their state
// here; tests read it and script it through the public members and methods.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/handles.h"
#include "platform/sim/machine_options.h"
#include "platform/win_types.h"

namespace sim {

// What GetVersionExA reports for a version image.
struct VersionImage {
  DWORD major;
  DWORD minor;
  DWORD build;  // on Windows 9x the high word holds major and minor, as 9x reports it
  DWORD platformId;
  const char* servicePackText;  // szCSDVersion
  WORD servicePackMajor;
  WORD servicePackMinor;
  // Windows 95/98/Me predate OSVERSIONINFOEXA and refuse its size.
  bool knowsVersionInfoEx;
};
const VersionImage& VersionImageOf(WindowsVersion version);
// What GetVersionExA tells the running program, whose manifest may hide the
// real version from Windows 8.1 on.
const VersionImage& ReportedVersionImage(const MachineOptions& options);

struct FileVersionNumbers {
  WORD major;
  WORD minor;
  WORD build;
  WORD revision;
};
// COMCTL32.DLL as each version image ships it: 4.72 on Windows 95/98/Me
// (the Internet Explorer 4 update every supported 9x machine has), 4.70 on
// NT 4, 5.81 on Windows 2000, 5.82 on XP and later (the version 5 library
// that is loaded without an activation context).
FileVersionNumbers ComCtl32VersionOf(WindowsVersion version);

class Machine;

class SystemModel {
 public:
  SystemModel() = default;
  SystemModel(const SystemModel&) = delete;
  SystemModel& operator=(const SystemModel&) = delete;
  // Releases the memory of blocks the program never freed.
  ~SystemModel();

  // ---- Named mutexes.
  struct Mutex {
    int handles = 0;       // open handles of this process
    int ownedCount = 0;    // recursion count held by this process's thread
    bool heldElsewhere = false;  // an earlier instance (another process) holds it
  };
  // Makes the name exist as if an earlier instance had created it and still held it.
  void PretendOtherInstanceHoldsMutex(const std::string& name);
  bool MutexExists(const std::string& name) const { return mutexes.count(name) != 0; }
  std::map<std::string, Mutex> mutexes;
  std::map<uintptr_t, std::string> mutexHandles;  // handle value -> mutex name ("" unnamed)
  int unnamedMutexSerial = 0;

  // ---- Tokens. Open token handles (HandleKind::Token).
  std::set<uintptr_t> tokens;
  // Vista and 7 give an administrator outside elevation the Administrators
  // group only for deny: the group is listed with SE_GROUP_USE_FOR_DENY_ONLY.
  bool administratorsDenyOnly = false;

  // ---- Memory blocks from LocalAlloc, HeapAlloc and AllocateAndInitializeSid.
  struct Block {
    uintptr_t handle;  // the value counted in Machine::handles
    HandleKind kind;
    size_t size;
  };
  std::map<const void*, Block> blocks;
  // A new zero-filled block counted as an open handle of `kind`; null past the limit.
  void* AllocateBlock(Machine& machine, HandleKind kind, size_t size);
  // Frees a block of `kind`; false when `memory` is not such a block.
  bool FreeBlock(Machine& machine, const void* memory, HandleKind kind);
  size_t OpenBlocks(HandleKind kind) const;
  // Requests above this many bytes fail with ERROR_NOT_ENOUGH_MEMORY.
  size_t memoryLimit = 64u << 20;

  // ---- Modules from LoadLibraryA: upper-case base name -> handle and count.
  struct Module {
    uintptr_t handle = 0;
    int loadCount = 0;
  };
  // A library loaded from outside the system folder (a DLL planted beside
  // the program, found by a bare name's search) is kept under its upper-case
  // full path; it exports nothing the program knows.
  std::map<std::string, Module> modules;
  int LoadCount(const std::string& baseName) const;
  // Every name LoadLibraryA was given, as given, in order.
  std::vector<std::string> libraryRequests;
  // The full paths of the libraries loaded from outside the system folder.
  std::vector<std::string> foreignLibraryLoads;
  // What the process set with SetDefaultDllDirectories (0: never called) and
  // SetDllDirectoryA (unset: never called, or restored with null).
  DWORD defaultDllDirectories = 0;
  bool dllDirectorySet = false;
  std::string dllDirectory;

  // ---- Processes.
  // Whether the running program is the 64-bit build; only a machine with
  // 64-bit Windows (MachineOptions::windows64) runs one.
  bool process64Bit = false;
  // A program CreateProcessA can start: its build and what running it does,
  // given its whole command line; it returns the exit code. It runs to its
  // end inside CreateProcessA, so a wait for it returns at once.
  struct Program {
    bool is64Bit = false;
    std::function<DWORD(const std::string& commandLine)> run;
  };
  // Puts the program's file at `path` and makes it startable.
  void InstallProgram(Machine& machine, const std::string& path, Program program);
  std::map<std::string, Program> programs;  // upper-case full path -> program
  struct ProcessStart {
    std::string application;
    std::string commandLine;
  };
  std::vector<ProcessStart> processStarts;
  std::map<uintptr_t, DWORD> processes;  // open process handle -> exit code
  std::set<uintptr_t> threads;           // open thread handles

  // ---- Common controls initialisation, as the program asked for it.
  int initCommonControlsCalls = 0;
  std::vector<INITCOMMONCONTROLSEX> initCommonControlsExCalls;

  // ---- File version resources.
  // The files that carry no version resource (upper-case full paths or base names).
  void RemoveVersionInfo(const std::string& path);
  // Gives a file (upper-case full path or base name) its own version numbers.
  void SetFileVersion(const std::string& path, FileVersionNumbers numbers);
  std::set<std::string> filesWithoutVersion;
  std::map<std::string, FileVersionNumbers> fileVersions;
};

}  // namespace sim
