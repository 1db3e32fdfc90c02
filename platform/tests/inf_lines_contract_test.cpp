// Walking the lines of an INF section, as the judge of whether an INF is the
// phone's walks [Manufacturer]: SetupFindNextLine goes to the next line of
// the same section whatever its key, and past the last line fails with
// ERROR_LINE_NOT_FOUND, leaving the context it was given as it was
// (Microsoft, SetupFindNextLine: "returns the location of the next line in
// an INF file section relative to ContextIn.Line").
#include <gtest/gtest.h>

#include <string>

#include "platform/tests/contract_env.h"
#include "platform/tests/contract_files_env.h"

namespace {

class InfLines : public ::testing::Test {
 protected:
  void SetUp() override { ResetContractMachine(); }
};

std::string Field(INFCONTEXT* line, DWORD index) {
  char buffer[64] = {};
  if (!plat::SetupGetStringFieldA(line, index, buffer, sizeof buffer, nullptr)) return "<none>";
  return buffer;
}

TEST_F(InfLines, NextLineWalksOneSectionToItsEndWhateverTheKeys) {
  std::string path = ContractScratchFolder() + "lines.inf";
  ASSERT_TRUE(PlantFile(path,
                        "[Version]\r\nSignature=\"$Windows NT$\"\r\n"
                        "[Manufacturer]\r\n%A%=MakerA,NTx86\r\nMakerB\r\n; a comment\r\n"
                        "\"C\"=MakerC,NTamd64,NTx86\r\n[Strings]\r\nA=\"Maker A\"\r\n"));
  HINF inf = plat::SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
  ASSERT_NE(inf, INVALID_HANDLE_VALUE);
  INFCONTEXT line;
  ASSERT_TRUE(plat::SetupFindFirstLineA(inf, "Manufacturer", nullptr, &line));
  EXPECT_EQ(Field(&line, 0), "Maker A");
  EXPECT_EQ(Field(&line, 2), "NTx86");
  ASSERT_TRUE(plat::SetupFindNextLine(&line, &line));
  EXPECT_EQ(Field(&line, 1), "MakerB");  // a line without a key: its field is its key too
  ASSERT_TRUE(plat::SetupFindNextLine(&line, &line));
  EXPECT_EQ(Field(&line, 0), "C");
  EXPECT_EQ(Field(&line, 3), "NTx86");
  INFCONTEXT after = line;
  EXPECT_FALSE(plat::SetupFindNextLine(&line, &after));
  EXPECT_EQ(plat::GetLastError(), static_cast<DWORD>(ERROR_LINE_NOT_FOUND));
  // The section's last line is still where the failed call started.
  EXPECT_EQ(Field(&line, 1), "MakerC");
  plat::SetupCloseInfFile(inf);
}

}  // namespace
