// The fault sweep: a removal run and an installation run, each started as a
// user starts the program, on every Windows version, on a machine where the
// phone is installed and plugged in beside other makers' devices. A first run
// without a fault counts the platform calls N; then, for each n in 1..N, a
// fresh copy of the same machine runs again with the n-th call failing, with
// an error code that call gives on Windows for a plausible failure.
//
// Every case must end without a crash, with every handle released, with only
// message boxes the program has a text for, with the launcher notified once
// the uninstall sequence has begun, and with everything that is not the
// phone's as it was.
//
// Which code a case uses: each operation has a list of codes (kFailures). The
// n-th call is the k-th call of its operation in the run (k counted from 0),
// and it fails with code (k + v) modulo the list's length, v being the index
// of the Windows version. So successive calls of one operation go through its
// whole list, and each version starts the cycle at another code.
//
// Release operations (RegCloseKey, FindClose, ...) and operations that cannot
// fail on Windows (lstrlenA, GetACP, ...) are not failed: a release that fails
// on a valid handle is no plausible machine state, and the simulated machine
// would keep the handle open and report a leak that is no fault of ours.
//
// Each case runs in a child process forked from the one that built the
// machine: the case starts from an exact copy, and a crash is reported as the
// case's fault.
//
// The whole sweep makes some 36,000 cases and takes over half an hour, too
// long for the test command; by default it takes every 150th of the calls it
// fails (every 600th with the sanitizers) and, besides, the first call of each
// operation that would fail with a code no case of the run kind has used yet. USBINST_SWEEP_STEP=1
// runs every case.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "app/entry_point.h"
#include "app/text.h"
#include "platform/sim/plug_and_play.h"
#include "resources/resource.h"
#include "resources/string_table.h"
#include "tests/driver_cd.h"
#include "tests/run_checks.h"
#include "tests/sim_test_support.h"

