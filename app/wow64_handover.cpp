#include "app/wow64_handover.h"

#include "app/application_state.h"
#include "app/message_boxes.h"
#include "app/path_routines.h"
#include "app/settings_key.h"
#include "app/text.h"
#include "platform/platform.h"
#include "resources/string_table.h"

namespace {

// Windows passes at most 32767 characters on a command line.
constexpr int kCommandLineCapacity = 32768;

// "<program folder>usbinst64.exe", whole or not at all.
int SixtyFourBitProgramPath(char* path) {
  char name[kPathCapacity];
  if (LoadText(IDS_PROGRAM_64BIT, name, kPathCapacity) == 0) return 0;
  if (App().programFolder[0] == '\0') return 0;
  return CopyBounded(path, App().programFolder, kPathLimit, nullptr) &&
         AppendBounded(path, name, kPathLimit, nullptr);
}

// "\"<path>\" <command line>": the program's own name first, as Windows
// gives it to every program, then the switches exactly as this one got them.
int BuildCommandLine(char* line, const char* path, LPCSTR commandLine) {
  constexpr int kLimit = kCommandLineCapacity - 1;
  return CopyBounded(line, "\"", kLimit, nullptr) && AppendBounded(line, path, kLimit, nullptr) &&
         AppendBounded(line, "\" ", kLimit, nullptr) &&
         AppendBounded(line, commandLine ? commandLine : "", kLimit, nullptr);
}

// The calling installer reads 0: nothing was installed. Written here, in the
// 32-bit program, so in the 32-bit view where the caller made the key.
void ResetInstallFlag32() {
  SettingsKey settings;
  if (OpenSettingsKey(&settings)) settings.WriteDword(IDS_INSTALL_FLAG, 0);
}

// Nothing was installed or removed: the calling installer reads 0, and the
// user learns why (the system's text when the program exists but would not
// start, for example a side-by-side error, which CreateProcessA reports).
void ReportNotStarted(DWORD error) {
  ResetInstallFlag32();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    ShowErrorText(nullptr, IDS_PROGRAM_64BIT_MISSING);
  } else {
    ShowSystemError(error);
  }
}

}  // namespace

int RunsUnderWow64() {
  HMODULE kernel = plat::GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return 0;
  auto isWow64 = reinterpret_cast<plat::IsWow64ProcessProc>(
      reinterpret_cast<void (*)()>(plat::GetProcAddress(kernel, "IsWow64Process")));
  if (isWow64 == nullptr) return 0;
  BOOL wow64 = FALSE;
  if (!isWow64(plat::GetCurrentProcess(), &wow64)) return 0;
  return wow64 ? 1 : 0;
}

int RunSixtyFourBitProgram(LPCSTR commandLine) {
  char path[kPathCapacity];
  path[0] = '\0';
  if (!SixtyFourBitProgramPath(path)) {
    ReportNotStarted(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  // Static: too large for a comfortable stack frame, and one run uses it once.
  static char line[kCommandLineCapacity];
  if (!BuildCommandLine(line, path, commandLine)) {
    ReportNotStarted(ERROR_FILENAME_EXCED_RANGE);
    return 0;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!plat::CreateProcessA(path, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process)) {
    ReportNotStarted(plat::GetLastError());
    return 0;
  }
  plat::CloseHandle(process.hThread);
  // The 64-bit program shows its own messages; its end is this run's end.
  // It always ends with 0 when it ran to its end. Any other code means it did
  // not: Windows' loader could not start it (0xC0000135, a missing DLL; the
  // loader has shown its own message then), it crashed (0xC0000005), or it
  // was ended from outside. It may have stopped half-way, and what it
  // finished is unknown, so this counts as a run that did not happen.
  DWORD exitCode = STILL_ACTIVE;
  int ended = plat::WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
              plat::GetExitCodeProcess(process.hProcess, &exitCode);
  plat::CloseHandle(process.hProcess);
  if (!ended || exitCode != 0) {
    ResetInstallFlag32();
    ShowErrorText(nullptr, IDS_PROGRAM_64BIT_FAILED);
    return 0;
  }
  return 1;
}
