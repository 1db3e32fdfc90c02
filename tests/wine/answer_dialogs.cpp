// Runs a program that lives beside this one and answers every dialog box it
// shows, as a user who wants to get through would, until it ends:
//
//   answer_dialogs.exe [--no-dialog] SECONDS program.exe [arguments...]
//
// A message box is answered with its OK button (or closed); any other dialog
// with its Cancel button, or OK when Cancel is disabled. A disabled button is
// never pressed: BM_CLICK would press it anyway, a user could not. Each
// dialog is printed with its caption and message text. The exit code is the
// program's, or 124 when it is still running after SECONDS (it is then
// ended). With --no-dialog any dialog is a failure: the exit code is then 3
// when the program itself ended with 0.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

namespace {

const int kMessageTextId = 0xFFFF;

struct Search {
  DWORD processId;
  std::set<HWND>* dialogs;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM parameter) {
  Search* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  char className[16] = {};
  ::GetClassNameA(window, className, sizeof className);
  if (owner == search->processId && ::IsWindowVisible(window) &&
      std::string(className) == "#32770") {
    search->dialogs->insert(window);
  }
  return TRUE;
}

std::string TextOf(HWND window) {
  char text[2048] = {};
  if (window) ::GetWindowTextA(window, text, sizeof text);
  return text;
}

// Presses the button with this id when it exists and is enabled.
bool Press(HWND dialog, int id) {
  HWND button = ::GetDlgItem(dialog, id);
  if (!button || !::IsWindowEnabled(button)) return false;
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  return true;
}

BOOL CALLBACK NoteOtherControl(HWND child, LPARAM parameter) {
  char className[32] = {};
  ::GetClassNameA(child, className, sizeof className);
  std::string name = className;
  if (name != "Button" && name != "Static") *reinterpret_cast<bool*>(parameter) = true;
  return TRUE;
}

// A message box is a dialog whose text is static control 0xFFFF and which
// holds nothing but buttons and statics. Other dialogs may use 0xFFFF for a
// label or a separator too (the wizard does), but they hold other controls,
// such as its progress bar.
HWND MessageTextOf(HWND dialog) {
  HWND message = ::GetDlgItem(dialog, kMessageTextId);
  if (!message) return nullptr;
  bool other = false;
  ::EnumChildWindows(dialog, NoteOtherControl, reinterpret_cast<LPARAM>(&other));
  return other ? nullptr : message;
}

void Answer(HWND dialog) {
  HWND message = MessageTextOf(dialog);
  std::printf("answer_dialogs: %s \"%s\": \"%s\"\n", message ? "message box" : "dialog",
              TextOf(dialog).c_str(), TextOf(message).c_str());
  std::fflush(stdout);
  bool pressed = message ? Press(dialog, IDOK) : (Press(dialog, IDCANCEL) || Press(dialog, IDOK));
  if (!pressed) ::PostMessageA(dialog, WM_CLOSE, 0, 0);
}

std::string Quoted(const char* argument) {
  std::string text = argument;
  if (text.find_first_of(" \t") == std::string::npos) return text;
  std::string quoted = "\"";
  quoted += text;
  quoted += '"';
  return quoted;
}

std::string ProgramBesideThis(const char* name) {
  char path[MAX_PATH + 1] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  folder.erase(folder.find_last_of('\\') + 1);
  return folder + name;
}

}  // namespace

int main(int argc, char** argv) {
  bool noDialog = argc > 1 && std::string(argv[1]) == "--no-dialog";
  if (noDialog) {
    --argc;
    ++argv;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: answer_dialogs [--no-dialog] SECONDS program.exe [arguments...]\n");
    return 2;
  }
  const DWORD seconds = static_cast<DWORD>(std::atoi(argv[1]));
  std::string program = ProgramBesideThis(argv[2]);
  std::string commandLine = Quoted(program.c_str());
  for (int i = 3; i < argc; ++i) {
    commandLine += ' ';
    commandLine += Quoted(argv[i]);
  }

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    std::fprintf(stderr, "answer_dialogs: cannot start %s: error %lu\n", program.c_str(),
                 ::GetLastError());
    return 2;
  }
  ::CloseHandle(process.hThread);

  // Dialogs are looked for every 250 ms; one is answered once it has been
  // seen twice, so that it has finished initialising, and again every two
  // seconds while it stays.
  std::set<HWND> seenBefore;
  std::map<HWND, DWORD> answeredAt;
  int answeredCount = 0;
  DWORD waited = 0;
  while (::WaitForSingleObject(process.hProcess, 250) == WAIT_TIMEOUT) {
    waited += 250;
    if (waited >= seconds * 1000) {
      std::fprintf(stderr, "answer_dialogs: %s still running after %lu s\n", argv[2],
                   static_cast<unsigned long>(seconds));
      ::TerminateProcess(process.hProcess, 124);
      ::CloseHandle(process.hProcess);
      return 124;
    }
    std::set<HWND> dialogs;
    Search search = {process.dwProcessId, &dialogs};
    ::EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    for (HWND dialog : dialogs) {
      if (!seenBefore.count(dialog)) continue;
      auto answered = answeredAt.find(dialog);
      if (answered != answeredAt.end() && waited - answered->second < 2000) continue;
      Answer(dialog);
      answeredAt[dialog] = waited;
      ++answeredCount;
    }
    seenBefore = dialogs;
  }
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  ::CloseHandle(process.hProcess);
  if (noDialog && answeredCount > 0 && exitCode == 0) {
    std::fprintf(stderr, "answer_dialogs: %s showed a dialog\n", argv[2]);
    return 3;
  }
  return static_cast<int>(exitCode);
}