namespace {

using sim::WindowsVersion;

constexpr DWORD kErrorExpectedSectionName = 0xE0000000;
constexpr DWORD kErrorNoDriverSelected = 0xE0000203;
constexpr DWORD kErrorDatabaseDoesNotExist = 1065;

const char kSettingsPath[] = "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6";

// The codes each operation fails with, as Windows reports them for a failure
// a real machine can show (a protected key, a missing file, a file another
// program holds, memory running out, a device or service that went away).
const std::map<std::string, std::vector<DWORD>>& Failures() {
  const std::vector<DWORD> key = {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND,
                                  ERROR_NOT_ENOUGH_MEMORY};
  const std::vector<DWORD> keyRead = {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA,
                                      ERROR_NOT_ENOUGH_MEMORY};
  const std::vector<DWORD> file = {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
                                   ERROR_SHARING_VIOLATION};
  const std::vector<DWORD> memory = {ERROR_NOT_ENOUGH_MEMORY};
  const std::vector<DWORD> window = {ERROR_INVALID_WINDOW_HANDLE, ERROR_NOT_ENOUGH_MEMORY};
  const std::vector<DWORD> security = {ERROR_INVALID_SECURITY_DESCR, ERROR_NOT_ENOUGH_MEMORY};
  static const std::map<std::string, std::vector<DWORD>> failures = {
      // Registry.
      {"RegOpenKeyExA", key},
      {"RegCreateKeyExA", key},
      {"RegDeleteKeyA", key},
      {"RegDeleteValueA", key},
      {"RegSetValueExA", {ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY}},
      {"RegQueryValueExA", keyRead},
      {"RegQueryInfoKeyA", keyRead},
      {"RegEnumKeyExA", keyRead},
      {"RegEnumValueA", keyRead},
      {"RegGetKeySecurity", {ERROR_ACCESS_DENIED, ERROR_INSUFFICIENT_BUFFER}},
      {"RegSetKeySecurity", {ERROR_ACCESS_DENIED, ERROR_INVALID_SECURITY_DESCR}},
      // Files.
      {"CreateFileA", file},
      {"DeleteFileA", file},
      {"CopyFileA", file},
      {"SetFileAttributesA", file},
      {"GetFileAttributesA", file},
      {"FindFirstFileA", file},
      {"FindNextFileA", {ERROR_NO_MORE_FILES, ERROR_ACCESS_DENIED}},
      {"CreateDirectoryA", file},
      {"RemoveDirectoryA", file},
      {"ReadFile", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}},
      {"WriteFile", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}},
      {"GetPrivateProfileStringA", {ERROR_FILE_NOT_FOUND, ERROR_SHARING_VIOLATION}},
      {"WritePrivateProfileStringA", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}},
      {"GetWindowsDirectoryA", memory},
      {"GetSystemWindowsDirectoryA", memory},
      {"GetSystemDirectoryA", memory},
      {"GetModuleFileNameA", {ERROR_INSUFFICIENT_BUFFER}},
      {"GetFileVersionInfoSizeA", {ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_FILE_NOT_FOUND}},
      {"GetFileVersionInfoA", {ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY}},
      {"VerQueryValueA", {ERROR_RESOURCE_TYPE_NOT_FOUND}},
      // Services.
      {"OpenSCManagerA", {ERROR_ACCESS_DENIED, kErrorDatabaseDoesNotExist}},
      {"OpenServiceA", {ERROR_SERVICE_DOES_NOT_EXIST, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE}},
      {"CreateServiceA", {ERROR_ACCESS_DENIED, ERROR_SERVICE_MARKED_FOR_DELETE}},
      {"DeleteService",
       {ERROR_SERVICE_MARKED_FOR_DELETE, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE}},
      // Setup API.
      {"SetupDiClassGuidsFromNameA", {ERROR_INVALID_CLASS, ERROR_INSUFFICIENT_BUFFER}},
      {"SetupDiGetClassDevsA", {ERROR_INVALID_CLASS, ERROR_NOT_ENOUGH_MEMORY}},
      {"SetupDiEnumDeviceInfo", {ERROR_NO_SUCH_DEVINST, ERROR_INVALID_HANDLE}},
      {"SetupDiGetDeviceRegistryPropertyA",
       {ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_DATA, ERROR_NO_SUCH_DEVINST}},
      {"SetupDiCallClassInstaller",
       {ERROR_NO_SUCH_DEVINST, kErrorNoDriverSelected, ERROR_ACCESS_DENIED}},
      {"SetupDiGetDeviceInstallParamsA", {ERROR_INVALID_USER_BUFFER, ERROR_INVALID_PARAMETER}},
      {"SetupCopyOEMInfA", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_NO_CATALOG_FOR_OEM_INF}},
      {"SetupUninstallOEMInfA",
       {ERROR_INF_IN_USE_BY_DEVICES, ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}},
      {"SetupOpenInfFileA", {ERROR_FILE_NOT_FOUND, kErrorExpectedSectionName, ERROR_WRONG_INF_STYLE}},
      {"SetupFindFirstLineA", {ERROR_LINE_NOT_FOUND, ERROR_SECTION_NOT_FOUND}},
      {"SetupFindNextLine", {ERROR_LINE_NOT_FOUND}},
      {"SetupGetStringFieldA", {ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER}},
      // Tokens, SIDs, security descriptors and memory.
      {"OpenProcessToken", {ERROR_ACCESS_DENIED}},
      {"OpenThreadToken", {ERROR_NO_TOKEN, ERROR_ACCESS_DENIED}},
      {"GetTokenInformation", {ERROR_INSUFFICIENT_BUFFER, ERROR_ACCESS_DENIED}},
      {"AllocateAndInitializeSid", memory},
      {"GetSecurityDescriptorDacl", security},
      {"InitializeSecurityDescriptor", security},
      {"SetSecurityDescriptorDacl", security},
      {"GetAclInformation", {ERROR_INVALID_ACL}},
      {"InitializeAcl", {ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_ACL}},
      {"AddAccessAllowedAce", {ERROR_ALLOTTED_SPACE_EXCEEDED, ERROR_INVALID_ACL}},
      {"AddAce", {ERROR_ALLOTTED_SPACE_EXCEEDED, ERROR_INVALID_ACL}},
      {"GetAce", {ERROR_INVALID_PARAMETER}},
      {"HeapAlloc", memory},
      {"LocalAlloc", memory},
      // The process, texts and code pages.
      {"GetVersionExA", {ERROR_INVALID_PARAMETER}},
      {"CreateMutexA", {ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY}},
      {"LoadLibraryA", {ERROR_MOD_NOT_FOUND}},
      {"GetProcAddress", {ERROR_PROC_NOT_FOUND}},
      {"GetModuleHandleA", {ERROR_MOD_NOT_FOUND}},
      {"SetDllDirectoryA", {ERROR_INVALID_PARAMETER}},
      {"SetDefaultDllDirectories", {ERROR_INVALID_PARAMETER}},
      {"IsWow64Process", {ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE}},
      {"CreateProcessA", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_BAD_EXE_FORMAT}},
      {"WaitForSingleObject", {ERROR_INVALID_HANDLE}},
      {"GetExitCodeProcess", {ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED}},
      {"InitCommonControls", memory},
      {"InitCommonControlsEx", memory},
      {"LoadStringA", {ERROR_RESOURCE_NAME_NOT_FOUND}},
      {"FormatMessageA", {ERROR_MR_MID_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY}},
      {"MultiByteToWideChar", {ERROR_NO_UNICODE_TRANSLATION, ERROR_INSUFFICIENT_BUFFER}},
      {"WideCharToMultiByte", {ERROR_NO_UNICODE_TRANSLATION, ERROR_INSUFFICIENT_BUFFER}},
      // Windows, dialogs and the display.
      {"MessageBoxA", memory},
      {"DialogBoxParamA", {ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY}},
      {"EndDialog", window},
      {"GetDlgItem", {ERROR_CONTROL_ID_NOT_FOUND}},
      {"SendMessageA", window},
      {"SendMessageTimeoutA", {ERROR_TIMEOUT, ERROR_INVALID_WINDOW_HANDLE}},
      {"PostMessageA", window},
      {"SetWindowTextA", window},
      {"GetWindowTextA", window},
      {"EnableWindow", window},
      {"ShowWindow", window},
      {"MoveWindow", window},
      {"GetWindowRect", window},
      {"InvalidateRect", window},
      {"UpdateWindow", window},
      {"SetFocus", window},
      {"BringWindowToTop", window},
      {"SetForegroundWindow", window},
      {"GetWindowLongPtrA", window},
      {"SetWindowLongPtrA", window},
      {"GetPropA", window},
      {"SetPropA", window},
      {"RemovePropA", window},
      {"EnumPropsA", window},
      {"EnumWindows", memory},
      {"FindWindowA", {ERROR_FILE_NOT_FOUND}},
      {"LoadImageA", {ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY}},
      {"CreateICA", memory},
      {"GetDeviceCaps", {ERROR_INVALID_HANDLE}},
  };
  return failures;
}

