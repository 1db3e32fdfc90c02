#include "app/init_application.h"

#include <cstring>

#include "app/application_state.h"
#include "app/dll_search.h"
#include "app/file_version.h"
#include "app/path_routines.h"
#include "platform/platform.h"
#include "text/text_template.h"

namespace {

// COMCTL32 4.70 (Internet Explorer 3) is the first with InitCommonControlsEx.
constexpr DWORD kCommonControlsExVersion = 0x40046;

void LoadStartupText(int id, char* buffer, int capacity) {
  if (plat::LoadStringA(App().instance, static_cast<UINT>(id), buffer, capacity) > 0) {
    Placeholders().Substitute(buffer, capacity);
  }
}

void ReadOwnVersion(ApplicationState& state) {
  char path[kPathCapacity];
  DWORD length = plat::GetModuleFileNameA(state.instance, path, kPathLimit);
  if (length == 0 || length >= kPathLimit) return;
  path[length] = '\0';
  WORD major = 0;
  WORD minor = 0;
  WORD build = 0;
  // Without readable version information the version stays 0.0.0.
  if (GetFileVersionParts(path, &major, &minor, &build, nullptr)) {
    state.versionMajor = major;
    state.versionMinor = minor;
    state.versionBuild = build;
  }
}

// comctl32 is loaded from the system folder by its full path and nothing of
// it is imported: it is no known DLL, so a comctl32.dll beside the program
// would otherwise be the one loaded (see platform/system_library.cpp).
void InitCommonControlsLibrary(ApplicationState& state) {
  char path[kPathCapacity];
  if (!SystemLibraryPath("comctl32.dll", path)) return;
  state.commonControls = plat::LoadSystemLibrary("comctl32.dll");
  if (state.commonControls == nullptr) return;
  // Through void (*)(), the one function type every other converts to without a warning.
  if (GetFileVersionMS(path) < kCommonControlsExVersion) {
    auto init = reinterpret_cast<plat::InitCommonControlsProc>(reinterpret_cast<void (*)()>(
        plat::GetProcAddress(state.commonControls, "InitCommonControls")));
    if (init != nullptr) init();
    return;
  }
  auto initEx = reinterpret_cast<plat::InitCommonControlsExProc>(reinterpret_cast<void (*)()>(
      plat::GetProcAddress(state.commonControls, "InitCommonControlsEx")));
  if (initEx == nullptr) return;
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  // The wizard's progress bar is the class Microsoft documents under
  // ICC_PROGRESS_CLASS; ICC_INTERNET_CLASSES names the IP address control.
  controls.dwICC = ICC_INTERNET_CLASSES | ICC_PROGRESS_CLASS;
  initEx(&controls);
}

}  // namespace

int InitApplication(HINSTANCE instance, int titleId, int classNameId, int mutexNameId) {
  LoadApplicationState(instance, titleId, classNameId, mutexNameId);
  return ClaimSingleInstance();
}

void LoadApplicationState(HINSTANCE instance, int titleId, int classNameId, int mutexNameId) {
  ApplicationState& state = App();
  std::memset(&state, 0, sizeof(state));
  // Before anything is loaded: nothing this process loads may come from the
  // program's folder, where anyone could have put a DLL.
  RestrictDllSearch();
  state.instance = instance;
  GetProgramFolder(state.programFolder, sizeof(state.programFolder));
  ReadOwnVersion(state);
  LoadStartupText(titleId, state.title, sizeof(state.title));
  LoadStartupText(classNameId, state.windowClassName, sizeof(state.windowClassName));
  LoadStartupText(mutexNameId, state.mutexName, sizeof(state.mutexName));
  InitCommonControlsLibrary(state);
}

int ClaimSingleInstance() {
  ApplicationState& state = App();
  state.alreadyRunning = 0;
  state.mutex = plat::CreateMutexA(nullptr, TRUE, state.mutexName);
  if (state.mutex == nullptr) return 0;
  if (plat::GetLastError() == ERROR_ALREADY_EXISTS) {
    state.alreadyRunning = 1;
    return 0;
  }
  return 1;
}

void ShutdownApplication() {
  ApplicationState& state = App();
  if (state.mutex != nullptr) {
    plat::ReleaseMutex(state.mutex);
    plat::CloseHandle(state.mutex);
    state.mutex = nullptr;
  }
  if (state.commonControls != nullptr) {
    plat::FreeLibrary(state.commonControls);
    state.commonControls = nullptr;
  }
}
