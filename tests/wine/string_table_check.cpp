// Reads the resources back out of the built usbinst.exe (found beside this
// program) and compares them with their sources: every string-table entry
// with the catalogue in string_table.inc, the version information with
// version.h, and the manifest's requests.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "resources/resource.h"
#include "resources/string_table.h"
#include "resources/version.h"

namespace {

std::string InstallerPath() {
  char path[MAX_PATH + 1] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  folder.erase(folder.find_last_of('\\') + 1);
  return folder + "usbinst.exe";
}

// The catalogue's UTF-8 text as UTF-16; a text that is not valid UTF-8
// comes back as "<invalid UTF-8>" so that it cannot match the resource.
std::wstring Utf16(const char* utf8) {
  int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
  if (length <= 0) return L"<invalid UTF-8>";
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide.data(), length);
  wide.resize(static_cast<size_t>(length) - 1);
  return wide;
}

// The same text in the ANSI code page, as LoadStringA must deliver it.
std::string Ansi(const std::wstring& wide) {
  int length = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                     nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                        length, nullptr, nullptr);
  return text;
}

// The resource's text, whole: with a zero capacity LoadStringW hands out a
// pointer into the resource itself and the text's length.
std::wstring ResourceText(HMODULE module, UINT id) {
  const wchar_t* text = nullptr;
  int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return std::wstring();
  return std::wstring(text, static_cast<size_t>(length));
}

std::string Hex(const std::wstring& text) {
  std::string out;
  char unit[8];
  for (wchar_t c : text) {
    snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
    out += unit;
  }
  return out;
}

class InstallerResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryExA(InstallerPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module_) << InstallerPath() << ": error " << ::GetLastError();
    entries_ = StringTableEntries(&count_);
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }

  HMODULE module_ = nullptr;
  const StringTableEntry* entries_ = nullptr;
  int count_ = 0;
};

TEST_F(InstallerResources, EveryStringMatchesTheCatalogueInUtf16) {
  ASSERT_GT(count_, 100);
  for (int i = 0; i < count_; ++i) {
    std::wstring expected = Utf16(entries_[i].utf8);
    std::wstring actual = ResourceText(module_, static_cast<UINT>(entries_[i].id));
    EXPECT_EQ(Hex(expected), Hex(actual)) << "string " << entries_[i].id;
  }
}

// Every string in the resource is one of the catalogue's: no stray or
// doubled ids. String blocks hold 16 ids each; block n holds (n-1)*16 on.
BOOL CALLBACK CollectBlock(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR blocks) {
  reinterpret_cast<std::set<UINT>*>(blocks)->insert(static_cast<UINT>(
      reinterpret_cast<ULONG_PTR>(name)));
  return TRUE;
}

TEST_F(InstallerResources, HoldsNoStringOutsideTheCatalogue) {
  std::set<UINT> blocks;
  ASSERT_TRUE(::EnumResourceNamesW(module_, MAKEINTRESOURCEW(6), CollectBlock,
                                   reinterpret_cast<LONG_PTR>(&blocks)));
  std::set<UINT> catalogue;
  for (int i = 0; i < count_; ++i) {
    EXPECT_TRUE(catalogue.insert(static_cast<UINT>(entries_[i].id)).second)
        << "id " << entries_[i].id << " twice in the catalogue";
  }
  size_t found = 0;
  for (UINT block : blocks) {
    for (UINT id = (block - 1) * 16; id < block * 16; ++id) {
      if (ResourceText(module_, id).empty()) continue;
      ++found;
      EXPECT_TRUE(catalogue.count(id)) << "string " << id << " is not in the catalogue";
    }
  }
  EXPECT_EQ(catalogue.size(), found);
}

