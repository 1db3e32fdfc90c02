// Drives the installer's windows under Wine as a user would, one command after
// another, and prints what it sees (texts converted to UTF-8):
//
//   dialog_driver.exe COMMAND...
//     wait-wizard SECONDS          waits until the wizard is shown
//     state                        prints the wizard's texts, buttons and progress
//     expect CHECK...              checks the wizard; CHECK is progress=N,
//                                  next=on|off, cancel=on|off, default=next|cancel,
//                                  template=101|102, text=WORDS (a part of the
//                                  instructions, UTF-8)
//     press next|cancel            presses a button, only when it is enabled
//     close                        sends WM_CLOSE to the wizard
//     answer-box SECONDS ok|cancel [text=WORDS]
//                                  waits for a message box, prints it, presses the
//                                  button; with text= its text must begin so (UTF-8)
//     no-box SECONDS               fails when a message box appears meanwhile
//     boxes-until-wizard SECONDS   presses OK on every message box, printing each,
//                                  until the wizard is shown
//     wait-gone SECONDS            waits until the wizard has closed
//     rect                         prints the wizard's screen rectangle: X Y WIDTH HEIGHT
//     foreground                   checks that the wizard is the foreground window
//
// The wizard is the top-level window titled "ORVEX 3G/GSM USB Driver Installer"
// that has the progress bar 1003; a message box is a "#32770" window without it
// whose text is its static control 0xFFFF. A disabled button is never pressed:
// WM_COMMAND and BM_CLICK would press it anyway, a user could not.
//
// Exit code 0; 2 for a wrong command line, 3 when a check failed or a wait timed
// out, 4 when a button to press is disabled.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kWizardTitle[] = "ORVEX 3G/GSM USB Driver Installer";
const int kInstructionsId = 1000;
const int kVersionLabelId = 1001;
const int kProgressId = 1003;
const int kMessageTextId = 0xFFFF;

std::string Utf8(const std::string& ansi) {
  if (ansi.empty()) return ansi;
  std::vector<wchar_t> wide(ansi.size() + 1);
  int length = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                     wide.data(), static_cast<int>(wide.size()));
  std::vector<char> utf8(length * 4 + 1);
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, nullptr);
  return std::string(utf8.data(), bytes);
}

