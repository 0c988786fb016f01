// A user in front of the real Win32 windows: keys go through SendInput, the system's own
// input path, to whatever window has the focus; the steps (tests/support/gui_steps.h) run from
// a thread timer.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/win32_api.h"
#include "tests/support/gui_steps.h"

namespace quorel::testing {

// Keys, each pressed and released; modifiers (VK_MENU for Alt) are held down around them all.
// A key 0 types the character of text at the same place.
inline void Keys(std::vector<WORD> keys, std::initializer_list<WORD> modifiers = {},
                 std::wstring_view text = {}) {
  std::vector<INPUT> in(keys.size() * 2 + modifiers.size() * 2);
  std::size_t n = 0;
  const auto add = [&](WORD key, DWORD up, wchar_t c) {
    in[n].type = INPUT_KEYBOARD;
    in[n].ki.wVk = key;
    in[n].ki.wScan = key ? static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) : WORD(c);
    in[n++].ki.dwFlags = up | (key ? 0 : KEYEVENTF_UNICODE);
  };
  for (WORD modifier : modifiers)
    add(modifier, 0, 0);
  for (std::size_t i = 0; i < keys.size(); ++i)
    for (DWORD up : {0, KEYEVENTF_KEYUP})
      add(keys[i], up, keys[i] ? 0 : text[i]);
  for (WORD modifier : modifiers)
    add(modifier, KEYEVENTF_KEYUP, 0);
  SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}
inline void Press(WORD key, std::initializer_list<WORD> modifiers = {}) {
  Keys({key}, modifiers);
}
inline void Type(std::wstring_view text) {
  Keys(std::vector<WORD>(text.size(), 0), {}, text);
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

class GuiUser : public GuiSteps {
 public:
  void OnMessageBox(std::string what, std::function<void(HWND box)> act) {
    When(std::move(what), MessageBoxShown, [act = std::move(act)] { act(MessageBoxShown()); });
  }

  // Runs code (the program) while the steps are taken, and returns what it returns.
  template <typename F>
  auto Drive(F&& code) {
    current_ = this;
    Start();
    struct Stop {
      UINT_PTR timer;
      ~Stop() { KillTimer(nullptr, timer); }
    } stop{
        SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK { current_->Poll(); })};
    return code();
  }

 private:
  static inline GuiUser* current_ = nullptr;
};

}  // namespace quorel::testing