TEST_F(InstallerResources, StringTableIsHungarian) {
  const WORD hungarian = MAKELANGID(LANG_HUNGARIAN, SUBLANG_DEFAULT);
  EXPECT_NE(nullptr, ::FindResourceExW(module_, MAKEINTRESOURCEW(6),
                                       MAKEINTRESOURCEW(IDS_APP_TITLE / 16 + 1), hungarian));
  EXPECT_NE(nullptr, ::FindResourceExW(module_, MAKEINTRESOURCEW(6),
                                       MAKEINTRESOURCEW(IDS_PREPARE_FAILED / 16 + 1), hungarian));
}

// Under a Hungarian locale the ANSI code page is 1250 and LoadStringA keeps
// the Hungarian letters: ő is 0xF5 and ű 0xFB there (code page 1252 has
// neither and would give o and u).
TEST_F(InstallerResources, AnsiStringsAreInCodePage1250) {
  ASSERT_EQ(1250u, ::GetACP()) << "run with LANG=hu_HU.UTF-8 (locale-gen hu_HU.UTF-8)";
  char buffer[4096];
  for (int i = 0; i < count_; ++i) {
    int length = ::LoadStringA(module_, static_cast<UINT>(entries_[i].id), buffer, sizeof buffer);
    EXPECT_EQ(Ansi(Utf16(entries_[i].utf8)), std::string(buffer, length > 0 ? length : 0))
        << "string " << entries_[i].id;
  }
  int length = ::LoadStringA(module_, IDS_SIGNING_NOTICE, buffer, sizeof buffer);
  EXPECT_NE(std::string::npos, std::string(buffer, length).find("El\xF5" "fordulhat"));
  length = ::LoadStringA(module_, IDS_WIZARD_XPSP2_NEXT, buffer, sizeof buffer);
  EXPECT_NE(std::string::npos, std::string(buffer, length).find("felt\xFBnhet"));
}

// A buffer too small for the text gets its start and a terminator.
TEST_F(InstallerResources, AnsiStringIsCutToTheBuffer) {
  char buffer[6];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(4, ::LoadStringA(module_, IDS_APP_TITLE, buffer, 5));
  EXPECT_STREQ("ORVE", buffer);
  EXPECT_EQ('x', buffer[5]);
}

TEST(InstallerVersion, MatchesVersionHeader) {
  std::string path = InstallerPath();
  DWORD handle = 0;
  DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0u) << "error " << ::GetLastError();
  std::string block(size, '\0');
  ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
  EXPECT_EQ(static_cast<DWORD>(MAKELONG(USBINST_VERSION_MINOR, USBINST_VERSION_MAJOR)),
            fixed->dwFileVersionMS);
  EXPECT_EQ(static_cast<DWORD>(MAKELONG(USBINST_VERSION_REVISION, USBINST_VERSION_BUILD)),
            fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
  EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

  char* text = nullptr;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\StringFileInfo\\040E04E2\\FileVersion",
                               reinterpret_cast<LPVOID*>(&text), &length));
  EXPECT_STREQ(USBINST_VERSION_TEXT, text);
}

TEST_F(InstallerResources, ManifestAsksForCommonControls6HighestAvailableAndTheRealVersion) {
  HRSRC found = ::FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(nullptr, found);
  HGLOBAL loaded = ::LoadResource(module_, found);
  ASSERT_NE(nullptr, loaded);
  const char* data = static_cast<const char*>(::LockResource(loaded));
  std::string manifest(data, ::SizeofResource(module_, found));
  EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" "
                                             "version=\"6.0.0.0\""));
  EXPECT_NE(std::string::npos, manifest.find("<requestedExecutionLevel level=\"highestAvailable\" "
                                             "uiAccess=\"false\"/>"));
  // Windows 8.1 and 10 (and 11, which shares 10's entry) report their own
  // version only to a program that names them.
  EXPECT_NE(std::string::npos, manifest.find("<compatibility xmlns=\"urn:schemas-microsoft-com:"
                                             "compatibility.v1\">"));
  for (const char* id : {"{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                         "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(std::string::npos, manifest.find(std::string("<supportedOS Id=\"") + id + "\"/>"))
        << id;
  }
}

}  // namespace
