// Contract of the process-wide operations: last error, versions, tokens and
// SIDs, mutexes, modules, memory, FormatMessage, the lstr routines, wsprintf,
// file version information and LoadStringA.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "platform/tests/contract_env.h"

#ifdef USBINST_CONTRACT_SIM
#include <cstdlib>

#include "platform/sim/machine.h"
#endif

namespace {

class SystemContract : public ::testing::Test {
 protected:
  void SetUp() override { ResetContractMachine(); }
};

// A started program's exit code is read once the wait for it has returned
// (the 64-bit handover tells a run that ended abnormally by it); a program
// that is not there is not started. The program is the system's cmd.exe told
// to end with code 3; on the simulated machine a stand-in of it.
TEST_F(SystemContract, AStartedProgramsExitCodeIsReadAfterItsEnd) {
  char system[MAX_PATH] = {};
  ASSERT_GT(plat::GetSystemDirectoryA(system, MAX_PATH), 0u);
  std::string cmd = std::string(system) + "\\cmd.exe";
#ifdef USBINST_CONTRACT_SIM
  sim::SystemModel::Program standIn;
  standIn.run = [](const std::string& line) -> DWORD {
    size_t exit = line.find("/c exit ");
    return exit == std::string::npos ? 0 : DWORD(std::atoi(line.c_str() + exit + 8));
  };
  sim::CurrentMachine().system.InstallProgram(sim::CurrentMachine(), cmd, standIn);
#endif
  std::string line = "\"" + cmd + "\" /c exit 3";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(plat::CreateProcessA(cmd.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process));
  EXPECT_EQ(plat::WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
  DWORD exitCode = 99;
  EXPECT_TRUE(plat::GetExitCodeProcess(process.hProcess, &exitCode));
  EXPECT_EQ(exitCode, 3u);
  EXPECT_TRUE(plat::CloseHandle(process.hThread));
  EXPECT_TRUE(plat::CloseHandle(process.hProcess));

  std::string missing = ContractScratchFolder() + "missing.exe";
  std::string missingLine = "\"" + missing + "\"";
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::CreateProcessA(missing.c_str(), missingLine.data(), nullptr, nullptr, FALSE,
                                    0, nullptr, nullptr, &startup, &process));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(SystemContract, LastErrorIsWhatWasSet) {
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetLastError(), 0xdeadbeefu);
  plat::SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(plat::GetLastError(), 0u);
}

TEST_F(SystemContract, VersionQueryAcceptsOnlyTheTwoStructureSizes) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_EQ(sizeof(info), 148u);
  ASSERT_TRUE(plat::GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
  EXPECT_GE(info.dwMajorVersion, 4u);

  OSVERSIONINFOEXA ex{};
  ex.dwOSVersionInfoSize = sizeof(ex);
  ASSERT_EQ(sizeof(ex), 156u);
  ASSERT_TRUE(plat::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
  EXPECT_EQ(ex.dwMajorVersion, info.dwMajorVersion);
  EXPECT_EQ(ex.dwMinorVersion, info.dwMinorVersion);
  // The service pack number agrees with the text "Service Pack N".
  std::string text = ex.szCSDVersion;
  if (ex.wServicePackMajor > 0) {
    EXPECT_EQ(text, "Service Pack " + std::to_string(ex.wServicePackMajor));
  } else {
    EXPECT_EQ(text, "");
  }

  for (DWORD size : {0u, 147u, 149u, 155u, 157u, 300u}) {
    OSVERSIONINFOEXA odd{};
    odd.dwOSVersionInfoSize = size;
    plat::SetLastError(0xdeadbeef);
    EXPECT_FALSE(plat::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&odd))) << size;
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER)) << size;
  }
}

