// The simulated machine's version images, tokens, modules, memory and the
// failure switch on the process-wide operations.
#include "platform/sim/system_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/machine.h"

namespace sim {
namespace {

Machine& MachineWith(WindowsVersion version, bool administrator = true) {
  MachineOptions options;
  options.version = version;
  options.administrator = administrator;
  return ResetMachine(options);
}

struct ExpectedVersion {
  WindowsVersion version;
  DWORD major, minor, build, platform;
  const char* servicePack;
  WORD servicePackMajor;
};

TEST(VersionImages, EachImageReportsItsNumbersAndServicePack) {
  const ExpectedVersion cases[] = {
      {WindowsVersion::Windows95, 4, 0, 0x040003B6, 1, "", 0},
      {WindowsVersion::Windows98, 4, 10, 0x040A07CE, 1, "", 0},
      {WindowsVersion::WindowsMe, 4, 90, 0x045A0BB8, 1, "", 0},
      {WindowsVersion::WindowsNT4, 4, 0, 1381, 2, "Service Pack 6", 6},
      {WindowsVersion::Windows2000, 5, 0, 2195, 2, "Service Pack 4", 4},
      {WindowsVersion::WindowsXPSP1, 5, 1, 2600, 2, "Service Pack 1", 1},
      {WindowsVersion::WindowsXPSP2, 5, 1, 2600, 2, "Service Pack 2", 2},
      {WindowsVersion::WindowsXPSP3, 5, 1, 2600, 2, "Service Pack 3", 3},
      {WindowsVersion::WindowsVista, 6, 0, 6002, 2, "Service Pack 2", 2},
      {WindowsVersion::Windows7, 6, 1, 7601, 2, "Service Pack 1", 1},
  };
  for (const ExpectedVersion& c : cases) {
    MachineWith(c.version);
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(plat::GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, c.major);
    EXPECT_EQ(info.dwMinorVersion, c.minor);
    EXPECT_EQ(info.dwBuildNumber, c.build);
    EXPECT_EQ(info.dwPlatformId, c.platform);
    EXPECT_STREQ(info.szCSDVersion, c.servicePack);

    OSVERSIONINFOEXA ex{};
    ex.dwOSVersionInfoSize = sizeof(ex);
    ex.wServicePackMajor = 0xBEEF;
    plat::SetLastError(0xdeadbeef);
    BOOL ok = plat::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex));
    if (IsNtFamily(c.version)) {
      ASSERT_TRUE(ok);
      EXPECT_EQ(ex.wServicePackMajor, c.servicePackMajor);
      EXPECT_EQ(ex.wServicePackMinor, 0);
      EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
    } else {
      // Windows 95/98/Me do not know the extended structure.
      EXPECT_FALSE(ok);
      EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
      EXPECT_EQ(ex.wServicePackMajor, 0xBEEF);
    }
  }
}