// Releases, and operations that do not fail on Windows.
const std::set<std::string>& NeverFailed() {
  static const std::set<std::string> names = {
      "RegCloseKey", "FindClose", "CloseServiceHandle", "SetupDiDestroyDeviceInfoList",
      "SetupDiDestroyDriverInfoList", "SetupCloseInfFile", "FreeSid", "HeapFree", "LocalFree",
      "CloseHandle", "ReleaseMutex", "FreeLibrary", "DeleteDC", "lstrlenA", "lstrcmpA",
      "lstrcmpiA", "wsprintfA", "wvsprintfA", "GetACP", "IsDBCSLeadByte", "EqualSid",
      "GetLengthSid", "GetFocus", "GetParent", "IsIconic", "IsWindowEnabled"};
  return names;
}

enum class RunKind { kRemoval, kInstallation };
const char* Name(RunKind run) { return run == RunKind::kRemoval ? "removal" : "installation"; }

// One copy of the machine a case starts from.
struct Scene {
  sim::Machine* machine = nullptr;
  HWND launcher = nullptr;
  size_t firstBox = 0;
  runcheck::Survivors survivors;
  runcheck::KeySecurityMap security;  // every key's descriptor before the run
};

sim::DialogEvent Plug(sim::Machine& machine, int function) {
  return sim::DialogEvent::Inspect([&machine, function](HWND) {
    sim::PlugOptions options;
    options.rebootCopy = true;
    sim::PlugInFunction(machine, function, options);
  });
}

