// A user in front of the real Win32 windows: keys and clicks go through SendInput, the
// system's own input path, to whatever window has the focus. Steps wait until their moment has
// come (a window in front, a message box shown) and run from a thread timer, so also inside
// the modal loops of dialogs and message boxes. Waiting is bounded: a step that cannot be
// taken ends the test process with a message.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/win32_api.h"

namespace quorel::testing {

inline void SendKeys(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

inline INPUT Key(WORD virtualKey, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = virtualKey;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return in;
}

// A key, with a modifier (VK_MENU for Alt, VK_CONTROL, VK_SHIFT) held down around it.
inline void Press(WORD virtualKey, WORD modifier = 0) {
  std::vector<INPUT> in;
  if (modifier) in.push_back(Key(modifier, false));
  in.push_back(Key(virtualKey, false));
  in.push_back(Key(virtualKey, true));
  if (modifier) in.push_back(Key(modifier, true));
  SendKeys(in);
}

inline void Type(std::wstring_view text) {
  std::vector<INPUT> in;
  for (wchar_t c : text) {
    for (bool up : {false, true}) {
      INPUT i{};
      i.type = INPUT_KEYBOARD;
      i.ki.wScan = c;
      i.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
      in.push_back(i);
    }
  }
  SendKeys(in);
}

inline void Click(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  INPUT down{}, up{};
  down.type = up.type = INPUT_MOUSE;
  down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendKeys({down, up});
}

inline std::wstring TextOf(HWND hwnd) {
  wchar_t buffer[512] = {};
  GetWindowTextW(hwnd, buffer, 512);
  return buffer;
}

// The message box of this thread in front, or nullptr.
inline HWND MessageBoxShown() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM out) {
        wchar_t name[16] = {};
        GetClassNameW(h, name, 16);
        if (std::wstring_view(name) != L"#32770" || !IsWindowVisible(h)) return TRUE;
        *reinterpret_cast<HWND*>(out) = h;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found && GetForegroundWindow() == found ? found : nullptr;
}

// The text of a message box: its static control with text.
inline std::wstring MessageText(HWND box) {
  std::wstring text;
  EnumChildWindows(
      box,
      [](HWND h, LPARAM out) {
        wchar_t name[16] = {};
        GetClassNameW(h, name, 16);
        if (std::wstring_view(name) == L"Static" && GetWindowTextLengthW(h) > 0)
          *reinterpret_cast<std::wstring*>(out) = TextOf(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

class GuiUser {
 public:
  static constexpr DWORD kStepTimeoutMs = 10000;

  // Acts once ready() has held on two polls in a row, so that the events it caused are through.
  void When(std::string what, std::function<bool()> ready, std::function<void()> act) {
    steps_.push_back({std::move(what), std::move(ready), std::move(act)});
  }
  // Acts once the window is shown and in front.
  void In(std::function<HWND()> window, std::string what, std::function<void()> act) {
    When(
        std::move(what), [window] { return window() && GetForegroundWindow() == window(); },
        std::move(act));
  }
  void OnMessageBox(std::string what, std::function<void(HWND box)> act) {
    When(
        "message box: " + what, [] { return MessageBoxShown() != nullptr; },
        [act = std::move(act)] { act(MessageBoxShown()); });
  }

  // Runs code (the program) while the steps are taken, and returns what it returns.
  template <typename F>
  auto Drive(F&& code) {
    current_ = this;
    last_ = GetTickCount();
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &GuiUser::Poll);
    struct Stop {
      UINT_PTR t;
      ~Stop() {
        KillTimer(nullptr, t);
        current_ = nullptr;
      }
    } stop{timer};
    return code();
  }
  bool Done() const { return steps_.empty(); }

 private:
  struct Step {
    std::string what;
    std::function<bool()> ready;
    std::function<void()> act;
  };

  [[noreturn]] static void Abort(const std::string& why) {
    std::fprintf(stderr, "GUI test aborted: %s\n", why.c_str());
    std::fflush(stderr);
    std::_Exit(3);
  }

  static void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD) {
    GuiUser* u = current_;
    if (!u || u->busy_) return;
    u->busy_ = true;
    const DWORD waited = GetTickCount() - u->last_;
    if (u->steps_.empty()) {
      if (waited > kStepTimeoutMs) Abort("the program still runs after the last step");
    } else if (u->steps_.front().ready()) {
      if (++u->stable_ >= 2) {
        Step step = std::move(u->steps_.front());
        u->steps_.pop_front();
        u->stable_ = 0;
        step.act();
        u->last_ = GetTickCount();
      }
    } else {
      u->stable_ = 0;
      if (waited > kStepTimeoutMs) Abort("step not possible in time: " + u->steps_.front().what);
    }
    u->busy_ = false;
  }

  static inline GuiUser* current_ = nullptr;
  std::deque<Step> steps_;
  DWORD last_ = 0;
  int stable_ = 0;
  bool busy_ = false;
};

}  // namespace quorel::testing
