// Other makers' INF files, as they were published (the real-world corpus
// beside the repository, whose README gives each file's source), read through the Setup API: the simulated machine's INF
// reader and Wine's must find the same version entries, maker and first
// model line in every one. The removal decides whether an INF is the
// phone's from exactly these fields, so a reader that misread them (a
// UTF-16 file read as bytes, say) would make the tests on the simulated
// machine judge files Windows reads otherwise.
//
// Windows reads an INF as UTF-16 when it starts with the byte-order mark
// 0xFEFF and as ANSI text otherwise (Microsoft, "Setup API overview":
// "Unicode text files should contain the standard 0xFEFF byte-order mark to
// enable setup functions to identify the file as Unicode text"; "General
// Unicode requirement in INF files": UTF-16 LE or ANSI); the ANSI functions
// hand the text out in the system's code page.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "platform/tests/contract_env.h"
#include "platform/tests/contract_files_env.h"
#include "tests/realworld/real_infs.h"

namespace {

// The fields of one line, as SetupGetStringFieldA hands them out, joined
// with '|'; field 0 is the key.
std::string LineFields(INFCONTEXT* line, DWORD last) {
  std::string text;
  for (DWORD field = 0; field <= last; ++field) {
    char buffer[512] = {};
    if (field > 0) text += '|';
    if (plat::SetupGetStringFieldA(line, field, buffer, sizeof buffer, nullptr)) text += buffer;
  }
  return text;
}

std::string First(HINF inf, const std::string& section, const char* key, DWORD last) {
  INFCONTEXT line;
  if (!plat::SetupFindFirstLineA(inf, section.c_str(), key, &line)) return "<none>";
  return LineFields(&line, last);
}

// Signature, class, the first maker line, and the first line of its models
// section (decorated when the decorated section exists, as Windows picks it
// for the platform the decoration names).
std::string Summary(HINF inf) {
  std::string summary = First(inf, "Version", "Signature", 1) + "\n" +
                        First(inf, "Version", "Class", 1) + "\n";
  INFCONTEXT maker;
  if (!plat::SetupFindFirstLineA(inf, "Manufacturer", nullptr, &maker)) return summary + "<none>";
  summary += LineFields(&maker, 2) + "\n";
  char models[512] = {};
  char decoration[512] = {};
  plat::SetupGetStringFieldA(&maker, 1, models, sizeof models, nullptr);
  plat::SetupGetStringFieldA(&maker, 2, decoration, sizeof decoration, nullptr);
  std::string decorated = std::string(models) + "." + decoration;
  INFCONTEXT probe;
  bool useDecorated = decoration[0] != '\0' &&
                      plat::SetupFindFirstLineA(inf, decorated.c_str(), nullptr, &probe);
  return summary + First(inf, useDecorated ? decorated : std::string(models), nullptr, 2);
}

// The summary of a file, or how the reader refused it.
std::string OpenAndSummarise(const std::string& path) {
  UINT errorLine = 0;
  HINF inf = plat::SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
  if (inf == INVALID_HANDLE_VALUE) {
    return "refused: error " + std::to_string(plat::GetLastError()) + " at line " +
           std::to_string(errorLine);
  }
  std::string summary = Summary(inf);
  plat::SetupCloseInfFile(inf);
  return summary;
}

class InfCorpus : public ::testing::Test {
 protected:
  void SetUp() override { ResetContractMachine(); }
};

// What both readers must find in each file of the corpus, by file name. A
// file of the corpus that is not listed fails the test with what was read, so
// that a new file is looked at before it is trusted.
struct Expected {
  const char* name;
  const char* summary;
  // Wine's own reading where it differs from Windows', else null.
  const char* wine = nullptr;
};
const Expected kExpected[] = {
#include "platform/tests/inf_corpus_expected.inc"
};

TEST_F(InfCorpus, EveryFileReadsTheSameOnBothMachines) {
  if (RealInfs().empty()) GTEST_SKIP() << kRealInfsAbsent;
  for (const RealInf& file : RealInfs()) {
    SCOPED_TRACE(file.name);
    const Expected* expected = nullptr;
    for (const Expected& entry : kExpected) {
      if (std::string(entry.name) == file.name) expected = &entry;
    }
    std::string path = ContractScratchFolder() + file.name;
    ASSERT_TRUE(PlantFile(path, std::string(file.bytes, file.size)));
    std::string summary = OpenAndSummarise(path);
    if (expected == nullptr) {
      ADD_FAILURE() << "not in the expected list; read as:\n" << summary;
      continue;
    }
    EXPECT_EQ(summary, SimElseWine(expected->summary,
                                       expected->wine ? expected->wine : expected->summary));
  }
}

}  // namespace