// The wizard's events: the phone's functions appear, the user clicks Next,
// and Cancel when Next stayed disabled.
void ScriptWizard(sim::Machine& machine) {
  machine.dialogs.script = {Plug(machine, 0),
                            Plug(machine, 1),
                            Plug(machine, 2),
                            Plug(machine, 3),
                            sim::DialogEvent::DeviceChange(),
                            sim::DialogEvent::Click(IDC_WIZARD_NEXT),
                            sim::DialogEvent::Click(IDCANCEL)};
}

// The driver CD in D:\, a caller's settings key, another maker's devices,
// then the phone installed through the wizard and left plugged in, and a CD
// launcher window. What the installation did not touch must survive.
void BuildScene(Kind kind, Scene* scene) {
  sim::MachineOptions options = OptionsFor(kind.version);
  options.programPath = "D:\\Setup\\USBINST.EXE";
  sim::Machine& machine = FreshMachine(options);
  LoadDriverCd(machine, "D:\\");
  machine.registry.SetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag", 1);
  sim::PlantNeighbourDevice(machine);
  scene->survivors = runcheck::Survivors();
  scene->survivors.CaptureAll(machine);

  ScriptWizard(machine);
  RunInstaller(nullptr, "/i");
  scene->survivors.KeepUnchanged(machine);
  std::vector<std::string> ports = sim::PhoneComPorts(machine);
  scene->survivors.Forget([&](const std::string& line) {
    // The caller's flag is the program's to write; Windows 98 and Me rebuild
    // their driver database, which a removal deletes; the "Ports" entry of a
    // COM name the phone holds goes with the phone, also one Windows listed.
    if (line.find(kSettingsPath) != std::string::npos) return true;
    if (line.find("DRVDATA.BIN") != std::string::npos) return true;
    if (line.find("DRVIDX.BIN") != std::string::npos) return true;
    for (const std::string& port : ports) {
      if (!port.empty() && line.find("\\Ports  \"" + port + ":\"") != std::string::npos) {
        return true;
      }
    }
    return false;
  });

  scene->launcher = machine.windows.CreateTopLevel({"CD", "LauncherClass", "launcher"});
  machine.windows.AddProperty(scene->launcher, "CDROMLauncher", nullptr);
  machine.dialogs.runs.clear();
  scene->firstBox = machine.windows.messageBoxes.size();
  scene->security = runcheck::KeySecurity(machine);
  machine.faults.ResetCounts();
  scene->machine = &machine;
}

void Run(RunKind run, sim::Machine& machine) {
  if (run == RunKind::kRemoval) {
    RunInstaller(nullptr, "/r");
  } else {
    ScriptWizard(machine);
    RunInstaller(nullptr, "/i");
  }
}

// What the run without a fault tells the cases.
struct Baseline {
  std::vector<std::string> calls;
  // Index of the first call of the launcher notification (the load of the
  // property name): a failure from there on may keep the launcher unaware.
  size_t notificationStart = 0;
};

// Whether the run refused the user as no administrator (a failed check of
// the user's groups counts as no administrator): no removal runs then.
bool Refused(const sim::Machine& machine, size_t firstBox) {
  char refusal[2048] = {};
  if (LoadText(IDS_NOT_ADMINISTRATOR, refusal, sizeof refusal) == 0) return false;
  for (size_t i = firstBox; i < machine.windows.messageBoxes.size(); ++i) {
    if (machine.windows.messageBoxes[i].text == refusal) return true;
  }
  return false;
}

