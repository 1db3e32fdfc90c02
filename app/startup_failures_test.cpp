// The start-up and shut-down of the process, the administrator check, the
// hand-over to a running instance and the settings flag, with each of their
// platform calls failing in turn (tests/fail_each_call.h): the program goes
// on with its defaults, and everything it took at start-up is released at
// shut-down.
#include <gtest/gtest.h>

#include <string>

#include "app/administrator.h"
#include "app/application_state.h"
#include "app/branding.h"
#include "app/center_window.h"
#include "app/file_version.h"
#include "app/init_application.h"
#include "app/message_boxes.h"
#include "app/running_instance.h"
#include "resources/string_table.h"
#include "tests/fail_each_call.h"
#include "tests/sim_test_support.h"
#include "uninstall/reset_install_flag.h"

namespace {

using sim::WindowsVersion;

const char kSettingsPath[] = "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6";
const char kTitle[] = "ORVEX 3G/GSM USB Driver Installer";

void Nothing(sim::Machine&) {}

// The branding INI with an icon, and an earlier instance's wizard.
void StartUpPhone(sim::Machine& machine) {
  machine.files.WriteFile("D:\\USBINST\\mdmsetup.ini",
                          "[UsbInst]\r\nNAME=Okos\r\nNAME2=%s\r\nICON=phone.ico\r\n");
  machine.files.WriteFile("D:\\USBINST\\phone.ico", "icon");
  machine.registry.SetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag", 1);
}

void EarlierInstance(sim::Machine& machine) {
  machine.system.PretendOtherInstanceHoldsMutex("USBDriverInstall");
  sim::TopLevelWindowSpec shape;
  shape.title = kTitle;
  shape.process = "earlier";
  HWND wizard = machine.windows.CreateTopLevel(shape);
  machine.windows.AddProperty(wizard, "USBDriverInstall", reinterpret_cast<HANDLE>(1));
}

TEST(StartUpFailures, EveryFailedCallLeavesTheDefaultsAndReleasesEverything) {
  const sim::MachineOptions kXp = OptionsFor(WindowsVersion::WindowsXPSP3);
  const FailureStep steps[] = {
      {"start-up and shut-down", kXp, Nothing, StartUpPhone,
       [] {
         InitApplication(nullptr, IDS_APP_TITLE, IDS_WINDOW_CLASS, IDS_MUTEX_NAME);
         ReadBranding();
         // Whatever failed, the names are terminated within their fields.
         const ApplicationState& state = App();
         bool terminated = std::string(state.seriesName).size() < sizeof state.seriesName &&
                           std::string(state.categoryName).size() < sizeof state.categoryName &&
                           std::string(state.title).size() < sizeof state.title;
         ShutdownApplication();
         return terminated ? 1 : 0;
       }},
      {"administrator check", kXp, Nothing, Nothing, [] { return IsUserAdministrator(); }},
      {"activate the earlier instance", kXp, Nothing, EarlierInstance,
       [] {
         InitApplication(nullptr, IDS_APP_TITLE, IDS_WINDOW_CLASS, IDS_MUTEX_NAME);
         int result = HandleRunningInstance(kActivate);
         ShutdownApplication();
         return result;
       }},
      {"close the earlier instance", kXp, Nothing, EarlierInstance,
       [] {
         InitApplication(nullptr, IDS_APP_TITLE, IDS_WINDOW_CLASS, IDS_MUTEX_NAME);
         int result = HandleRunningInstance(kCloseRunning);
         ShutdownApplication();
         return result;
       }},
      {"install flag", kXp, Nothing, StartUpPhone, [] { return ResetInstallFlag(); }},
      {"version queries", kXp, Nothing, Nothing,
       [] {
         WORD major = 0;
         WORD minor = 0;
         return GetFileVersionParts("C:\\WINDOWS\\system32\\COMCTL32.DLL", &major, &minor, nullptr,
                                    nullptr) &
                GetServicePackMajor(&major, &minor) &
                (GetFileVersionMS("C:\\WINDOWS\\system32\\COMCTL32.DLL") != 0 ? 1 : 0);
       }},
      {"system error box", kXp, Nothing, Nothing,
       [] {
         ShowSystemError(ERROR_ACCESS_DENIED);
         ShowSystemError(0xE000020Bu);
         return 1;
       }},
  };
  int cases = 0;
  for (const FailureStep& step : steps) cases += FailEachCall(step);
  std::printf("[ failures ] %d cases over %zu start-up steps\n", cases, std::size(steps));
}

}  // namespace
