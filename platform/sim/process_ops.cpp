// Starting and waiting for processes on the simulated machine, and the
// questions of 64-bit Windows: which build runs, and whether under WOW64.
// A started program runs to its end inside CreateProcessA (the simulated
// machine has one thread), so a wait for it returns at once.
#include <cstring>

#include "platform/sim/machine.h"
#include "platform/sim/sim_util.h"
#include "platform/system.h"

namespace plat {

using sim::CurrentMachine;
using sim::EnterCall;
using sim::HandleKind;
using sim::SetError;

namespace {

HANDLE const kCurrentProcessHandle = reinterpret_cast<HANDLE>(intptr_t{-1});

// The program a command line starts when no application name is given: its
// first token, quoted or not.
std::string FirstToken(const char* commandLine) {
  const char* at = commandLine;
  if (*at == '"') {
    const char* end = std::strchr(at + 1, '"');
    return end ? std::string(at + 1, end) : std::string(at + 1);
  }
  const char* end = at;
  while (*end && *end != ' ' && *end != '\t') ++end;
  return std::string(at, end);
}

// The folder part of a path ("" when there is none).
std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

BOOL IsProcess64Bit() { return CurrentMachine().system.process64Bit ? TRUE : FALSE; }

// kernel32's IsWow64Process: only the current process is asked about here.
BOOL WINAPI SimIsWow64Process(HANDLE process, PBOOL wow64) {
  uint32_t error = 0;
  if (EnterCall("IsWow64Process", &error)) return FALSE;
  if (process != kCurrentProcessHandle || !wow64) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  sim::Machine& machine = CurrentMachine();
  *wow64 = machine.options().windows64 && !machine.system.process64Bit ? TRUE : FALSE;
  return TRUE;
}

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCSTR,
                    LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION information) {
  uint32_t error = 0;
  if (EnterCall("CreateProcessA", &error)) return FALSE;
  if ((!applicationName && !commandLine) || !startupInfo || !information) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  sim::Machine& machine = CurrentMachine();
  std::string path = applicationName ? applicationName : FirstToken(commandLine);
  if (!machine.files.FileExists(path)) {
    SetError(machine.files.FolderExists(FolderOf(path)) ? ERROR_FILE_NOT_FOUND
                                                         : ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  auto program = machine.system.programs.find(sim::UpperAscii(path));
  if (program == machine.system.programs.end()) {
    SetError(ERROR_BAD_EXE_FORMAT);
    return FALSE;
  }
  // A 64-bit program needs 64-bit Windows.
  if (program->second.is64Bit && !machine.options().windows64) {
    SetError(ERROR_BAD_EXE_FORMAT);
    return FALSE;
  }
  std::string line = commandLine ? commandLine : path;
  machine.system.processStarts.push_back({path, line});

  sim::SystemModel::Program run = program->second;
  bool parent64Bit = machine.system.process64Bit;
  machine.system.process64Bit = run.is64Bit;
  DWORD exitCode = run.run(line);
  machine.system.process64Bit = parent64Bit;

  uintptr_t processHandle = machine.handles.Open(HandleKind::Process);
  uintptr_t threadHandle = machine.handles.Open(HandleKind::Thread);
  machine.system.processes[processHandle] = exitCode;
  machine.system.threads.insert(threadHandle);
  information->hProcess = reinterpret_cast<HANDLE>(processHandle);
  information->hThread = reinterpret_cast<HANDLE>(threadHandle);
  information->dwProcessId = static_cast<DWORD>(machine.system.processStarts.size() * 4 + 0x100);
  information->dwThreadId = information->dwProcessId + 4;
  return TRUE;
}

// Every process started here has ended by the time anyone waits for it.
DWORD WaitForSingleObject(HANDLE object, DWORD) {
  uint32_t error = 0;
  if (EnterCall("WaitForSingleObject", &error)) return WAIT_FAILED;
  if (!CurrentMachine().system.processes.count(sim::HandleValue(object))) {
    SetError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return WAIT_OBJECT_0;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  uint32_t error = 0;
  if (EnterCall("GetExitCodeProcess", &error)) return FALSE;
  auto found = CurrentMachine().system.processes.find(sim::HandleValue(process));
  if (found == CurrentMachine().system.processes.end() || !exitCode) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exitCode = found->second;
  return TRUE;
}

}  // namespace plat