// "" when the case's machine passes every check, else what went wrong.
// `keyReportedGone`: the failure was a key deletion answered with "not
// found", which tells the removal the key went (as when something else
// deleted it first) while the key stays on the simulated machine; the grant
// it got right before is then no change to a key that stays.
std::string CheckCase(const Scene& scene, bool faultArmed, bool notificationExpected,
                      bool keyReportedGone = false) {
  sim::Machine& machine = *scene.machine;
  std::string problems;
  if (faultArmed && !machine.faults.Fired()) problems += "the failure was not delivered\n";
  machine.faults.Clear();
  std::string handles = OpenHandles();
  if (!handles.empty()) problems += "open handles: " + handles + "\n";
  problems += runcheck::UnexpectedMessageBoxes(machine, scene.firstBox);
  if (notificationExpected && !Refused(machine, scene.firstBox) &&
      !runcheck::HeardDeviceChange(machine, scene.launcher)) {
    problems += "the launcher was not notified\n";
  }
  problems += scene.survivors.Losses(machine);
  if (!keyReportedGone) problems += runcheck::SecurityChanges(scene.security, machine);
  return problems;
}

// Runs `body` in a child process, on a copy of this process's memory (so
// every case starts from the same machine without building it again, and a
// crash ends the child, not the sweep). Returns what the body returned, or
// how the child ended when it did not end normally.
std::string InChild(const std::function<std::string()>& body) {
  std::fflush(stdout);
  std::fflush(stderr);
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return "pipe failed\n";
  pid_t child = fork();
  if (child < 0) return "fork failed\n";
  if (child == 0) {
    close(pipeEnds[0]);
    std::string result = body();
    size_t written = 0;
    while (written < result.size()) {
      ssize_t n = write(pipeEnds[1], result.data() + written, result.size() - written);
      if (n <= 0) break;
      written += size_t(n);
    }
    close(pipeEnds[1]);
    _exit(0);
  }
  close(pipeEnds[1]);
  std::string result;
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0) result.append(buffer, size_t(n));
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFSIGNALED(status)) result += "crashed with signal " + std::to_string(WTERMSIG(status)) + "\n";
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    result += "ended with exit code " + std::to_string(WEXITSTATUS(status)) + "\n";
  }
  return result;
}

// The call log of the run without a fault, one name a line, and its checks.
Baseline RunBaseline(const Scene& scene, RunKind run) {
  std::string text = InChild([&] {
    scene.machine->faults.StartCallLog();
    Run(run, *scene.machine);
    std::string log;
    for (const std::string& name : scene.machine->faults.CallLog()) log += name + "\n";
    std::string problems = CheckCase(scene, false, true);
    return problems.empty() ? log : "!" + problems;
  });
  Baseline baseline;
  if (!text.empty() && text[0] == '!') {
    ADD_FAILURE() << Name(run) << " without a fault:\n" << text.substr(1);
    return baseline;
  }
  size_t begin = 0;
  for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
    baseline.calls.push_back(text.substr(begin, end - begin));
  }
  size_t enumWindows = 0;
  while (enumWindows < baseline.calls.size() && baseline.calls[enumWindows] != "EnumWindows") {
    ++enumWindows;
  }
  size_t start = enumWindows;
  while (start > 0 && baseline.calls[start - 1] != "LoadStringA") --start;
  baseline.notificationStart = start > 0 ? start - 1 : enumWindows;
  return baseline;
}

// The sweep takes every k-th of the calls it fails, and besides them the
// first call of each operation that fails with a code no case of this run
// kind has used yet on any version, so that a thinned sweep still fails every
// operation with every one of its codes.
int SweepStep() {
  const char* text = std::getenv("USBINST_SWEEP_STEP");
  if (text != nullptr && std::atoi(text) > 0) return std::atoi(text);
#if defined(__SANITIZE_ADDRESS__)
  return 600;
#else
  return 150;
#endif
}

struct Tally {
  int cases = 0;
  int skipped = 0;
  int failed = 0;
};