TEST_F(SystemContract, ThreadHasNoTokenAndProcessTokenListsAdministrators) {
  HANDLE token = nullptr;
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::OpenThreadToken(plat::GetCurrentThread(), TOKEN_QUERY, FALSE, &token));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_NO_TOKEN));

  ASSERT_TRUE(plat::OpenProcessToken(plat::GetCurrentProcess(), TOKEN_QUERY, &token));
  ASSERT_NE(token, nullptr);
  DWORD needed = 0;
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_GT(needed, DWORD(sizeof(TOKEN_GROUPS)));
  std::vector<BYTE> buffer(needed);
  DWORD written = 0;
  ASSERT_TRUE(plat::GetTokenInformation(token, TokenGroups, buffer.data(), needed, &written));

  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  ASSERT_TRUE(plat::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                             DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins));
  EXPECT_EQ(plat::GetLengthSid(admins), 16u);
  const BYTE* bytes = static_cast<const BYTE*>(admins);
  EXPECT_EQ(bytes[0], 1);  // revision
  EXPECT_EQ(bytes[1], 2);  // sub-authority count
  EXPECT_EQ(bytes[7], 5);  // NT authority
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  bool found = false;
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    plat::SetLastError(0xdeadbeef);
    if (plat::EqualSid(groups->Groups[i].Sid, admins)) found = true;
    // EqualSid clears the last error whatever it answers.
    EXPECT_EQ(plat::GetLastError(), 0u);
  }
  // Wine always puts Administrators in the token; the contract machine is an administrator.
  EXPECT_TRUE(found);
  EXPECT_EQ(plat::FreeSid(admins), nullptr);
  EXPECT_TRUE(plat::CloseHandle(token));
}

TEST_F(SystemContract, SidsCompareByContent) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID users = nullptr;
  PSID usersAgain = nullptr;
  PSID admins = nullptr;
  ASSERT_TRUE(plat::AllocateAndInitializeSid(&nt, 2, 32, 545, 0, 0, 0, 0, 0, 0, &users));
  ASSERT_TRUE(plat::AllocateAndInitializeSid(&nt, 2, 32, 545, 0, 0, 0, 0, 0, 0, &usersAgain));
  ASSERT_TRUE(plat::AllocateAndInitializeSid(&nt, 2, 32, 544, 0, 0, 0, 0, 0, 0, &admins));
  EXPECT_NE(users, usersAgain);
  EXPECT_TRUE(plat::EqualSid(users, usersAgain));
  EXPECT_FALSE(plat::EqualSid(users, admins));
  PSID tooMany = nullptr;
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::AllocateAndInitializeSid(&nt, 9, 1, 2, 3, 4, 5, 6, 7, 8, &tooMany));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_SID));
  EXPECT_EQ(plat::FreeSid(users), nullptr);
  EXPECT_EQ(plat::FreeSid(usersAgain), nullptr);
  EXPECT_EQ(plat::FreeSid(admins), nullptr);
}

TEST_F(SystemContract, NamedMutexTellsAnEarlierCreator) {
  const char name[] = "UsbInstContractMutex";
  plat::SetLastError(0xdeadbeef);
  HANDLE first = plat::CreateMutexA(nullptr, TRUE, name);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(plat::GetLastError(), 0u);
  plat::SetLastError(0xdeadbeef);
  HANDLE second = plat::CreateMutexA(nullptr, TRUE, name);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(plat::ReleaseMutex(first));
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::ReleaseMutex(second));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_NOT_OWNER));
  EXPECT_TRUE(plat::CloseHandle(second));
  EXPECT_TRUE(plat::CloseHandle(first));
  // With every handle closed the name is free again.
  plat::SetLastError(0xdeadbeef);
  HANDLE fresh = plat::CreateMutexA(nullptr, FALSE, name);
  EXPECT_EQ(plat::GetLastError(), 0u);
  EXPECT_TRUE(plat::CloseHandle(fresh));
}

TEST_F(SystemContract, CloseHandleRefusesAValueThatIsNoHandle) {
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::CloseHandle(reinterpret_cast<HANDLE>(uintptr_t{0x7654320})));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

