#include <gtest/gtest.h>

#include <string>

#include "install/driver_installer.h"
#include "tests/sim_test_support.h"

namespace {

class DeleteFileIfPresent : public ::testing::Test {
 protected:
  void SetUp() override { machine_ = &FreshMachine(); }
  sim::Machine* machine_ = nullptr;
  DriverInstaller installer_{12};
};

TEST_F(DeleteFileIfPresent, DeletesFilesAndCountsAMissingFileAsDeleted) {
  machine_->files.WriteFile("C:\\WINDOWS\\INF\\x.inf", "x");
  machine_->files.WriteFile("C:\\WINDOWS\\INF\\ro.inf", "r",
                            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  std::string before = machine_->files.SnapshotText();
  EXPECT_EQ(installer_.DeleteFileIfPresent("C:\\WINDOWS\\INF\\missing.inf"), 1);
  EXPECT_EQ(machine_->files.SnapshotText(), before);
  EXPECT_EQ(installer_.DeleteFileIfPresent("C:\\WINDOWS\\INF\\x.inf"), 1);
  EXPECT_EQ(installer_.DeleteFileIfPresent("C:\\WINDOWS\\INF\\ro.inf"), 1);
  EXPECT_FALSE(machine_->files.FileExists("C:\\WINDOWS\\INF\\x.inf"));
  EXPECT_FALSE(machine_->files.FileExists("C:\\WINDOWS\\INF\\ro.inf"));
  EXPECT_EQ(OpenHandles(), "");
}

TEST_F(DeleteFileIfPresent, RefusesWhatItCannotOrMustNotDelete) {
  machine_->files.CreateFolder("C:\\WINDOWS\\INF\\folder.inf");
  machine_->files.SetAttributes("C:\\WINDOWS\\INF\\folder.inf", FILE_ATTRIBUTE_READONLY);
  machine_->files.WriteFile("C:\\WINDOWS\\INF\\held.inf", "h", FILE_ATTRIBUTE_READONLY);
  machine_->files.HoldOpen("C:\\WINDOWS\\INF\\held.inf");
  std::string longPath = "C:\\" + std::string(300, 'a') + "\\x.inf";
  const char* cases[] = {
      "C:\\NoSuchFolder\\x.inf",      // a missing folder is not "nothing to do"
      "C:\\WINDOWS\\INF\\folder.inf",  // a directory
      "C:\\WINDOWS\\INF\\held.inf",    // held open by another process
      "C:\\WINDOWS\\INF\\*.inf",       // a wildcard would find some other file
      longPath.c_str(),
  };
  for (const char* path : cases) {
    EXPECT_EQ(installer_.DeleteFileIfPresent(path), 0) << path;
  }
  // The directory keeps its attributes; the held file stays, its attributes
  // cleared as on Windows.
  EXPECT_EQ(machine_->files.Attributes("C:\\WINDOWS\\INF\\folder.inf"),
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(machine_->files.FileExists("C:\\WINDOWS\\INF\\held.inf"));
  EXPECT_EQ(machine_->files.Attributes("C:\\WINDOWS\\INF\\held.inf"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(machine_->files.FileExists("C:\\WINDOWS\\INF\\machine.inf"));
  EXPECT_EQ(OpenHandles(), "");
}

}  // namespace