std::string ControlText(HWND dialog, int id) {
  char text[4096] = {};
  ::GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

std::string Caption(HWND window) {
  char text[512] = {};
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

struct Search {
  bool wantWizard;
  HWND found;
};

BOOL CALLBACK FindWindowOfKind(HWND window, LPARAM parameter) {
  Search* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == ::GetCurrentProcessId() || !::IsWindowVisible(window) ||
      ClassOf(window) != "#32770") {
    return TRUE;
  }
  bool wizard = Caption(window) == kWizardTitle && ::GetDlgItem(window, kProgressId);
  bool box = !::GetDlgItem(window, kProgressId) && ::GetDlgItem(window, kMessageTextId);
  if (search->wantWizard ? wizard : box) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND Find(bool wizard) {
  Search search = {wizard, nullptr};
  ::EnumWindows(FindWindowOfKind, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitFor(bool wizard, int seconds) {
  for (int waited = 0; waited <= seconds * 10; ++waited) {
    HWND window = Find(wizard);
    if (window) {
      ::Sleep(200);  // let it finish initialising
      return window;
    }
    ::Sleep(100);
  }
  return nullptr;
}

struct WizardState {
  std::string instructions;
  std::string versionLabel;
  int progress;
  bool nextEnabled;
  bool cancelEnabled;
  bool nextDefault;
  bool cancelDefault;
  std::string nextLabel;
  std::string cancelLabel;
  int dialogTemplate;
};

// The template the wizard was made from: 102 (Windows 2000/XP) puts the progress
// bar at 149 dialog units from the top and Cancel at 168, 101 (the other
// versions) at 103 and 124. Dialog units cannot be mapped from another process
// (MapDialogRect needs the dialog's own data), so the ratio of the two tells:
// 0.887 against 0.831.
int TemplateOf(HWND wizard) {
  RECT bar = {};
  RECT cancel = {};
  ::GetWindowRect(::GetDlgItem(wizard, kProgressId), &bar);
  ::GetWindowRect(::GetDlgItem(wizard, IDCANCEL), &cancel);
  POINT origin = {0, 0};
  ::ClientToScreen(wizard, &origin);
  long barTop = bar.top - origin.y;
  long cancelTop = cancel.top - origin.y;
  if (cancelTop <= 0) return 0;
  return barTop * 1000 / cancelTop >= 859 ? 102 : 101;
}

bool IsDefault(HWND button) {
  return button && (::GetWindowLongA(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
}

WizardState Read(HWND wizard) {
  WizardState state;
  state.instructions = Utf8(ControlText(wizard, kInstructionsId));
  state.versionLabel = Utf8(ControlText(wizard, kVersionLabelId));
  state.progress =
      static_cast<int>(::SendMessageA(::GetDlgItem(wizard, kProgressId), PBM_GETPOS, 0, 0));
  HWND next = ::GetDlgItem(wizard, IDOK + 2);  // control 3
  HWND cancel = ::GetDlgItem(wizard, IDCANCEL);
  state.nextEnabled = next && ::IsWindowEnabled(next);
  state.cancelEnabled = cancel && ::IsWindowEnabled(cancel);
  state.nextDefault = IsDefault(next);
  state.cancelDefault = IsDefault(cancel);
  state.nextLabel = Utf8(ControlText(wizard, 3));
  state.cancelLabel = Utf8(ControlText(wizard, IDCANCEL));
  state.dialogTemplate = TemplateOf(wizard);
  return state;
}

const char* OnOff(bool on) { return on ? "on" : "off"; }

void Print(const WizardState& state) {
  std::printf(
      "dialog_driver: wizard progress=%d next=%s cancel=%s default=%s "
      "buttons \"%s\" \"%s\" label \"%s\" template %d\n",
      state.progress, OnOff(state.nextEnabled), OnOff(state.cancelEnabled),
      state.nextDefault ? "next" : (state.cancelDefault ? "cancel" : "none"),
      state.nextLabel.c_str(), state.cancelLabel.c_str(), state.versionLabel.c_str(),
      state.dialogTemplate);
}

bool Check(const WizardState& state, const std::string& check) {
  size_t equals = check.find('=');
  if (equals == std::string::npos) return false;
  std::string key = check.substr(0, equals);
  std::string value = check.substr(equals + 1);
  std::string actual;
  if (key == "progress") {
    actual = std::to_string(state.progress);
  } else if (key == "next") {
    actual = OnOff(state.nextEnabled);
  } else if (key == "cancel") {
    actual = OnOff(state.cancelEnabled);
  } else if (key == "default") {
    actual = state.nextDefault && !state.cancelDefault   ? "next"
             : state.cancelDefault && !state.nextDefault ? "cancel"
                                                         : "unclear";
  } else if (key == "text") {
    if (state.instructions.find(value) != std::string::npos) return true;
    std::fprintf(stderr, "dialog_driver: the instructions lack \"%s\"\n", value.c_str());
    return false;
  } else if (key == "label") {
    actual = state.versionLabel;
  } else if (key == "template") {
    actual = std::to_string(state.dialogTemplate);
  } else {
    std::fprintf(stderr, "dialog_driver: unknown check %s\n", key.c_str());
    return false;
  }
  if (actual == value) return true;
  std::fprintf(stderr, "dialog_driver: %s is %s, expected %s\n", key.c_str(), actual.c_str(),
               value.c_str());
  return false;
}

bool Press(HWND dialog, int id, const char* name) {
  HWND button = ::GetDlgItem(dialog, id);
  if (!button || !::IsWindowEnabled(button)) {
    std::fprintf(stderr, "dialog_driver: %s is disabled; not pressed\n", name);
    return false;
  }
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  std::printf("dialog_driver: pressed %s\n", name);
  return true;
}

int Fail(const char* what) {
  std::fprintf(stderr, "dialog_driver: %s\n", what);
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  // Arguments arrive in the ANSI code page; texts are compared in UTF-8.
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) words.push_back(Utf8(argv[i]));
  auto seconds = [&](size_t& i) {
    return i + 1 < words.size() ? std::atoi(words[++i].c_str()) : 0;
  };
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& command = words[i];
    std::fflush(stdout);
    if (command == "wait-wizard") {
      HWND wizard = WaitFor(true, seconds(i));
      if (!wizard) return Fail("no wizard appeared");
      std::printf("dialog_driver: wizard is shown: \"%s\"\n", Utf8(Caption(wizard)).c_str());
    } else if (command == "state") {
      HWND wizard = Find(true);
      if (!wizard) return Fail("no wizard");
      WizardState state = Read(wizard);
      Print(state);
      std::printf("dialog_driver: instructions:\n%s\n", state.instructions.c_str());
    } else if (command == "expect") {
      HWND wizard = Find(true);
      if (!wizard) return Fail("no wizard");
      WizardState state = Read(wizard);
      Print(state);
      bool good = true;
      while (i + 1 < words.size() && words[i + 1].find('=') != std::string::npos) {
        good = Check(state, words[++i]) && good;
      }
      if (!good) return 3;
    } else if (command == "press" && i + 1 < words.size()) {
      HWND wizard = Find(true);
      if (!wizard) return Fail("no wizard");
      std::string which = words[++i];
      if (which != "next" && which != "cancel") return 2;
      if (!Press(wizard, which == "next" ? 3 : IDCANCEL, which.c_str())) return 4;
    } else if (command == "close") {
      HWND wizard = Find(true);
      if (!wizard) return Fail("no wizard");
      ::PostMessageA(wizard, WM_CLOSE, 0, 0);
      std::printf("dialog_driver: WM_CLOSE sent to the wizard\n");
    } else if (command == "answer-box") {
      int wait = seconds(i);
      if (i + 1 >= words.size()) return 2;
      std::string answer = words[++i];
      std::string expected;
      if (i + 1 < words.size() && words[i + 1].rfind("text=", 0) == 0)
        expected = words[++i].substr(5);
      HWND box = WaitFor(false, wait);
      if (!box) return Fail("no message box appeared");
      std::string text = Utf8(ControlText(box, kMessageTextId));
      std::printf("dialog_driver: message box \"%s\": \"%s\"\n", Utf8(Caption(box)).c_str(),
                  text.c_str());
      if (!expected.empty() && text.compare(0, expected.size(), expected) != 0) {
        return Fail("the message box says something else");
      }
      if (!Press(box, answer == "ok" ? IDOK : IDCANCEL, answer.c_str())) return 4;
    } else if (command == "boxes-until-wizard") {
      int wait = seconds(i);
      HWND wizard = nullptr;
      for (int waited = 0; !wizard && waited <= wait * 10; ++waited) {
        HWND box = Find(false);
        if (box) {
          ::Sleep(200);  // let it finish initialising
          std::printf("dialog_driver: message box \"%s\": \"%s\"\n", Utf8(Caption(box)).c_str(),
                      Utf8(ControlText(box, kMessageTextId)).c_str());
          if (!Press(box, IDOK, "ok")) ::PostMessageA(box, WM_CLOSE, 0, 0);
          while (::IsWindow(box) && waited++ <= wait * 10) ::Sleep(100);
        }
        wizard = Find(true);
        if (!wizard) ::Sleep(100);
      }
      if (!wizard) return Fail("no wizard appeared");
      ::Sleep(200);
      std::printf("dialog_driver: wizard is shown: \"%s\"\n", Utf8(Caption(wizard)).c_str());
    } else if (command == "no-box") {
      HWND box = WaitFor(false, seconds(i));
      if (box) {
        std::printf("dialog_driver: unexpected message box: \"%s\"\n",
                    Utf8(ControlText(box, kMessageTextId)).c_str());
        return 3;
      }
    } else if (command == "wait-gone") {
      int wait = seconds(i);
      int waited = 0;
      while (Find(true) && waited++ < wait * 10) ::Sleep(100);
      if (Find(true)) return Fail("the wizard is still shown");
      std::printf("dialog_driver: the wizard has closed\n");
    } else if (command == "rect") {
      HWND wizard = Find(true);
      if (!wizard) return Fail("no wizard");
      RECT rect = {};
      ::GetWindowRect(wizard, &rect);
      std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top);
    } else if (command == "foreground") {
      HWND wizard = Find(true);
      if (!wizard) return Fail("no wizard");
      if (::GetForegroundWindow() != wizard) return Fail("the wizard is not in front");
      std::printf("dialog_driver: the wizard is in front\n");
    } else {
      std::fprintf(stderr, "dialog_driver: unknown command %s\n", command.c_str());
      return 2;
    }
  }
  std::fflush(stdout);
  return 0;
}
