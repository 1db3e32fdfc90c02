#include "wizard/setup_wizard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application_state.h"
#include "app/branding.h"
#include "app/path_routines.h"
#include "app/text.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "resources/string_table.h"
#include "tests/sim_test_support.h"
#include "wizard/test_phone.h"

namespace {

using sim::DialogEvent;
using sim::WindowsVersion;

const char kTitle[] = "ORVEX 3G/GSM USB Driver Installer";
const char kSettingsPath[] = "SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6";
const char kIconPath[] = "D:\\USBINST\\art\\x910.ico";

// A minimal icon file: directory header and one 32x32 entry.
std::string IconFile() {
  std::string bytes("\0\0\1\0\1\0", 6);
  bytes += std::string("\x20\x20\0\0\1\0\x20\0", 8) + std::string(8, '\0');
  return bytes;
}

class Wizard : public ::testing::Test {
 protected:
  // The application as the entry point leaves it before the wizard: title,
  // version 6.0.12, branding with the series "X910" and an icon.
  sim::Machine& Start(WindowsVersion version, bool withIcon = false) {
    machine_ = &FreshMachine(OptionsFor(version));
    std::strcpy(App().title, kTitle);
    App().versionMajor = 6;
    App().versionMinor = 0;
    App().versionBuild = 12;
    std::string ini = "[UsbInst]\r\nNAME=X910\r\n";
    if (withIcon) {
      machine_->files.WriteFile(kIconPath, IconFile());
      ini += "ICON=art\\x910.ico\r\n";
    }
    machine_->files.WriteFile("D:\\USBINST\\mdmsetup.ini", ini);
    GetProgramFolder(App().programFolder, sizeof(App().programFolder));
    ReadBranding();
    App().ShowVersionLabel = 1;
    machine_->registry.CreateKey(HKEY_LOCAL_MACHINE, kSettingsPath);
    return *machine_;
  }

  // Runs the wizard of a run whose package is in place.
  INT_PTR Run(int osKind, int withMode, std::vector<DialogEvent> events) {
    wizard_ = std::make_unique<SetupWizard>(osKind, withMode);
    wizard_->state = kWaitingForPhone;
    for (DialogEvent& event : events) machine_->dialogs.script.push_back(std::move(event));
    return wizard_->RunDialog(nullptr);
  }

  const sim::DialogRun& LastRun() { return machine_->dialogs.runs.back(); }
  const sim::Window& Final(int id) { return *LastRun().FinalControl(id); }
  sim::Window& Live(HWND dialog, int id) { return *machine_->windows.FindChild(dialog, id); }

  std::string Text(int id) {
    char text[kFormatCapacity];
    text[0] = '\0';
    LoadText(id, text, kFormatCapacity);
    return text;
  }
  std::optional<uint32_t> InstallFlag() {
    return machine_->registry.GetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag");
  }

  DialogEvent Plug(std::vector<int> functions) {
    return DialogEvent::Inspect([this, functions](HWND) {
      for (int function : functions) test_phone::PlugNt(*machine_, function);
    });
  }
  DialogEvent Unplug(std::vector<int> functions) {
    return DialogEvent::Inspect([this, functions](HWND) {
      for (int function : functions) test_phone::UnplugNt(*machine_, function);
    });
  }

