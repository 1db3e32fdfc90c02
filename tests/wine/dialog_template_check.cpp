// Reads the wizard's dialog templates and icon back out of the built
// usbinst.exe and compares them, control by control, with the list in
// wizard_dialogs.inc that the simulated machine's dialog manager builds its
// dialogs from: what windres made of the list is what the tests ran against.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

struct Control {
  int id;
  std::wstring className;
  std::wstring text;  // "#108" for a resource ordinal
  DWORD style;
  short x, y, cx, cy;
};

struct Template {
  DWORD style;
  std::wstring caption;
  WORD points;
  std::wstring font;
  short cx, cy;
  std::vector<Control> controls;
};

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::wstring Wide(const char* text) { return std::wstring(text, text + strlen(text)); }

// Reads a DIALOG (not DIALOGEX) template.
class Reader {
 public:
  explicit Reader(const BYTE* data) : p_(reinterpret_cast<const WORD*>(data)), start_(data) {}
  WORD Word() { return *p_++; }
  DWORD Dword() {
    DWORD low = Word();
    return low | static_cast<DWORD>(Word()) << 16;
  }
  // A string, or 0xFFFF and an ordinal; the predefined classes by name.
  std::wstring StringOrOrdinal() {
    if (*p_ == 0xFFFF) {
      ++p_;
      WORD ordinal = Word();
      if (ordinal == 0x80) return L"button";
      if (ordinal == 0x82) return L"static";
      return L"#" + std::to_wstring(ordinal);
    }
    std::wstring text;
    while (*p_ != 0) text += static_cast<wchar_t>(Word());
    ++p_;
    return text;
  }
  void AlignDword() {
    while ((reinterpret_cast<const BYTE*>(p_) - start_) % 4 != 0) ++p_;
  }

 private:
  const WORD* p_;
  const BYTE* start_;
};

Template Read(const BYTE* data) {
  Reader in(data);
  Template t{};
  t.style = in.Dword();
  in.Dword();  // extended style
  WORD count = in.Word();
  in.Word();
  in.Word();  // x, y
  t.cx = static_cast<short>(in.Word());
  t.cy = static_cast<short>(in.Word());
  in.StringOrOrdinal();  // menu
  in.StringOrOrdinal();  // class
  t.caption = in.StringOrOrdinal();
  if (t.style & DS_SETFONT) {
    t.points = in.Word();
    t.font = in.StringOrOrdinal();
  }
  for (WORD i = 0; i < count; ++i) {
    in.AlignDword();
    Control c{};
    c.style = in.Dword();
    in.Dword();
    c.x = static_cast<short>(in.Word());
    c.y = static_cast<short>(in.Word());
    c.cx = static_cast<short>(in.Word());
    c.cy = static_cast<short>(in.Word());
    c.id = static_cast<short>(in.Word());
    c.className = Lower(in.StringOrOrdinal());
    c.text = in.StringOrOrdinal();
    WORD extra = in.Word();
    for (WORD skip = 0; skip < extra; skip += 2) in.Word();
    t.controls.push_back(c);
  }
  return t;
}

std::vector<Control> Expected(bool ntTemplate) {
  std::vector<Control> controls;
#define WIZARD_TEXT(literal) Wide(literal)
#define WIZARD_ICON(resource) (L"#" + std::to_wstring(resource))
#define WIZARD_CONTROL(id, cls, content, style, x1, y1, w1, h1, x2, y2, w2, h2)                 \
  controls.push_back(ntTemplate ? Control{id, Wide(cls), content, static_cast<DWORD>(style), x2, \
                                          y2, w2, h2}                                           \
                                : Control{id, Wide(cls), content, static_cast<DWORD>(style), x1, \
                                          y1, w1, h1});
#include "resources/wizard_dialogs.inc"
#undef WIZARD_CONTROL
#undef WIZARD_ICON
#undef WIZARD_TEXT
  return controls;
}

class WizardResources : public ::testing::Test {
 protected:
  void SetUp() override {
    char path[MAX_PATH + 1] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string installer(path, length);
    installer.erase(installer.find_last_of('\\') + 1);
    installer += "usbinst.exe";
    module_ = ::LoadLibraryExA(installer.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module_) << installer << ": error " << ::GetLastError();
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }
  const BYTE* Resource(int id, LPCWSTR type) {
    HRSRC found = ::FindResourceExW(module_, type, MAKEINTRESOURCEW(id),
                                    MAKELANGID(LANG_HUNGARIAN, SUBLANG_DEFAULT));
    if (!found) return nullptr;
    return static_cast<const BYTE*>(::LockResource(::LoadResource(module_, found)));
  }
  HMODULE module_ = nullptr;
};

TEST_F(WizardResources, TemplatesMatchTheSharedControlList) {
  struct Case {
    int id;
    short cx, cy;
  };
  for (Case c : {Case{IDD_WIZARD_LEGACY, WIZARD_LEGACY_WIDTH, WIZARD_LEGACY_HEIGHT},
                 Case{IDD_WIZARD_NT, WIZARD_NT_WIDTH, WIZARD_NT_HEIGHT}}) {
    const BYTE* data = Resource(c.id, MAKEINTRESOURCEW(5));  // RT_DIALOG, Hungarian
    ASSERT_NE(nullptr, data) << "dialog " << c.id;
    Template t = Read(data);
    EXPECT_EQ(static_cast<DWORD>(WIZARD_DIALOG_STYLE), t.style);
    EXPECT_EQ(Wide(WIZARD_DIALOG_CAPTION), t.caption);
    EXPECT_EQ(WIZARD_FONT_POINTS, t.points);
    EXPECT_EQ(Wide(WIZARD_FONT_NAME), t.font);
    EXPECT_EQ(c.cx, t.cx);
    EXPECT_EQ(c.cy, t.cy);
    std::vector<Control> expected = Expected(c.id == IDD_WIZARD_NT);
    ASSERT_EQ(expected.size(), t.controls.size()) << "dialog " << c.id;
    for (size_t i = 0; i < expected.size(); ++i) {
      const Control& e = expected[i];
      const Control& a = t.controls[i];
      EXPECT_EQ(e.id, a.id) << "dialog " << c.id << " control " << i;
      EXPECT_EQ(Lower(e.className), a.className) << e.id;
      EXPECT_EQ(e.text, a.text) << e.id;
      EXPECT_EQ(e.style, a.style) << e.id;
      EXPECT_EQ(e.x, a.x) << e.id;
      EXPECT_EQ(e.y, a.y) << e.id;
      EXPECT_EQ(e.cx, a.cx) << e.id;
      EXPECT_EQ(e.cy, a.cy) << e.id;
    }
  }
}

TEST_F(WizardResources, PhoneIconIsThere) {
  EXPECT_NE(nullptr, Resource(IDI_PHONE, MAKEINTRESOURCEW(14)));  // RT_GROUP_ICON
}

}  // namespace
