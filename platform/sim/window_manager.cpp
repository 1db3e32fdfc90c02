#include "platform/sim/window_manager.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

uintptr_t Value(HWND window) { return reinterpret_cast<uintptr_t>(window); }

bool IsProgressBar(const Window& window) { return window.className == PROGRESS_CLASSA; }

}  // namespace

HWND WindowManager::CreateTopLevel(const TopLevelWindowSpec& shape) {
  nextHandle_ += 0x10;
  HWND handle = reinterpret_cast<HWND>(nextHandle_);
  Window& window = windows_[nextHandle_];
  window.handle = handle;
  window.className = shape.className;
  window.text = shape.title;
  window.process = shape.process;
  window.iconic = shape.iconic;
  window.rect = shape.rect;
  window.style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
  zOrder_.insert(zOrder_.begin(), handle);
  return handle;
}

HWND WindowManager::CreateChild(HWND parent, int id, const std::string& className,
                                const std::string& text, LONG_PTR style, RECT rect) {
  Window* owner = Find(parent);
  if (!owner) return nullptr;
  RECT origin = owner->rect;
  nextHandle_ += 0x10;
  HWND handle = reinterpret_cast<HWND>(nextHandle_);
  Window& window = windows_[nextHandle_];
  window.handle = handle;
  window.parent = parent;
  window.child = true;
  window.id = id;
  window.className = className;
  window.text = text;
  window.process = owner->process;
  window.style = style | WS_CHILD;
  window.enabled = (style & WS_DISABLED) == 0;
  window.visible = (style & WS_VISIBLE) != 0;
  window.rect = {origin.left + rect.left, origin.top + rect.top, origin.left + rect.right,
                 origin.top + rect.bottom};
  return handle;
}

void WindowManager::Destroy(HWND window) {
  std::vector<HWND> children;
  for (const auto& [value, entry] : windows_) {
    if (entry.child && entry.parent == window) children.push_back(entry.handle);
  }
  for (HWND child : children) Destroy(child);
  windows_.erase(Value(window));
  zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), window), zOrder_.end());
  if (focus == window) focus = nullptr;
  if (foreground == window) foreground = nullptr;
}

Window* WindowManager::Find(HWND window) {
  auto it = windows_.find(Value(window));
  return it == windows_.end() ? nullptr : &it->second;
}

const Window* WindowManager::Find(HWND window) const {
  auto it = windows_.find(Value(window));
  return it == windows_.end() ? nullptr : &it->second;
}

Window* WindowManager::FindChild(HWND parent, int id) {
  for (auto& [value, entry] : windows_) {
    if (entry.child && entry.parent == parent && entry.id == id) return &entry;
  }
  return nullptr;
}

void WindowManager::AddProperty(HWND window, const std::string& name, HANDLE data) {
  if (Window* entry = Find(window)) entry->properties.push_back({AtomName(name), 0, data});
}

const std::string& WindowManager::AtomName(const std::string& name) {
  std::string upper = name;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  return atomNames_.emplace(upper, name).first->second;
}

void WindowManager::AddAtomProperty(HWND window, WORD atom, HANDLE data) {
  if (Window* entry = Find(window)) entry->properties.push_back({"", atom, data});
}

void WindowManager::SetHandler(HWND window, WindowHandler handler) {
  if (Window* entry = Find(window)) entry->handler = std::move(handler);
}

void WindowManager::BringToFront(HWND window) {
  auto it = std::find(zOrder_.begin(), zOrder_.end(), window);
  if (it == zOrder_.end()) return;
  zOrder_.erase(it);
  zOrder_.insert(zOrder_.begin(), window);
}

std::vector<HWND> WindowManager::TopLevelWindows() const { return zOrder_; }

LRESULT WindowManager::Deliver(Window& window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window.handler) {
    WindowHandler handler = window.handler;  // the handler may destroy the window
    return handler(window.handle, message, wParam, lParam);
  }
  return DefaultAnswer(window, message, wParam, lParam);
}

// What the standard controls answer. Anything else is only recorded.
LRESULT WindowManager::DefaultAnswer(Window& window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT:
      window.text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      return TRUE;
    case WM_GETTEXTLENGTH:
      return LRESULT(window.text.size());
    case WM_GETTEXT: {
      if (wParam == 0 || !lParam) return 0;
      size_t n = std::min(window.text.size(), size_t(wParam) - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), window.text.data(), n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return LRESULT(n);
    }
    case STM_SETIMAGE: {
      HANDLE old = window.image;
      window.image = reinterpret_cast<HANDLE>(lParam);
      return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE:
      return reinterpret_cast<LRESULT>(window.image);
    default:
      break;
  }
  if (!IsProgressBar(window)) return 0;
  // The progress bar keeps its position inside the range.
  auto clamp = [&window](int value) {
    return std::max(window.rangeMin, std::min(window.rangeMax, value));
  };
  int old = window.position;
  switch (message) {
    case PBM_SETRANGE: {
      LRESULT previous = MAKELONG(window.rangeMin, window.rangeMax);
      window.rangeMin = LOWORD(lParam);
      window.rangeMax = HIWORD(lParam);
      window.position = clamp(window.position);
      return previous;
    }
    case PBM_SETSTEP: {
      int previous = window.step;
      window.step = int(wParam);
      return previous;
    }
    case PBM_SETPOS: window.position = clamp(int(wParam)); return old;
    case PBM_DELTAPOS: window.position = clamp(old + int(wParam)); return old;
    case PBM_STEPIT:
      window.position = old + window.step;
      // Stepping past the end starts again from the beginning, as the control does.
      if (window.position > window.rangeMax) {
        window.position = window.rangeMin + (window.position - window.rangeMax);
      }
      window.position = clamp(window.position);
      return old;
    case PBM_GETPOS: return window.position;
    case PBM_GETRANGE: return wParam ? window.rangeMin : window.rangeMax;
    default: return 0;
  }
}

}  // namespace sim
