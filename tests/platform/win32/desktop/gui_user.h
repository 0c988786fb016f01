// A user in front of the real Win32 windows: keys go through SendInput, the system's own
// input path, to whatever window has the focus. Steps wait until their moment has
// come (a window in front, a message box shown) and run from a thread timer, so also inside
// the modal loops of dialogs and message boxes. A step that cannot be taken in time ends the
// test process with a message.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/win32_api.h"

namespace quorel::testing {

// Keys, each pressed and released; a modifier (VK_MENU for Alt) is held down around them all.
// A key 0 types the character of text at the same place.
inline void Keys(std::vector<WORD> keys, WORD modifier = 0, std::wstring_view text = {}) {
  std::vector<INPUT> in(keys.size() * 2 + (modifier ? 2 : 0));
  std::size_t n = 0;
  const auto add = [&](WORD key, DWORD up, wchar_t c) {
    in[n].type = INPUT_KEYBOARD;
    in[n].ki.wVk = key;
    in[n].ki.wScan = key ? static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) : WORD(c);
    in[n++].ki.dwFlags = up | (key ? 0 : KEYEVENTF_UNICODE);
  };
  if (modifier) add(modifier, 0, 0);
  for (std::size_t i = 0; i < keys.size(); ++i)
    for (DWORD up : {0, KEYEVENTF_KEYUP})
      add(keys[i], up, keys[i] ? 0 : text[i]);
  if (modifier) add(modifier, KEYEVENTF_KEYUP, 0);
  SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}
inline void Press(WORD key, WORD modifier = 0) {
  Keys({key}, modifier);
}
inline void Type(std::wstring_view text) {
  Keys(std::vector<WORD>(text.size(), 0), 0, text);
}

inline std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), int(text.size()))));
  return text;
}

// The message box in front, or nullptr; its text is that of its static control with text.
inline HWND MessageBoxShown() {
  wchar_t name[8] = {};
  GetClassNameW(GetForegroundWindow(), name, 8);
  return std::wstring_view(name) == L"#32770" ? GetForegroundWindow() : nullptr;
}
inline std::wstring MessageText(HWND box) {
  for (HWND s = nullptr; (s = FindWindowExW(box, s, L"Static", nullptr));)
    if (GetWindowTextLengthW(s) > 0) return TextOf(s);
  return {};
}

class GuiUser {
 public:
  // Acts once ready() has held on two polls in a row, so that the events it caused are through.
  void When(std::string what, std::function<bool()> ready, std::function<void()> act) {
    steps_.push_back({std::move(what), std::move(ready), std::move(act)});
  }
  void OnMessageBox(std::string what, std::function<void(HWND box)> act) {
    When(std::move(what), MessageBoxShown, [act = std::move(act)] { act(MessageBoxShown()); });
  }

  // Runs code (the program) while the steps are taken, and returns what it returns.
  template <typename F>
  auto Drive(F&& code) {
    current_ = this;
    last_ = GetTickCount();
    struct Stop {
      UINT_PTR timer;
      ~Stop() { KillTimer(nullptr, timer); }
    } stop{SetTimer(nullptr, 0, 20, &GuiUser::Poll)};
    return code();
  }
  bool Done() const { return steps_.empty(); }

 private:
  struct Step {
    std::string what;
    std::function<bool()> ready;
    std::function<void()> act;
  };

  static void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD) {
    GuiUser& u = *current_;
    if (std::exchange(u.busy_, true)) return;
    if (!u.steps_.empty() && u.steps_.front().ready()) {
      if (++u.stable_ >= 2) {
        const Step step = std::move(u.steps_.front());
        u.steps_.pop_front();
        u.stable_ = 0;
        step.act();
        u.last_ = GetTickCount();
      }
    } else if (u.stable_ = 0; GetTickCount() - u.last_ > 10000) {
      std::fprintf(stderr, "GUI test aborted, not possible in time: %s\n",
                   u.steps_.empty() ? "the end of the program" : u.steps_.front().what.c_str());
      std::_Exit(3);
    }
    u.busy_ = false;
  }

  static inline GuiUser* current_ = nullptr;
  std::deque<Step> steps_;
  DWORD last_ = 0;
  int stable_ = 0;
  bool busy_ = false;
};

}  // namespace quorel::testing