TEST(VersionImages, ComCtl32VersionFollowsTheImage) {
  struct Case {
    WindowsVersion version;
    DWORD ms;
  } cases[] = {{WindowsVersion::Windows95, 0x40048}, {WindowsVersion::WindowsMe, 0x40048},
               {WindowsVersion::WindowsNT4, 0x40046}, {WindowsVersion::Windows2000, 0x50051},
               {WindowsVersion::WindowsXPSP2, 0x50052}, {WindowsVersion::Windows7, 0x50052}};
  for (const Case& c : cases) {
    MachineWith(c.version);
    char path[MAX_PATH + 1];
    plat::GetSystemDirectoryA(path, MAX_PATH);
    std::strcat(path, "\\comctl32.dll");
    DWORD size = plat::GetFileVersionInfoSizeA(path, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(plat::GetFileVersionInfoA("COMCTL32.DLL", 0, size, block.data()));
    void* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(plat::VerQueryValueA(block.data(), "\\", &fixed, &length));
    EXPECT_EQ(static_cast<VS_FIXEDFILEINFO*>(fixed)->dwFileVersionMS, c.ms);
  }
}

TEST(FileVersions, ProgramFileHasTheBuildNumbersAndTestsCanRemoveThem) {
  Machine& machine = ResetMachine();
  const char* program = machine.options().programPath.c_str();
  BYTE block[256];
  DWORD size = plat::GetFileVersionInfoSizeA(program, nullptr);
  ASSERT_GT(size, 0u);
  ASSERT_LE(size, sizeof(block));
  ASSERT_TRUE(plat::GetFileVersionInfoA(program, 0, size, block));
  void* fixed = nullptr;
  ASSERT_TRUE(plat::VerQueryValueA(block, "\\", &fixed, nullptr));
  const auto* info = static_cast<VS_FIXEDFILEINFO*>(fixed);
  EXPECT_EQ(info->dwSignature, DWORD(VS_FFI_SIGNATURE));
  EXPECT_EQ(info->dwFileVersionMS, 0x60000u);
  EXPECT_EQ(info->dwFileVersionLS, 0xC0000u);

  // A buffer too small gets the beginning only; the fixed part is then absent.
  std::memset(block, 0xCC, sizeof(block));
  ASSERT_TRUE(plat::GetFileVersionInfoA(program, 0, 20, block));
  EXPECT_EQ(block[20], 0xCC);
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::VerQueryValueA(block, "\\", &fixed, nullptr));

  // A COMCTL32.DLL outside the system folder is not the system's library.
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetFileVersionInfoSizeA("D:\\COMCTL32.DLL", nullptr), 0u);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  machine.system.RemoveVersionInfo("COMCTL32.DLL");
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetFileVersionInfoSizeA("COMCTL32.DLL", nullptr), 0u);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetFileVersionInfoSizeA("C:\\NOWHERE\\NONE.DLL", nullptr), 0u);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  // A file that exists but is no program has no version resource.
  machine.files.WriteFile("C:\\TEMP\\readme.txt", "text");
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetFileVersionInfoSizeA("C:\\TEMP\\readme.txt", nullptr), 0u);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

// Reads the token's groups and tells whether Administrators is among them.
bool TokenHasAdministrators(DWORD* attributes) {
  HANDLE token = nullptr;
  if (!plat::OpenProcessToken(plat::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD needed = 0;
  plat::GetTokenInformation(token, TokenGroups, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  bool found = false;
  if (plat::GetTokenInformation(token, TokenGroups, buffer.data(), needed, &needed)) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    plat::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                   0, 0, 0, 0, 0, 0, &admins);
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
      if (plat::EqualSid(groups->Groups[i].Sid, admins)) {
        found = true;
        *attributes = groups->Groups[i].Attributes;
      }
    }
    plat::FreeSid(admins);
  }
  plat::CloseHandle(token);
  return found;
}

TEST(Tokens, AdministratorsGroupFollowsTheMachineOptions) {
  DWORD attributes = 0;
  MachineWith(WindowsVersion::WindowsXPSP2, true);
  EXPECT_TRUE(TokenHasAdministrators(&attributes));
  EXPECT_TRUE(attributes & SE_GROUP_ENABLED);
  EXPECT_EQ(CurrentMachine().handles.OpenCount(), 0u) << CurrentMachine().handles.Describe();

  MachineWith(WindowsVersion::Windows2000, false);
  EXPECT_FALSE(TokenHasAdministrators(&attributes));

  Machine& vista = MachineWith(WindowsVersion::WindowsVista, true);
  vista.system.administratorsDenyOnly = true;
  EXPECT_TRUE(TokenHasAdministrators(&attributes));
  EXPECT_EQ(attributes, DWORD(SE_GROUP_USE_FOR_DENY_ONLY));
}

