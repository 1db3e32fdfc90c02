// Other makers' INF files, as they were published (tests/data/real/infs and
// its README), read through the Setup API: the simulated machine's INF
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

class InfCorpus : public ::testing::Test {
 protected:
  void SetUp() override { ResetContractMachine(); }
};

TEST_F(InfCorpus, EveryFileReadsTheSameOnBothMachines) {
  struct Expected {
    const char* name;
    const char* summary;
  };
  // The first model lines name a modem of another maker's fake modem
  // driver, a root-enumerated network adapter, a USB function with "&mi_00",
  // the serial ports' PnP ID, and a USB host controller whose names come
  // from [Strings]: the file has translations, none of them Hungarian.
  const Expected expected[] = {
      {"mdmfake-utf16.inf",
       "Signature|$WINDOWS NT$\nClass|Modem\nTODO-Set-Manufacturer|Standard|NT$ARCH$\n"
       "FakeModem DDK Sample controllerless driver|ModemX|"
       "{b85b7c50-6a01-11d2-b841-00c04fad5171}\\fakemodem"},
      {"mdmfake.inf",
       "Signature|$WINDOWS NT$\nClass|Modem\nTODO-Set-Manufacturer|Standard|NT$ARCH$\n"
       "FakeModem DDK Sample controllerless driver|ModemX|"
       "{b85b7c50-6a01-11d2-b841-00c04fad5171}\\fakemodem"},
      {"netvadapter.inf",
       "Signature|$Windows NT$\nClass|Net\nMicrosoft|Msft|NT$ARCH$\n"
       "KMDF Microsoft Virtual Ethernet Adapter (NDIS WDF)|netvadapter.ndi|root\\netvadapter"},
      {"osrusbfx2um.inf",
       "Signature|$Windows NT$\nClass|Generic\nOSR|OSR|NT$ARCH$.10.0...22000\n"
       "UMDF v2 Sample Driver for OSR USB Fx2 Learning Kit with NativeUSB|OsrUsb_Install|"
       "USB\\Vid_045e&Pid_94aa&mi_00"},
      {"serial.inf",
       "signature|$CHICAGO$\nClass|Ports\nTODO-Set-Manufacturer|MSFT|NT$ARCH$.10.0...16299\n"
       "Communications Port|Serial_Inst|*PNP0500"},
      {"usbport.inf",
       "Signature|$Windows NT$\nClass|USB\n(Generic USB devices)|GenericMfg|\n"
       "UHCI USB controller|UHCI_Inst|PCI\\CC_0C0300"},
  };
  ASSERT_EQ(std::size(kRealInfs), std::size(expected));
  for (size_t i = 0; i < std::size(kRealInfs); ++i) {
    const RealInf& file = kRealInfs[i];
    SCOPED_TRACE(file.name);
    ASSERT_STREQ(file.name, expected[i].name);
    std::string path = ContractScratchFolder() + file.name;
    ASSERT_TRUE(PlantFile(path, std::string(file.bytes, file.size)));
    UINT errorLine = 0;
    HINF inf = plat::SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE) << "error line " << errorLine;
    EXPECT_EQ(Summary(inf), expected[i].summary);
    plat::SetupCloseInfFile(inf);
  }
}

}  // namespace
