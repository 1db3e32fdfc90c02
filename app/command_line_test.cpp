#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* commandLine;
  int runMode;
  int showVersionLabel;
};

TEST(ScanCommandLine, SwitchesAnywhereInEitherCaseTheLaterOfInstallAndRemoveWins) {
  const Case cases[] = {
      {"", kRunNone, 1},
      {"/i", kRunInstall, 1},
      {"-I", kRunInstall, 1},
      {"-i", kRunInstall, 1},
      {"/R", kRunRemove, 1},
      {"-r", kRunRemove, 1},
      {"/x", kRunNone, 1},
      {"/I /R", kRunRemove, 1},
      {"/R -I", kRunInstall, 1},
      {"/V", kRunNone, 0},
      {"/v /i", kRunInstall, 0},
      {"//i", kRunInstall, 1},   // the second slash is looked at again
      {"-/r", kRunRemove, 1},
      {"D:\\setup-run", kRunRemove, 1},  // a switch inside a path counts
      {"\"/i\"", kRunInstall, 1},        // quotes mean nothing
      {"/", kRunNone, 1},                // a switch character at the very end
      {"abc-", kRunNone, 1},
  };
  for (const Case& c : cases) {
    CommandLineChoice choice = ScanCommandLine(c.commandLine);
    EXPECT_EQ(choice.runMode, c.runMode) << c.commandLine;
    EXPECT_EQ(choice.showVersionLabel, c.showVersionLabel) << c.commandLine;
  }
  EXPECT_EQ(ScanCommandLine(nullptr).runMode, kRunNone);
}

}  // namespace
