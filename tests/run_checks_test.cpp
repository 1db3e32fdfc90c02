#include "tests/run_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/branding.h"
#include "app/application_state.h"
#include "app/message_boxes.h"
#include "platform/platform.h"
#include "platform/sim/plug_and_play.h"
#include "resources/string_table.h"
#include "tests/sim_test_support.h"
#include "text/text_template.h"

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kNeighbour[] = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B070";

// The checks the sweep and the fuzzer rely on must see a loss when there is one.
TEST(RunChecks, SurvivorsSeeADeletedKeyAChangedValueAFileAndAPortBit) {
  sim::Machine& machine = FreshMachine();
  sim::PlantNeighbourDevice(machine);
  runcheck::Survivors survivors;
  survivors.CaptureAll(machine);
  ASSERT_TRUE(runcheck::ComDbPorts(machine).count(10));
  EXPECT_EQ(survivors.Losses(machine), "");

  machine.registry.SetDword(kLm, "SOFTWARE\\Phone", "Added", 1);  // additions are no loss
  EXPECT_EQ(survivors.Losses(machine), "");

  std::string instance = kNeighbour + std::string("\\") +
                         machine.registry.SubKeyNames(kLm, kNeighbour).front();
  machine.registry.SetString(kLm, instance, "Driver", "changed");
  EXPECT_NE(survivors.Losses(machine).find("\"Driver\""), std::string::npos);

  machine.registry.DeleteTree(kLm, kNeighbour);
  machine.files.Remove("C:\\WINDOWS\\INF\\oem10.inf");
  std::vector<uint8_t> empty(32, 0);
  machine.registry.SetValue(kLm, "SYSTEM\\ControlSet001\\Control\\COM Name Arbiter", "ComDB",
                            REG_BINARY, empty);
  std::string losses = survivors.Losses(machine);
  EXPECT_NE(losses.find("registry: HKLM\\SYSTEM\\ControlSet001\\Enum\\USB\\VID_1F3C&PID_6B070"),
            std::string::npos);
  EXPECT_NE(losses.find("file: C:\\WINDOWS\\INF\\oem10.inf"), std::string::npos);
  EXPECT_NE(losses.find("ComDB: COM10\n"), std::string::npos);

  // What changed after the capture (the phone's installation) is the phone's.
  sim::Machine& other = FreshMachine();
  runcheck::Survivors kept;
  kept.CaptureAll(other);
  other.registry.SetString(kLm, "SYSTEM\\Select", "Current", "rewritten");
  kept.KeepUnchanged(other);
  other.registry.DeleteValue(kLm, "SYSTEM\\Select", "Current");
  EXPECT_EQ(kept.Losses(other), "");
  other.registry.DeleteValue(kLm, "SYSTEM\\Select", "Default");
  EXPECT_NE(kept.Losses(other).find("\"Default\""), std::string::npos);
}

TEST(RunChecks, MessageBoxesMustComeFromTheStringTableOrTheSystem) {
  sim::Machine& machine = FreshMachine();
  std::strcpy(App().title, "ORVEX 3G/GSM USB Driver Installer");
  RegisterPlaceholders("K800", "3G/GSM");
  ShowInfoText(nullptr, IDS_NOT_ADMINISTRATOR);
  ShowSystemError(ERROR_ACCESS_DENIED);
  ShowSystemError(0xE0000777);  // no system text: "Error <n> (0x<n>)"
  EXPECT_EQ(runcheck::UnexpectedMessageBoxes(machine, 0), "");

  plat::MessageBoxA(nullptr, "", App().title, MB_OK);
  plat::MessageBoxA(nullptr, "Error 5 (0x00000006)", "Error", MB_ICONERROR);
  plat::MessageBoxA(nullptr, "A <%CATEGORY%> text", App().title, MB_OK);
  std::string unexpected = runcheck::UnexpectedMessageBoxes(machine, 0);
  EXPECT_EQ(std::count(unexpected.begin(), unexpected.end(), '\n'), 3) << unexpected;
  EXPECT_EQ(runcheck::UnexpectedMessageBoxes(machine, 6), "");
}

}  // namespace