// USBINST_SWEEP_CASE="<OsKind> <removal|installation> <n>" runs that one case
// in this process, for a debugger.
bool RunOneCaseHere(Kind kind, RunKind run, const Scene& scene, const Baseline& baseline) {
  const char* text = std::getenv("USBINST_SWEEP_CASE");
  if (text == nullptr) return false;
  int osKind = -1;
  char runName[16] = {};
  size_t n = 0;
  if (std::sscanf(text, "%d %15s %zu", &osKind, runName, &n) != 3 || n == 0 ||
      n > baseline.calls.size()) {
    return true;
  }
  if (osKind != kind.osKind || std::string(runName) != Name(run)) return true;
  const std::string& operation = baseline.calls[n - 1];
  std::printf("case: call %zu %s\n", n, operation.c_str());
  scene.machine->faults.FailOnAnyCall(n, Failures().at(operation)[0]);
  Run(run, *scene.machine);
  std::printf("%s", CheckCase(scene, true, n - 1 < baseline.notificationStart).c_str());
  return true;
}

// The (operation, code) pairs some case of the run kind has failed with.
using UsedFailures = std::set<std::pair<std::string, DWORD>>;

Tally Sweep(size_t kindIndex, RunKind run, UsedFailures* used, std::string* report) {
  Kind kind = kKinds[kindIndex];
  Scene scene;
  BuildScene(kind, &scene);
  Baseline baseline = RunBaseline(scene, run);
  Tally tally;
  if (RunOneCaseHere(kind, run, scene, baseline)) return tally;
  std::map<std::string, size_t> occurrences;
  const size_t step = size_t(SweepStep());
  size_t failable = 0;  // calls of operations that are failed
  for (size_t n = 1; n <= baseline.calls.size(); ++n) {
    const std::string& operation = baseline.calls[n - 1];
    size_t occurrence = occurrences[operation]++;
    if (NeverFailed().count(operation)) {
      ++tally.skipped;
      continue;
    }
    auto codes = Failures().find(operation);
    if (codes == Failures().end()) {
      if (occurrence == 0) *report += "no failure codes for " + operation + "\n";
      ++tally.failed;
      continue;
    }
    DWORD code = codes->second[(occurrence + kindIndex) % codes->second.size()];
    bool newPair = used->insert({operation, code}).second;
    if (failable++ % step != 0 && !newPair) continue;
    ++tally.cases;
    std::string problems = InChild([&] {
      scene.machine->faults.FailOnAnyCall(n, code);
      Run(run, *scene.machine);
      bool keyReportedGone = operation == "RegDeleteKeyA" && code == ERROR_FILE_NOT_FOUND;
      return CheckCase(scene, true, n - 1 < baseline.notificationStart, keyReportedGone);
    });
    if (!problems.empty()) {
      ++tally.failed;
      if (tally.failed <= 20) {
        char head[160];
        std::snprintf(head, sizeof head, "OsKind %d %s: call %zu %s fails with %lu (0x%lX):\n",
                      kind.osKind, Name(run), n, operation.c_str(), static_cast<unsigned long>(code),
                      static_cast<unsigned long>(code));
        *report += head + problems;
      }
    }
  }
  std::printf("[ sweep    ] OsKind %2d %-12s calls %5zu  cases %5d  not failed %5d  step %zu\n",
              kind.osKind, Name(run), baseline.calls.size(), tally.cases, tally.skipped, step);
  return tally;
}

void SweepEveryKind(RunKind run) {
  int total = 0;
  UsedFailures used;
  for (size_t i = 0; i < std::size(kKinds); ++i) {
    std::string report;
    Tally tally = Sweep(i, run, &used, &report);
    total += tally.cases;
    EXPECT_EQ(tally.failed, 0) << report;
  }
  std::printf("[ sweep    ] %s runs: %d cases in all\n", Name(run), total);
}

TEST(FaultSweep, RemovalRunOnEveryVersion) { SweepEveryKind(RunKind::kRemoval); }

TEST(FaultSweep, InstallationRunOnEveryVersion) { SweepEveryKind(RunKind::kInstallation); }

}  // namespace