TEST(Tokens, Windows9xHasNoTokens) {
  for (WindowsVersion version :
       {WindowsVersion::Windows95, WindowsVersion::Windows98, WindowsVersion::WindowsMe}) {
    MachineWith(version);
    HANDLE token = reinterpret_cast<HANDLE>(uintptr_t{0x1234});
    plat::SetLastError(0xdeadbeef);
    EXPECT_FALSE(plat::OpenThreadToken(plat::GetCurrentThread(), TOKEN_QUERY, FALSE, &token));
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    plat::SetLastError(0xdeadbeef);
    EXPECT_FALSE(plat::OpenProcessToken(plat::GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(CurrentMachine().handles.OpenCount(), 0u);
  }
}

TEST(Tokens, TokenGroupsLayOutRealSids) {
  ResetMachine();
  HANDLE token = nullptr;
  ASSERT_TRUE(plat::OpenProcessToken(plat::GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD needed = 0;
  ASSERT_FALSE(plat::GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
  std::vector<BYTE> buffer(needed + 16, 0xCC);
  // One byte short is still too small, and nothing is written.
  DWORD again = 0;
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::GetTokenInformation(token, TokenGroups, buffer.data(), needed - 1, &again));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(again, needed);
  EXPECT_EQ(buffer[0], 0xCC);
  ASSERT_TRUE(plat::GetTokenInformation(token, TokenGroups, buffer.data(), needed, &again));
  EXPECT_EQ(buffer[needed], 0xCC);
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  ASSERT_EQ(groups->GroupCount, 5u);
  const BYTE* everyone = static_cast<const BYTE*>(groups->Groups[0].Sid);
  const BYTE expected[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};  // S-1-1-0
  EXPECT_EQ(std::memcmp(everyone, expected, sizeof(expected)), 0);
  EXPECT_EQ(plat::GetLengthSid(groups->Groups[1].Sid), 16u);  // S-1-5-32-544
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    const BYTE* sid = static_cast<const BYTE*>(groups->Groups[i].Sid);
    EXPECT_GE(sid, buffer.data());
    EXPECT_LE(sid + plat::GetLengthSid(groups->Groups[i].Sid), buffer.data() + needed);
  }
  EXPECT_TRUE(plat::CloseHandle(token));
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::CloseHandle(token));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST(FailureSwitch, TokenAndSidOperationsFailWithTheChosenError) {
  Machine& machine = ResetMachine();
  DWORD attributes = 0;
  const char* operations[] = {"OpenProcessToken", "GetTokenInformation",
                              "AllocateAndInitializeSid"};
  for (const char* operation : operations) {
    machine.faults.FailOn(operation, 1, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(TokenHasAdministrators(&attributes)) << operation;
    EXPECT_EQ(machine.handles.OpenCount(), 0u) << operation << ": " << machine.handles.Describe();
  }
  machine.faults.FailOn("GetVersionExA", 1, ERROR_ACCESS_DENIED);
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  EXPECT_FALSE(plat::GetVersionExA(&info));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  machine.faults.FailOn("LoadStringA", 1, ERROR_NOT_ENOUGH_MEMORY);
  char text[8] = "x";
  EXPECT_EQ(plat::LoadStringA(nullptr, 100, text, sizeof(text)), 0);
  EXPECT_STREQ(text, "");
}

TEST(Handles, MemorySidsModulesAndMutexesAreCountedUntilReleased) {
  Machine& machine = ResetMachine();
  HLOCAL local = plat::LocalAlloc(LPTR, 100);
  LPVOID heap = plat::HeapAlloc(plat::GetProcessHeap(), 0, 10);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID sid = nullptr;
  ASSERT_TRUE(plat::AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &sid));
  HMODULE comctl = plat::LoadLibraryA("comctl32");
  HMODULE again = plat::LoadLibraryA("COMCTL32.DLL");
  EXPECT_EQ(comctl, again);
  HANDLE mutex = plat::CreateMutexA(nullptr, TRUE, "Counted");
  EXPECT_EQ(machine.handles.Describe(),
            "HeapMemory: 1, LocalMemory: 1, Module: 1, Mutex: 1, Sid: 1");
  EXPECT_EQ(machine.system.LoadCount("COMCTL32.DLL"), 2);

  EXPECT_EQ(plat::LocalFree(local), nullptr);
  EXPECT_EQ(plat::LocalFree(local), local);  // a second free is refused
  EXPECT_TRUE(plat::HeapFree(plat::GetProcessHeap(), 0, heap));
  EXPECT_EQ(plat::FreeSid(sid), nullptr);
  EXPECT_TRUE(plat::FreeLibrary(comctl));
  EXPECT_EQ(machine.handles.OpenCount(sim::HandleKind::Module), 1u);
  EXPECT_TRUE(plat::FreeLibrary(again));
  EXPECT_FALSE(plat::FreeLibrary(again));
  EXPECT_TRUE(plat::ReleaseMutex(mutex));
  EXPECT_TRUE(plat::CloseHandle(mutex));
  EXPECT_FALSE(machine.system.MutexExists("Counted"));
  EXPECT_EQ(machine.handles.OpenCount(), 0u) << machine.handles.Describe();
}

TEST(Mutexes, AnEarlierInstanceMakesTheNameExist) {
  Machine& machine = ResetMachine();
  machine.system.PretendOtherInstanceHoldsMutex("USBDriverInstall");
  plat::SetLastError(0xdeadbeef);
  HANDLE mutex = plat::CreateMutexA(nullptr, TRUE, "USBDriverInstall");
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  // The other instance owns it, so this one cannot release it.
  plat::SetLastError(0xdeadbeef);
  EXPECT_FALSE(plat::ReleaseMutex(mutex));
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_NOT_OWNER));
  EXPECT_TRUE(plat::CloseHandle(mutex));
  EXPECT_TRUE(machine.system.MutexExists("USBDriverInstall"));
  // Names are compared with case.
  plat::SetLastError(0xdeadbeef);
  mutex = plat::CreateMutexA(nullptr, TRUE, "usbdriverinstall");
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_SUCCESS));
  plat::CloseHandle(mutex);
}