  sim::Machine* machine_ = nullptr;
  std::unique_ptr<SetupWizard> wizard_;
};

TEST_F(Wizard, InstructionsAndTemplateFollowTheVersionServicePackAndMode) {
  struct Case {
    WindowsVersion version;
    int osKind;
    int withMode;
    int textId;
    int templateId;
  };
  const Case cases[] = {
      {WindowsVersion::Windows95, 0, 1, 15001, 101},
      {WindowsVersion::Windows98, 1, 0, 15003, 101},
      {WindowsVersion::WindowsMe, 2, 1, 15001, 101},
      {WindowsVersion::WindowsNT4, 10, 1, 15001, 101},
      {WindowsVersion::WindowsNT4, 10, 0, 15003, 101},
      {WindowsVersion::Windows2000, 11, 1, 15007, 102},
      {WindowsVersion::Windows2000, 11, 0, 15008, 102},
      {WindowsVersion::WindowsVista, 11, 1, 15007, 102},
      {WindowsVersion::WindowsXPSP1, 12, 1, 15002, 102},
      {WindowsVersion::WindowsXPSP1, 12, 0, 15004, 102},
      {WindowsVersion::WindowsXPSP2, 12, 1, 15009, 102},
      {WindowsVersion::WindowsXPSP3, 12, 0, 15010, 102},
      {WindowsVersion::Windows7, 12, 1, 15002, 102},  // service pack 1
  };
  for (const Case& c : cases) {
    Start(c.version);
    EXPECT_EQ(Run(c.osKind, c.withMode, {DialogEvent::Click(IDCANCEL)}), 0);
    std::string shown = Final(IDC_WIZARD_INSTRUCTIONS).text;
    EXPECT_EQ(shown, Text(c.textId)) << c.osKind << " " << c.withMode;
    EXPECT_NE(shown.find("X910"), std::string::npos);
    EXPECT_EQ(shown.find("<%"), std::string::npos);
    EXPECT_EQ(LastRun().templateId, c.templateId);
    EXPECT_EQ(Final(IDC_WIZARD_NEXT).text, Text(c.withMode ? IDS_BUTTON_NEXT : IDS_BUTTON_FINISH));
    EXPECT_EQ(OpenHandles(), "");
  }
  // A service pack query that fails counts as below service pack 2.
  Start(WindowsVersion::WindowsXPSP3);
  machine_->faults.FailOn("GetVersionExA", 1, ERROR_INVALID_PARAMETER);
  Run(12, 1, {DialogEvent::Click(IDCANCEL)});
  EXPECT_EQ(Final(IDC_WIZARD_INSTRUCTIONS).text, Text(IDS_WIZARD_XP_NEXT));
}

TEST_F(Wizard, OpensWithCancelAsTheFocusedDefaultAndNextDisabled) {
  Start(WindowsVersion::WindowsXPSP3);
  bool inspected = false;
  Run(12, 1,
      {DialogEvent::Inspect([&](HWND dialog) {
         inspected = true;
         sim::Window& window = *machine_->windows.Find(dialog);
         EXPECT_EQ(window.text, kTitle);
         EXPECT_TRUE(window.visible);
         // The wizard object's full address, also on 64-bit systems.
         EXPECT_EQ(plat::GetWindowLongPtrA(dialog, GWLP_USERDATA),
                   reinterpret_cast<LONG_PTR>(wizard_.get()));
         sim::Window& cancel = Live(dialog, IDCANCEL);
         sim::Window& next = Live(dialog, IDC_WIZARD_NEXT);
         EXPECT_EQ(cancel.text, Text(IDS_BUTTON_CANCEL));
         EXPECT_TRUE(cancel.enabled);
         EXPECT_TRUE(cancel.style & BS_DEFPUSHBUTTON);
         EXPECT_EQ(machine_->windows.focus, cancel.handle);
         EXPECT_FALSE(next.enabled);
         EXPECT_FALSE(next.style & BS_DEFPUSHBUTTON);
         EXPECT_EQ(Live(dialog, IDC_WIZARD_VERSION).text, "Ver. 6.0.12");
         sim::Window& progress = Live(dialog, IDC_WIZARD_PROGRESS);
         EXPECT_EQ(progress.rangeMin, 0);
         EXPECT_EQ(progress.rangeMax, 4);
         EXPECT_EQ(progress.step, 1);
         EXPECT_EQ(progress.position, 0);
         // Without a branding icon the template's phone icon stays.
         EXPECT_EQ(Live(dialog, IDC_WIZARD_ICON).image,
                   machine_->dialogs.ResourceIcon(*machine_, IDI_PHONE));
         // Template 102 is 365 by 186 units, 548 by 302 pixels, centred on
         // 1024 by 768 without changing its size.
         RECT rect = window.rect;
         EXPECT_EQ(rect.left, (1024 - 548) / 2);
         EXPECT_EQ(rect.top, (768 - 302) / 2);
         EXPECT_EQ(rect.right - rect.left, 548);
         EXPECT_EQ(rect.bottom - rect.top, 302);
       }),
       DialogEvent::Click(IDCANCEL)});
  EXPECT_TRUE(inspected);
  EXPECT_EQ(LastRun().result, 0);
}

TEST_F(Wizard, VersionLabelIsEmptyWithTheVSwitch) {
  Start(WindowsVersion::Windows98);
  App().ShowVersionLabel = 0;
  Run(1, 0, {DialogEvent::Click(IDCANCEL)});
  EXPECT_EQ(Final(IDC_WIZARD_VERSION).text, "");
}

TEST_F(Wizard, TheBrandingIconReplacesThePhoneIconWhenItLoads) {
  Start(WindowsVersion::WindowsXPSP3, true);
  ASSERT_STREQ(App().iconPath, kIconPath);
  Run(12, 0, {DialogEvent::Click(IDCANCEL)});
  HANDLE image = Final(IDC_WIZARD_ICON).image;
  EXPECT_EQ(machine_->windows.icons[reinterpret_cast<uintptr_t>(image)], kIconPath);

  // An icon file that will not load leaves the phone icon.
  Start(WindowsVersion::WindowsXPSP3, true);
  machine_->files.WriteFile(kIconPath, "not an icon");
  Run(12, 0, {DialogEvent::Click(IDCANCEL)});
  EXPECT_EQ(Final(IDC_WIZARD_ICON).image, machine_->dialogs.ResourceIcon(*machine_, IDI_PHONE));
  EXPECT_EQ(OpenHandles(), "");
}

TEST_F(Wizard, TheBarCountsFunctionsFromTheFirstWithoutAGap) {
  Start(WindowsVersion::WindowsXPSP2);
  std::vector<int> positions;
  auto record = DialogEvent::Inspect([&](HWND dialog) {
    positions.push_back(Live(dialog, IDC_WIZARD_PROGRESS).position);
    EXPECT_FALSE(Live(dialog, IDC_WIZARD_NEXT).enabled);
    EXPECT_TRUE(Live(dialog, IDCANCEL).enabled);
  });
  // Already plugged in before the dialog opened: nothing until a notification.
  INT_PTR result = Run(12, 1,
                       {Plug({0, 1}), record, DialogEvent::DeviceChange(), record, Plug({3}),
                        DialogEvent::DeviceChange(), record,
                        // Function 0 gone: the check stops before sending anything.
                        Unplug({0}), DialogEvent::DeviceChange(), record, Plug({0}), Unplug({1}),
                        DialogEvent::DeviceChange(), record, DialogEvent::Click(IDC_WIZARD_NEXT),
                        DialogEvent::Click(IDCANCEL)});
  EXPECT_EQ(positions, (std::vector<int>{0, 2, 2, 2, 1}));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(LastRun().refusedClicks, std::vector<int>{IDC_WIZARD_NEXT});
  EXPECT_EQ(wizard_->state, kWaitingForPhone);
  EXPECT_EQ(OpenHandles(), "");
}

TEST_F(Wizard, AllFourFunctionsMakeNextTheFocusedDefaultAndDisableCancel) {
  Start(WindowsVersion::Windows2000);
  machine_->registry.SetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag", 0);
  INT_PTR result = Run(11, 1,
                       {Plug({0, 1, 2, 3}), DialogEvent::DeviceChange(DBT_DEVICEARRIVAL),
                        DialogEvent::Inspect([&](HWND dialog) {
                          EXPECT_EQ(wizard_->state, kPhoneReady);
                          sim::Window& next = Live(dialog, IDC_WIZARD_NEXT);
                          sim::Window& cancel = Live(dialog, IDCANCEL);
                          EXPECT_EQ(Live(dialog, IDC_WIZARD_PROGRESS).position, 4);
                          EXPECT_TRUE(next.enabled);
                          EXPECT_TRUE(next.style & BS_DEFPUSHBUTTON);
                          EXPECT_EQ(machine_->windows.focus, next.handle);
                          EXPECT_FALSE(cancel.enabled);
                          EXPECT_FALSE(cancel.style & BS_DEFPUSHBUTTON);
                          EXPECT_GE(machine_->windows.Find(dialog)->invalidations, 1);
                          EXPECT_GE(machine_->windows.Find(dialog)->updates, 1);
                        }),
                        // Unplugging now changes nothing.
                        Unplug({0, 1, 2, 3}), DialogEvent::DeviceChange(DBT_DEVICEREMOVECOMPLETE),
                        DialogEvent::Click(IDCANCEL), DialogEvent::Click(IDC_WIZARD_NEXT)});
  EXPECT_EQ(result, 1);
  EXPECT_EQ(LastRun().refusedClicks, std::vector<int>{IDCANCEL});
  EXPECT_EQ(Final(IDC_WIZARD_PROGRESS).position, 4);
  EXPECT_EQ(InstallFlag(), 1u);
  EXPECT_EQ(OpenHandles(), "");
}

TEST_F(Wizard, InstallFlagOnlyAfterNextInAnInstallSwitchRun) {
  auto ready = [&]() {
    return std::vector<DialogEvent>{Plug({0, 1, 2, 3}), DialogEvent::DeviceChange()};
  };
  auto with = [](std::vector<DialogEvent> events, DialogEvent last) {
    events.push_back(std::move(last));
    return events;
  };

  // Without the switch the value is never touched.
  Start(WindowsVersion::WindowsXPSP3);
  EXPECT_EQ(Run(12, 0, with(ready(), DialogEvent::Click(IDC_WIZARD_NEXT))), 1);
  EXPECT_EQ(InstallFlag(), std::nullopt);

  // With it, Cancel while waiting and a Next command that no user could
  // give (the button is disabled) end with 0 and leave the value alone.
  Start(WindowsVersion::WindowsXPSP3);
  EXPECT_EQ(Run(12, 1, {DialogEvent::Click(IDCANCEL)}), 0);
  EXPECT_EQ(InstallFlag(), std::nullopt);
  Start(WindowsVersion::WindowsXPSP3);
  EXPECT_EQ(Run(12, 1, {DialogEvent::Message(WM_COMMAND, IDC_WIZARD_NEXT, 0)}), 0);
  EXPECT_EQ(InstallFlag(), std::nullopt);

  // A missing settings key is not created; the wizard still ends with 1.
  Start(WindowsVersion::WindowsXPSP3);
  machine_->registry.DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORVEX");
  EXPECT_EQ(Run(12, 1, with(ready(), DialogEvent::Click(IDC_WIZARD_NEXT))), 1);
  EXPECT_FALSE(machine_->registry.KeyExists(HKEY_LOCAL_MACHINE, kSettingsPath));
  EXPECT_EQ(OpenHandles(), "");
}

// A later instance tells the open wizard from other windows of the same
// title by the program's mark on it; the mark goes before the window does.
TEST_F(Wizard, TheOpenWizardCarriesTheProgramsMarkUntilItCloses) {
  Start(WindowsVersion::WindowsXPSP3);
  std::strcpy(App().windowClassName, "USBDriverInstall");
  bool markedWhileOpen = false;
  Run(12, 1, {DialogEvent::Inspect([&markedWhileOpen](HWND dialog) {
                markedWhileOpen = plat::GetPropA(dialog, "USBDriverInstall") != nullptr;
              }),
              DialogEvent::Click(IDCANCEL)});
  EXPECT_TRUE(markedWhileOpen);
  EXPECT_TRUE(LastRun().finalWindow.properties.empty());
}

// A removal run sends WM_CLOSE. The wizard ends itself with 0 in every
// state: once the phone is ready Cancel is disabled, and Windows' dialog
// default then ignores WM_CLOSE; the Next click that would follow must not
// set the flag for drivers the removal took away.
TEST_F(Wizard, WmCloseEndsTheWizardWithZeroInEveryState) {
  Start(WindowsVersion::WindowsXPSP3);
  EXPECT_EQ(Run(12, 1, {DialogEvent::Close()}), 0);
  EXPECT_EQ(LastRun().delivered, (std::vector<UINT>{WM_INITDIALOG, WM_CLOSE, WM_DESTROY}));

  Start(WindowsVersion::WindowsXPSP3);
  machine_->registry.SetDword(HKEY_LOCAL_MACHINE, kSettingsPath, "InstallFlag", 0);
  std::vector<DialogEvent> events{Plug({0, 1, 2, 3}), DialogEvent::DeviceChange(),
                                  DialogEvent::Close(), DialogEvent::Click(IDC_WIZARD_NEXT)};
  EXPECT_EQ(Run(12, 1, std::move(events)), 0);
  EXPECT_EQ(wizard_->state, kPhoneReady);
  EXPECT_EQ(InstallFlag(), 0u);
  EXPECT_EQ(LastRun().warningBeeps, 0);
  EXPECT_EQ(machine_->dialogs.script.size(), 1u);  // the click never reached it
  machine_->dialogs.script.clear();
}

TEST_F(Wizard, DeviceChangesOutsideTheWaitAreIgnored) {
  Start(WindowsVersion::Windows98);
  for (int function = 0; function < 4; ++function) test_phone::PlugLegacy(*machine_, function);
  auto wizard = std::make_unique<SetupWizard>(1, 0);  // the install never succeeded
  machine_->dialogs.script = {DialogEvent::DeviceChange(), DialogEvent::Click(IDC_WIZARD_NEXT),
                              DialogEvent::Click(IDCANCEL)};
  EXPECT_EQ(wizard->RunDialog(nullptr), 0);
  EXPECT_EQ(LastRun().templateId, IDD_WIZARD_LEGACY);
  EXPECT_EQ(wizard->state, kNotReady);
  EXPECT_EQ(Final(IDC_WIZARD_PROGRESS).position, 0);

  // The same machine with the wizard waiting: the legacy footprint is found.
  EXPECT_EQ(Run(1, 0, {DialogEvent::DeviceChange(), DialogEvent::Click(IDC_WIZARD_NEXT)}), 1);
}

}  // namespace