// The program loads comctl32 from the system folder by full path and takes
// both initialisation functions from it by name.
TEST_F(SystemContract, CommonControlsLibraryExportsInitCommonControlsEx) {
  HMODULE comctl = plat::LoadSystemLibrary("comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  EXPECT_NE(plat::GetProcAddress(comctl, "InitCommonControls"), nullptr);
  FARPROC proc = plat::GetProcAddress(comctl, "InitCommonControlsEx");
  ASSERT_NE(proc, nullptr);
  auto init = reinterpret_cast<plat::InitCommonControlsExProc>(reinterpret_cast<void (*)()>(proc));
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_INTERNET_CLASSES};
  EXPECT_TRUE(init(&controls));
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetProcAddress(comctl, "NoSuchExportAnywhere"), nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  EXPECT_TRUE(plat::FreeLibrary(comctl));

  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::LoadLibraryA("usbinst_no_such_library.dll"), nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::LoadSystemLibrary("usbinst_no_such_library.dll"), nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

TEST_F(SystemContract, CommonControlsVersionIsReadable) {
  DWORD handle = 0xdeadbeef;
  DWORD size = plat::GetFileVersionInfoSizeA("COMCTL32.DLL", &handle);
  ASSERT_GT(size, 0u);
  EXPECT_EQ(handle, 0u);
  std::vector<BYTE> block(size + 100);
  ASSERT_TRUE(plat::GetFileVersionInfoA("COMCTL32.DLL", 0, DWORD(block.size()), block.data()));
  void* fixed = nullptr;
  UINT length = 0;
  char root[] = "\\";
  ASSERT_TRUE(plat::VerQueryValueA(block.data(), root, &fixed, &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  EXPECT_EQ(info->dwSignature, DWORD(VS_FFI_SIGNATURE));
  EXPECT_GE(HIWORD(info->dwFileVersionMS), 4);
  EXPECT_GE(static_cast<const BYTE*>(fixed), block.data());
  EXPECT_LE(static_cast<const BYTE*>(fixed) + length, block.data() + size);

  std::string missing = ContractScratchFolder() + "missing.dll";
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetFileVersionInfoSizeA(missing.c_str(), &handle), 0u);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(SystemContract, MemoryBlocksComeZeroedAndGoBack) {
  auto* local = static_cast<BYTE*>(plat::LocalAlloc(LPTR, 64));
  ASSERT_NE(local, nullptr);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(local[i], 0) << i;
  EXPECT_EQ(plat::LocalFree(local), nullptr);
  auto* heap = static_cast<BYTE*>(plat::HeapAlloc(plat::GetProcessHeap(), HEAP_ZERO_MEMORY, 32));
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(heap[31], 0);
  EXPECT_TRUE(plat::HeapFree(plat::GetProcessHeap(), 0, heap));
}

TEST_F(SystemContract, SystemMessagesAreAllocatedAndUnknownCodesFail) {
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                      FORMAT_MESSAGE_IGNORE_INSERTS;
  for (DWORD code : {2u, 3u, 5u, 6u, 8u, 32u, 87u, 122u, 183u, 234u, 259u, 1060u, 1072u}) {
    char* text = nullptr;
    DWORD length = plat::FormatMessageA(flags, nullptr, code, 0x400,
                                        reinterpret_cast<LPSTR>(&text), 0, nullptr);
    ASSERT_GT(length, 2u) << code;
    ASSERT_NE(text, nullptr) << code;
    EXPECT_EQ(std::strlen(text), size_t(length)) << code;
    EXPECT_STREQ(text + length - 2, "\r\n") << code;
    EXPECT_EQ(plat::LocalFree(text), nullptr);
  }
  char* text = reinterpret_cast<char*>(uintptr_t{0x1234});
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::FormatMessageA(flags, nullptr, 0x2000FFFF, 0x400, reinterpret_cast<LPSTR>(&text),
                                 0, nullptr),
            0u);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_MR_MID_NOT_FOUND));
  EXPECT_EQ(text, nullptr);
}