TEST(Handles, CloseHandleClosesFileHandles) {
  Machine& machine = ResetMachine();
  machine.files.WriteFile("C:\\TEMP\\data.bin", "abc");
  HANDLE file = plat::CreateFileA("C:\\TEMP\\data.bin", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(machine.handles.OpenCount(sim::HandleKind::File), 1u);
  EXPECT_TRUE(plat::CloseHandle(file));
  EXPECT_EQ(machine.handles.OpenCount(), 0u) << machine.handles.Describe();
  EXPECT_FALSE(plat::CloseHandle(file));
}

TEST(CommonControls, CallsThroughGetProcAddressAreRecorded) {
  Machine& machine = ResetMachine();
  HMODULE comctl = plat::LoadLibraryA("COMCTL32.DLL");
  auto init = reinterpret_cast<plat::InitCommonControlsExProc>(
      reinterpret_cast<void (*)()>(plat::GetProcAddress(comctl, "InitCommonControlsEx")));
  ASSERT_NE(init, nullptr);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_INTERNET_CLASSES};
  EXPECT_TRUE(init(&controls));
  INITCOMMONCONTROLSEX wrongSize{4, ICC_INTERNET_CLASSES};
  EXPECT_FALSE(init(&wrongSize));
  ASSERT_EQ(machine.system.initCommonControlsExCalls.size(), 2u);
  EXPECT_EQ(machine.system.initCommonControlsExCalls[0].dwICC, DWORD(ICC_INTERNET_CLASSES));
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetProcAddress(comctl, MAKEINTRESOURCEA(17)), nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  plat::FreeLibrary(comctl);
  plat::SetLastError(0xdeadbeef);
  EXPECT_EQ(plat::GetProcAddress(comctl, "InitCommonControlsEx"), nullptr);
  EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

}  // namespace
}  // namespace sim
