// The Win32 backend on real windows with a user whose keys and clicks go through SendInput, the
// system's own input path: the driver of the suites every backend passes
// (tests/platform/desktop/backend_fixture.h). Include after the layouts and the suites.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "gui_user.h"
#include "platform/win32/desktop/win32_backend.h"
#include "platform/win32/system/local_clock.h"
#include "platform/win32/system/win32_system.h"
#include "tests/platform/desktop/backend_fixture.h"
// After the Windows headers, which it needs.
#include <oleacc.h>

namespace quorel::testing {

using namespace backend;

// The DPI the system runs this process with: 96 unless a test started it under another.
inline int ExpectedDpi() {
  const char* dpi = std::getenv("QUOREL_EXPECTED_DPI");
  return dpi ? std::atoi(dpi) : 96;
}

class Win32Driver {
 public:
  using Clock = win32::LocalClock;
  static std::unique_ptr<platform::System> MakeSystem(std::u16string commandLine) {
    return std::make_unique<win32::Win32System>(std::move(commandLine));
  }

  static std::int64_t NowMs() { return static_cast<std::int64_t>(GetTickCount64()); }
  // Input and posted messages are handled, and nothing more came for 50 ms; at most 2 s.
  void Settle() {
    const std::int64_t end = NowMs() + 2000;
    for (std::int64_t quiet = NowMs(); NowMs() < end && NowMs() - quiet < 50;) {
      backend.ProcessEvents(10ms);
      if (HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE))) quiet = NowMs();
    }
  }
  bool IsActive(std::u16string_view form) const {
    return IsVisible(form) && GetForegroundWindow() == H(form);
  }
  bool IsVisible(std::u16string_view form) const { return H(form) && IsWindowVisible(H(form)); }
  bool HasKeyboardFocus(std::u16string_view form, std::u16string_view control) const {
    return GetFocus() && GetFocus() == H(form, control);
  }
  static void CloseBox(std::u16string_view /*the form in front*/) { Press(VK_F4, {VK_MENU}); }

  static int Scaled(int px) { return MulDiv(px, ExpectedDpi(), 96); }
  Rect Frame(std::u16string_view form) const { return Box(H(form), nullptr); }
  Rect Client(std::u16string_view form) const {
    RECT r{};
    GetClientRect(H(form), &r);
    MapWindowPoints(H(form), nullptr, reinterpret_cast<POINT*>(&r), 2);
    return R(r);
  }
  Rect WorkArea(std::u16string_view form) const {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(H(form), MONITOR_DEFAULTTOPRIMARY), &monitor);
    return R(monitor.rcWork);
  }
  Rect ControlBox(std::u16string_view form, std::u16string_view control) const {
    return Box(H(form, control), H(form));
  }
  void Move(std::u16string_view form, int x, int y) {
    SetWindowPos(H(form), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  Look LookOf(std::u16string_view form) const {
    HWND h = H(form);
    const auto style = GetWindowLongPtrW(h, GWL_STYLE), ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
    return {.resizable = (style & WS_THICKFRAME) != 0,
            .maximizeBox = (style & WS_MAXIMIZEBOX) != 0,
            .closeBox = (style & WS_SYSMENU) != 0,
            // The system's rule for a task-bar entry.
            .inTaskBar =
                (ex & WS_EX_APPWINDOW) || (!GetWindow(h, GW_OWNER) && !(ex & WS_EX_TOOLWINDOW)),
            .ownIcon = SendMessageW(h, WM_GETICON, ICON_SMALL, 0) != 0};
  }
  std::u16string Caption(std::u16string_view form) const { return U(TextOf(H(form))); }
  std::u16string OwnerOf(std::u16string_view form) const {
    return FormOf(GetWindow(H(form), GW_OWNER));
  }
  bool HasWindow(std::u16string_view form) const { return H(form) && IsWindow(H(form)); }
  bool IsMinimized(std::u16string_view form) const { return IsIconic(H(form)); }
  void Minimize(std::u16string_view form) { ::ShowWindow(H(form), SW_MINIMIZE); }
  // Under Wine the window manager has the last word on activation: the user's click goes to it.
  void Activate(std::u16string_view form) {
    if (XWindow(H(form)))
      EXPECT_EQ(Unix("wmctrl -i -a " + XWindowId(H(form))), "");
    else
      SetForegroundWindow(H(form));
  }
  bool TitleBarActive(std::u16string_view form) const {
    if (!XWindow(H(form))) return IsActive(form);
    return Unix("xprop -root _NET_ACTIVE_WINDOW").ends_with("# " + XWindowId(H(form)) + "\n");
  }
  bool IsBlocked(std::u16string_view form) const { return !IsWindowEnabled(H(form)); }

  static void Key(UserKey key) {
    static constexpr WORD kKeys[] = {VK_RETURN, VK_RETURN, VK_ESCAPE, VK_F1, VK_TAB,
                                     VK_TAB,    VK_SPACE,  VK_BACK,   VK_END};
    const WORD vk = kKeys[static_cast<int>(key)];
    if (key == UserKey::BackTab) return Press(vk, {VK_SHIFT});
    if (key != UserKey::KeypadEnter) return Press(vk);
    INPUT in[2] = {};  // the Enter of the number pad is an extended key
    for (DWORD up : {0, 1}) {
      in[up].type = INPUT_KEYBOARD;
      in[up].ki.wVk = vk;
      in[up].ki.dwFlags = KEYEVENTF_EXTENDEDKEY | (up ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, in, sizeof(INPUT));
  }
  static void Alt(char16_t letter) { Press(static_cast<WORD>(letter), {VK_MENU}); }
  // Under Wine only keys from the X server carry AltGr, and only while it is held down at the
  // pace of a hand; they go to the window with the X server's focus. Wine takes the AltGr state
  // of the last key from the X server for every key after it: a Shift from there ends it.
  // Elsewhere AltGr is Ctrl+Alt to programs.
  void AltGrQ() {
    HWND front = GetForegroundWindow();
    if (!XWindow(front)) return Press('Q', {VK_CONTROL, VK_MENU});
    Unix("xdotool windowfocus --sync " + XWindowId(front) +
         "; xdotool keydown ISO_Level3_Shift; sleep 0.05; xdotool key q; sleep 0.05; "
         "xdotool keyup ISO_Level3_Shift");
    Settle();
    Unix("xdotool key Shift_L");
    Settle();
  }
  static void Type(std::u16string_view text) {
    quorel::testing::Type(std::wstring(text.begin(), text.end()));
  }
  static void Paste(std::u16string_view text) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    auto* chars = static_cast<wchar_t*>(GlobalLock(memory));
    *std::copy(text.begin(), text.end(), chars) = 0;
    GlobalUnlock(memory);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    Press('V', {VK_CONTROL});
  }
  void Click(std::u16string_view form, std::u16string_view control) { ClickAt(H(form, control)); }
  bool IsEnabled(std::u16string_view form, std::u16string_view control) const {
    return IsWindowEnabled(H(form, control));
  }
  bool LooksDefault(std::u16string_view form, std::u16string_view button) const {
    return (GetWindowLongPtrW(H(form, button), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  }
  Shot Grab(std::u16string_view form, std::u16string_view control) const {
    HWND hwnd = H(form, control);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT r{};
    GetClientRect(hwnd, &r);
    Shot shot{r.right, r.bottom, std::vector<std::uint32_t>(std::size_t(r.right * r.bottom))};
    HDC dc = GetDC(hwnd), copy = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, r.right, r.bottom);
    HGDIOBJ old = SelectObject(copy, bitmap);
    BitBlt(copy, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(copy, old);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    GetDIBits(copy, bitmap, 0, UINT(r.bottom), shot.pixels.data(), &info, DIB_RGB_COLORS);
    for (auto& p : shot.pixels)
      p &= 0xFFFFFF;  // the DIB's order is 0x00RRGGBB already
    DeleteObject(bitmap);
    DeleteDC(copy);
    ReleaseDC(hwnd, dc);
    return shot;
  }
  std::u16string DisplayedText(std::u16string_view form, std::u16string_view control) const {
    HWND edit = H(form, control);
    const auto mask = static_cast<char16_t>(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0));
    const std::u16string text = U(TextOf(edit));
    return mask ? std::u16string(text.size(), mask) : text;
  }
  static std::uint32_t ButtonFace() { return Rgb(GetSysColor(COLOR_BTNFACE)); }
  void PointAt(std::u16string_view form, std::u16string_view control) {
    const Rect box = Box(H(form, control), nullptr);
    SetCursorPos(box.left + box.width / 2, box.top + box.height / 2);
  }
  static Pointer PointerNow() {
    HCURSOR now = GetCursor();
    return now == LoadCursorW(nullptr, IDC_ARROW)   ? Pointer::Arrow
           : now == LoadCursorW(nullptr, IDC_IBEAM) ? Pointer::IBeam
           : now == LoadCursorW(nullptr, IDC_WAIT)  ? Pointer::Hourglass
                                                    : Pointer::Other;
  }
  // What the program's windows show when the pointer comes over them, wherever it is now.
  Pointer ProgramPointer() const {
    for (const char16_t* form : kForms) {
      if (HWND h = H(form)) {
        SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        break;
      }
    }
    return PointerNow();
  }
  void OnMessageBox(std::string what, const BoxAnswer& answer, BoxSeen& seen) {
    user.OnMessageBox(std::move(what), [this, answer, &seen](HWND box) {
      seen.title = U(TextOf(box));
      seen.text = U(MessageText(box));
      std::erase(seen.text, u'\r');  // the static control breaks its lines at CR LF
      HWND button = nullptr;
      for (HWND c = nullptr; (c = FindWindowExW(box, c, nullptr, nullptr));) {
        wchar_t kind[16] = {};
        GetClassNameW(c, kind, 16);
        if (!IsWindowVisible(c)) continue;
        if (std::wstring_view(kind) == L"Button") {
          std::u16string text = U(TextOf(c));
          std::erase(text, u'&');
          if (text == answer.button) button = c;
          seen.buttons.push_back(std::move(text));
        } else if (auto icon = reinterpret_cast<HICON>(SendMessageW(c, STM_GETICON, 0, 0))) {
          const LPCWSTR kIcons[] = {nullptr, IDI_INFORMATION, IDI_WARNING, IDI_ERROR, IDI_QUESTION};
          for (int i = 1; i < 5; ++i)
            if (icon == LoadIconW(nullptr, kIcons[i])) seen.icon = static_cast<BoxIcon>(i);
        }
      }
      std::sort(seen.buttons.begin(), seen.buttons.end());
      seen.owner = FormOf(GetWindow(box, GW_OWNER));
      seen.ownerBlocked = !seen.owner.empty() && IsBlocked(seen.owner);
      switch (answer.kind) {
        case BoxAnswer::Button:
          // As the button clicks itself: a click through SendInput got lost now and then.
          if (button) return (void)PostMessageW(button, BM_CLICK, 0, 0);
          return ADD_FAILURE() << "no button " << U8(answer.button);
        case BoxAnswer::Key:
          return Key(answer.key);
        case BoxAnswer::Letter:
          return Press(static_cast<WORD>(answer.letter));
        case BoxAnswer::CloseBox:
          return Press(VK_F4, {VK_MENU});
      }
    });
  }

  std::u16string AccessibleName(std::u16string_view form, std::u16string_view control) const {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(H(form, control), DWORD(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible))))
      return u"(no accessible object)";
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const bool named = accessible->get_accName(self, &name) == S_OK && name;
    const std::u16string result = named ? U(name) : u"";
    SysFreeString(name);
    accessible->Release();
    return result;
  }

  HWND H(std::u16string_view form, std::u16string_view control = {}) const {
    return control.empty() ? backend.WindowHandle(form) : backend.ControlHandle(form, control);
  }
  // The form whose window that is; empty for none.
  std::u16string FormOf(HWND hwnd) const {
    for (const char16_t* form : kForms)
      if (hwnd && H(form) == hwnd) return form;
    return {};
  }

  win32::Win32Backend backend;
  GuiUser user;

 private:
  static constexpr const char16_t* kForms[] = {u"FMStart", u"FMPass", u"FMServer", u"frmAbout"};

  static std::u16string U(std::wstring_view s) { return {s.begin(), s.end()}; }
  // The X window that Wine shows a window in, 0 when not under Wine.
  static unsigned long XWindow(HWND hwnd) {
    return static_cast<unsigned long>(
        reinterpret_cast<ULONG_PTR>(GetPropW(hwnd, L"__wine_x11_whole_window")));
  }
  static std::string XWindowId(HWND hwnd) {
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", XWindow(hwnd));
    return id;
  }
  // The output of a command of the Unix system Wine runs on. Wine neither waits for such a
  // process nor hands its exit status on: the output goes to a file, renamed once complete.
  static std::string Unix(const std::string& command) {
    const std::string file = "/tmp/quorel-unix-" + std::to_string(GetCurrentProcessId());
    const std::string script =
        "(" + command + ") >" + file + ".part 2>&1; mv " + file + ".part " + file;
    std::wstring line = L"/bin/sh -c \"" + std::wstring(script.begin(), script.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
      return "(not started)";
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const std::string windowsName = "Z:" + file;
    for (const std::int64_t end = NowMs() + 5000; NowMs() < end; Sleep(10)) {
      std::ifstream in(windowsName);
      if (!in) continue;
      const std::string output{std::istreambuf_iterator<char>(in), {}};
      in.close();
      DeleteFileA(windowsName.c_str());
      return output;
    }
    return "(no answer)";
  }
  static Rect R(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }
  static std::uint32_t Rgb(COLORREF c) {
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  }
  // A window's place on the screen, or in another window.
  static Rect Box(HWND hwnd, HWND in) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, in, reinterpret_cast<POINT*>(&r), 2);
    return R(r);
  }
  // A left click in the middle of the window; each of its events says where, so that none
  // lands where the pointer was before.
  static void ClickAt(HWND hwnd) {
    const Rect box = Box(hwnd, nullptr);
    const LONG x = (box.left + box.width / 2) * 65536 / GetSystemMetrics(SM_CXSCREEN) + 1;
    const LONG y = (box.top + box.height / 2) * 65536 / GetSystemMetrics(SM_CYSCREEN) + 1;
    INPUT in[3] = {};
    const DWORD flags[] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 3; ++i) {
      in[i].type = INPUT_MOUSE;
      in[i].mi.dx = x;
      in[i].mi.dy = y;
      in[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags[i];
    }
    SendInput(3, in, sizeof(INPUT));
  }
};

}  // namespace quorel::testing
