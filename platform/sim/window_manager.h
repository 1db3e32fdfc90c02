// The windows of the simulated machine: top-level windows of this and other
// "processes" (a CD launcher, an earlier instance's wizard), their child
// controls, window properties, messages, focus and foreground, the screen,
// message boxes and icons.
//
// Tests build windows through the test API below and read what the program
// did from the records. Messages sent to a window go to its handler when the
// test gave one; otherwise the window answers as the Windows control of its
// class would (text, progress bar, static image) and the message is recorded.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace sim {

struct WindowMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool posted;
};

using WindowHandler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

struct Window {
  HWND handle = nullptr;
  HWND parent = nullptr;  // a child's parent; a top-level window's owner
  bool child = false;
  std::string className;
  std::string text;
  std::string process;  // "" for this process, otherwise the owning program's tag
  int id = 0;           // a control's ID
  LONG_PTR style = 0;
  LONG_PTR exStyle = 0;
  LONG_PTR userData = 0;
  RECT rect{0, 0, 0, 0};  // screen coordinates
  bool enabled = true;
  bool visible = true;
  bool iconic = false;
  // Properties: string names (compared without case, like the atoms Windows
  // keeps them as) and integer atoms, in the order they were set.
  struct Property {
    std::string name;  // empty for an integer atom
    WORD atom = 0;
    HANDLE data = nullptr;
  };
  std::vector<Property> properties;
  // Progress bar state (msctls_progress32).
  int rangeMin = 0;
  int rangeMax = 100;
  int step = 10;
  int position = 0;
  HANDLE image = nullptr;  // a static control's icon (STM_SETIMAGE)
  std::vector<WindowMessage> messages;
  WindowHandler handler;
  // False for a window whose thread takes no messages (it hangs, or waits
  // for the program that sends to it): a message sent to it is never
  // answered. SendMessageA would wait for ever; SendMessageTimeoutA gives up.
  bool answersMessages = true;
  int invalidations = 0;
  int updates = 0;
};

struct TopLevelWindowSpec {
  std::string title;
  std::string className = "#32770";
  std::string process = "launcher";  // another program's window unless "" is given
  bool iconic = false;
  RECT rect{100, 100, 500, 400};
};

struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
  int answer;
};

class WindowManager {
 public:
  // ---- Test API.
  // A new top-level window in front of the others.
  HWND CreateTopLevel(const TopLevelWindowSpec& shape);
  // A control of a window; `rect` is relative to the parent's top-left corner.
  HWND CreateChild(HWND parent, int id, const std::string& className, const std::string& text,
                   LONG_PTR style, RECT rect);
  void Destroy(HWND window);
  Window* Find(HWND window);
  const Window* Find(HWND window) const;
  Window* FindChild(HWND parent, int id);
  void AddProperty(HWND window, const std::string& name, HANDLE data);
  // Property names are global atoms, which compare without case and keep the
  // spelling they were first made with: EnumPropsA reports that spelling on
  // every window. Registers `name` and returns the atom's spelling.
  const std::string& AtomName(const std::string& name);
  void AddAtomProperty(HWND window, WORD atom, HANDLE data);
  void SetHandler(HWND window, WindowHandler handler);
  // Front to back.
  const std::vector<HWND>& ZOrder() const { return zOrder_; }

  // The screen; CreateICA("DISPLAY") fails when `displayAvailable` is false.
  int screenWidth = 1024;
  int screenHeight = 768;
  bool displayAvailable = true;
  std::vector<uintptr_t> deviceContexts;  // open display information contexts

  // Message boxes: what was shown, and the answers to give, first to last.
  // Without a scripted answer a box answers with its first button (IDOK for
  // MB_OK and MB_OKCANCEL, IDYES for MB_YESNO).
  std::vector<MessageBoxRecord> messageBoxes;
  std::deque<int> messageBoxAnswers;

  // Icons loaded from files: handle -> path. Windows frees them at process exit.
  std::map<uintptr_t, std::string> icons;

  // Activation calls, in order: "ShowWindow 9", "BringWindowToTop", "SetForegroundWindow".
  struct Activation {
    HWND window;
    std::string call;
  };
  std::vector<Activation> activations;
  HWND foreground = nullptr;
  HWND focus = nullptr;
  // Messages sent with SendMessageA to a window that does not answer: on
  // Windows each one would have blocked the program for ever.
  std::vector<WindowMessage> sendsNeverAnswered;
  // Milliseconds SendMessageTimeoutA waited in all for windows that did not
  // answer before it gave up.
  uint64_t sendTimeoutWaitMs = 0;

  // ---- For the operations.
  // Answers a message sent to a window: its handler, else the control's default.
  LRESULT Deliver(Window& window, UINT message, WPARAM wParam, LPARAM lParam);
  void BringToFront(HWND window);
  std::vector<HWND> TopLevelWindows() const;

 private:
  LRESULT DefaultAnswer(Window& window, UINT message, WPARAM wParam, LPARAM lParam);
  std::map<uintptr_t, Window> windows_;
  std::vector<HWND> zOrder_;  // top-level windows, front first
  std::map<std::string, std::string> atomNames_;  // upper-cased name -> first spelling
  uintptr_t nextHandle_ = 0x10020;
};

}  // namespace sim