// The Windows SDK's winerror.h gives the Setup API's message texts under
// their HRESULT codes (SPAPI_E_NO_SUCH_DEVINST 0x800F020B, "The device
// instance does not exist in the hardware tree."), the form the SDK's
// HRESULT_FROM_SETUPAPI makes of the 0xE0000xxx code a Setup API function
// sets; Windows' message table has no text under the raw code.
TEST_F(SystemContract, SetupApiTextsAreUnderTheirHresultCodes) {
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                      FORMAT_MESSAGE_IGNORE_INSERTS;
  auto text = [&](DWORD code, DWORD* error) {
    char* buffer = nullptr;
    plat::SetLastError(0xdeadbeef);
    DWORD length = plat::FormatMessageA(flags, nullptr, code, 0x400,
                                        reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    *error = plat::GetLastError();
    std::string result = length != 0 && buffer != nullptr ? buffer : "";
    if (buffer != nullptr) plat::LocalFree(buffer);
    return result;
  };
  DWORD error = 0;
  EXPECT_EQ(text(0x800F020B, &error),
            SimElseWine<std::string>(
                "The device instance does not exist in the hardware tree.\r\n", ""));
  EXPECT_EQ(error, SimElseWine<DWORD>(0xdeadbeef, ERROR_MR_MID_NOT_FOUND));
  EXPECT_EQ(text(0xE000020B, &error), "");
  EXPECT_EQ(error, DWORD(ERROR_MR_MID_NOT_FOUND));
}

TEST_F(SystemContract, LstrRoutines) {
  EXPECT_EQ(plat::lstrlenA(nullptr), 0);
  EXPECT_EQ(plat::lstrlenA("KV6bus.inf"), 10);
  EXPECT_EQ(plat::lstrcmpiA("KV6BUS.INF", "kv6bus.inf"), 0);
  EXPECT_LT(plat::lstrcmpiA("oem1.inf", "OEM2.INF"), 0);
  EXPECT_GT(plat::lstrcmpiA("oem10.inf", "oem1.inf"), 0);
  EXPECT_EQ(plat::lstrcmpA("Modem", "Modem"), 0);
  EXPECT_NE(plat::lstrcmpA("Modem", "MODEM"), 0);
  // Windows puts the lower-case letter first.
  EXPECT_LT(plat::lstrcmpA("a", "A"), 0);
  EXPECT_LT(plat::lstrcmpA("abc", "abd"), 0);
  EXPECT_LT(plat::lstrcmpA("ab", "abc"), 0);
}

int Format(char* output, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int length = plat::wvsprintfA(output, format, args);
  va_end(args);
  return length;
}

TEST_F(SystemContract, WsprintfDirectives) {
  char out[64];
  EXPECT_EQ(plat::wsprintfA(out, "Ver. %d.%d.%d", 6, 0, 12), 11);
  EXPECT_STREQ(out, "Ver. 6.0.12");
  Format(out, "[%5d|%-5d|%05d|%05d]", 42, 42, 42, -42);
  EXPECT_STREQ(out, "[   42|42   |00042|-0042]");
  Format(out, "%u %x %X %#x %lu %ld", 4294967295u, 0xbeefu, 0xbeefu, 0x1fu, ULONG(7), LONG(-7));
  EXPECT_STREQ(out, "4294967295 beef BEEF 0x1f 7 -7");
  Format(out, "%s|%.3s|%6s|%-6s|%c|%%|%q", "COM3", "KV6bus", "ab", "ab", 'Z');
  EXPECT_STREQ(out, "COM3|KV6|    ab|ab    |Z|%|q");
}

TEST_F(SystemContract, WsprintfWritesAtMost1024Characters) {
  std::string longText(3000, 'x');
  std::vector<char> out(4096, '#');
  int length = plat::wsprintfA(out.data(), "%s", longText.c_str());
  // 1023 characters and the terminator: nothing lands past a 1024-byte buffer.
  EXPECT_EQ(std::strlen(out.data()), size_t(1023));
  EXPECT_EQ(out[1024], '#');
  // Microsoft (wsprintfA): the buffer holds at most 1,024 bytes, and the
  // result is the number of characters stored, without the terminator: 1023.
  // Wine 8 returns 1024 for a cut output. Callers take the length with
  // lstrlenA.
  EXPECT_EQ(length, SimElseWine(1023, 1024));
}

TEST_F(SystemContract, LoadStringCutsAtTheBufferAndReportsMissingIds) {
  char text[64];
  if (plat::LoadStringA(nullptr, 100, text, sizeof(text)) == 0) {
    GTEST_SKIP() << "this executable carries no string table";
  }
  EXPECT_STREQ(text, "ORVEX 3G/GSM USB Driver Installer");
  std::memset(text, 'x', sizeof(text));
  // The 17-character fields of the application state keep 16 characters.
  EXPECT_EQ(plat::LoadStringA(nullptr, 102, text, 17), 16);
  EXPECT_STREQ(text, "USBDriverInstall");
  EXPECT_EQ(text[17], 'x');
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::LoadStringA(nullptr, 40000, text, sizeof(text)), 0);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
}

}  // namespace
