// The Win32 backend on its own, on real windows under Wine's X server: the suites every backend
// passes, with a user whose keys and clicks go through SendInput, and what only Windows has:
// the layouts at the system's DPI and on screens of another, and the program's resources.
#include <gtest/gtest.h>
#include <process.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/platform/desktop/backend_input_suites.h"
#include "tests/platform/desktop/backend_suites.h"
// The Windows headers only after the layouts, which define some of their names themselves.
#include "gui_user.h"
#include "platform/win32/win32_backend.h"

namespace quorel::testing {
namespace {

using namespace backend;

std::u16string U(std::wstring_view s) {
  return {s.begin(), s.end()};
}

Rect R(const RECT& r) {
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::uint32_t Rgb(COLORREF c) {
  return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// The DPI the system runs this process with: 96 unless a test started it under another.
int ExpectedDpi() {
  const char* dpi = std::getenv("QUOREL_EXPECTED_DPI");
  return dpi ? std::atoi(dpi) : 96;
}

// A left click in the middle of the window; each of its events says where, so that none lands
// where the pointer was before.
void ClickAt(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  const LONG x = (r.left + r.right) / 2 * 65536 / GetSystemMetrics(SM_CXSCREEN) + 1;
  const LONG y = (r.top + r.bottom) / 2 * 65536 / GetSystemMetrics(SM_CYSCREEN) + 1;
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

class Win32Driver {
 public:
  static std::int64_t NowMs() { return static_cast<std::int64_t>(GetTickCount64()); }
  // Input and posted messages are handled, and nothing more came for 50 ms; at most 2 s.
  void Settle() {
    const std::int64_t end = NowMs() + 2000;
    std::int64_t quietSince = NowMs();
    while (NowMs() < end && NowMs() - quietSince < 50) {
      backend.ProcessEvents(10ms);
      if (HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE))) quietSince = NowMs();
    }
  }
  bool IsActive(std::u16string_view form) const {
    return H(form) && GetForegroundWindow() == H(form) && IsWindowVisible(H(form));
  }
  bool IsVisible(std::u16string_view form) const { return H(form) && IsWindowVisible(H(form)); }
  bool HasKeyboardFocus(std::u16string_view form, std::u16string_view control) const {
    return GetFocus() && GetFocus() == H(form, control);
  }
  static void CloseBox(std::u16string_view /*form in front*/) { Press(VK_F4, VK_MENU); }

  static int Scaled(int px) { return MulDiv(px, ExpectedDpi(), 96); }
  Rect Frame(std::u16string_view form) const {
    RECT r{};
    GetWindowRect(H(form), &r);
    return R(r);
  }
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
    RECT r{};
    GetWindowRect(H(form, control), &r);
    MapWindowPoints(nullptr, H(form), reinterpret_cast<POINT*>(&r), 2);
    return R(r);
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
  bool IsBlocked(std::u16string_view form) const { return !IsWindowEnabled(H(form)); }

  static void Key(UserKey key) {
    using enum UserKey;
    switch (key) {
      case Enter:
        return Press(VK_RETURN);
      case KeypadEnter: {
        INPUT in[2] = {};
        for (int i = 0; i < 2; ++i) {
          in[i].type = INPUT_KEYBOARD;
          in[i].ki.wVk = VK_RETURN;
          in[i].ki.dwFlags = KEYEVENTF_EXTENDEDKEY | (i ? KEYEVENTF_KEYUP : 0);
        }
        SendInput(2, in, sizeof(INPUT));
        return;
      }
      case Escape:
        return Press(VK_ESCAPE);
      case F1:
        return Press(VK_F1);
      case Tab:
        return Press(VK_TAB);
      case Space:
        return Press(VK_SPACE);
      case Backspace:
        return Press(VK_BACK);
      case End:
        return Press(VK_END);
    }
  }
  static void Alt(char16_t letter) { Press(static_cast<WORD>(letter), VK_MENU); }
  static void Type(std::u16string_view text) {
    quorel::testing::Type(std::wstring(text.begin(), text.end()));
  }
  static void Paste(std::u16string_view text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    auto* chars = static_cast<wchar_t*>(GlobalLock(memory));
    std::copy(text.begin(), text.end(), chars);
    chars[text.size()] = 0;
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    Press('V', VK_CONTROL);
  }
  void Click(std::u16string_view form, std::u16string_view control) { ClickAt(H(form, control)); }
  bool IsEnabled(std::u16string_view form, std::u16string_view control) const {
    return IsWindowEnabled(H(form, control));
  }
  std::u16string DisplayedText(std::u16string_view form, std::u16string_view control) const {
    HWND edit = H(form, control);
    const auto mask = static_cast<char16_t>(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0));
    const std::u16string text = U(TextOf(edit));
    return mask ? std::u16string(text.size(), mask) : text;
  }
  // The inside as drawn, right of the text.
  std::uint32_t Background(std::u16string_view form, std::u16string_view control) const {
    HWND field = H(form, control);
    RedrawWindow(field, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT r{};
    GetClientRect(field, &r);
    HDC dc = GetDC(field);
    const COLORREF pixel = GetPixel(dc, r.right - 5, r.bottom / 2);
    ReleaseDC(field, dc);
    return Rgb(pixel);
  }
  static std::uint32_t ButtonFace() { return Rgb(GetSysColor(COLOR_BTNFACE)); }
  void PointAt(std::u16string_view form, std::u16string_view control) {
    RECT r{};
    GetWindowRect(H(form, control), &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Settle();
  }
  static Pointer PointerNow() {
    HCURSOR now = GetCursor();
    if (now == LoadCursorW(nullptr, IDC_ARROW)) return Pointer::Arrow;
    if (now == LoadCursorW(nullptr, IDC_IBEAM)) return Pointer::IBeam;
    if (now == LoadCursorW(nullptr, IDC_WAIT)) return Pointer::Hourglass;
    return Pointer::Other;
  }
  int AnswerMessageBox(const std::function<int()>& show, const BoxAnswer& answer, BoxSeen& seen) {
    GuiUser user;
    user.OnMessageBox("answer", [&](HWND box) {
      seen.title = U(TextOf(box));
      seen.text = U(MessageText(box));
      // The static control breaks its lines at CR LF.
      for (auto at = seen.text.find(u"\r\n"); at != std::u16string::npos;
           at = seen.text.find(u"\r\n"))
        seen.text.erase(at, 1);
      HWND answerButton = nullptr;
      for (HWND c = nullptr; (c = FindWindowExW(box, c, nullptr, nullptr));) {
        wchar_t kind[16] = {};
        GetClassNameW(c, kind, 16);
        if (!IsWindowVisible(c)) continue;
        if (std::wstring_view(kind) == L"Button") {
          std::u16string text = U(TextOf(c));
          std::erase(text, u'&');
          if (text == answer.button) answerButton = c;
          seen.buttons.push_back(std::move(text));
        } else if (auto icon = reinterpret_cast<HICON>(SendMessageW(c, STM_GETICON, 0, 0))) {
          seen.icon = icon == LoadIconW(nullptr, IDI_INFORMATION) ? BoxIcon::Information
                      : icon == LoadIconW(nullptr, IDI_WARNING)   ? BoxIcon::Warning
                      : icon == LoadIconW(nullptr, IDI_ERROR)     ? BoxIcon::Critical
                      : icon == LoadIconW(nullptr, IDI_QUESTION)  ? BoxIcon::Question
                                                                  : BoxIcon::None;
        }
      }
      std::sort(seen.buttons.begin(), seen.buttons.end());
      seen.owner = FormOf(GetWindow(box, GW_OWNER));
      seen.ownerBlocked = !seen.owner.empty() && IsBlocked(seen.owner);
      switch (answer.kind) {
        case BoxAnswer::Button:
          if (answerButton) return ClickAt(answerButton);
          return ADD_FAILURE() << "no button " << U8(answer.button);
        case BoxAnswer::Key:
          return Key(answer.key);
        case BoxAnswer::Letter:
          return Press(static_cast<WORD>(answer.letter));
        case BoxAnswer::CloseBox:
          return Press(VK_F4, VK_MENU);
      }
    });
    return user.Drive(show);
  }
  HWND H(std::u16string_view form, std::u16string_view control = {}) const {
    return control.empty() ? backend.WindowHandle(form) : backend.ControlHandle(form, control);
  }
  // The form whose window that is; empty for none.
  std::u16string FormOf(HWND hwnd) const {
    for (const char16_t* form : {u"FMStart", u"FMPass", u"FMServer", u"frmAbout"})
      if (hwnd && H(form) == hwnd) return form;
    return {};
  }

  win32::Win32Backend backend;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32Backend, Core, Win32Driver);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32Backend, Windows, Win32Driver);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32Backend, Input, Win32Driver);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32Backend, Dialogs, Win32Driver);
// Not YesNoBox: Wine's Yes/No box answers Cancel (2) to Escape and its close box, and the
// backend passes that on.
// Not Accessible: Wine has no accessible objects of the standard controls (E_NOINTERFACE).

// What only Windows has.
using Win32BackendTest = BackendTest<Win32Driver>;

TEST_F(Win32BackendTest, FormsAreLaidOutAtTheirDpiAndEveryLabelFits) {
  for (auto layout :
       {forms::FMStartLayout, forms::FMPassLayout, forms::FMServerLayout, forms::frmAboutLayout}) {
    const auto form = layout();
    SCOPED_TRACE(U8(form.name));
    Shown(form);
    ASSERT_EQ(int(backend().Dpi(form.name)), ExpectedDpi());
    for (const auto& l : form.controls) {
      if (l.kind != platform::ControlKind::Label) continue;
      HWND label = driver.H(form.name, l.name);
      const Rect box = driver.ControlBox(form.name, l.name);
      RECT text{0, 0, box.width, 0};
      HDC dc = GetDC(label);
      SelectObject(dc, HFONT(SendMessageW(label, WM_GETFONT, 0, 0)));  // NOLINT: the API
      DrawTextW(dc, TextOf(label).c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
      ReleaseDC(label, dc);
      EXPECT_TRUE(text.right <= box.width && text.bottom <= box.height) << U8(l.name);
    }
  }
  // Moved to a screen of another DPI, a form is laid out again for it.
  const int dpi = ExpectedDpi();
  RECT suggested{10, 20, 400, 200};
  SendMessageW(driver.H(u"FMPass"), WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi),
               LPARAM(&suggested));
  EXPECT_EQ(driver.Client(u"FMPass").width, 500 * dpi / 96);
  const Rect field = driver.ControlBox(u"FMPass", u"BUSER");
  EXPECT_EQ((std::vector<int>{field.width, field.height, field.left, field.top}),
            (std::vector<int>{194 * dpi / 96, 38 * dpi / 96, 288 * dpi / 96, 16 * dpi / 96}));
}

TEST_F(Win32BackendTest, At144DpiEverythingIsHalfAsLargeAgain) {
  // The system reads the DPI setting when a process starts: a second run of this program
  // checks the layouts under it.
  DWORD dpi = 144;
  const wchar_t* key = L"Control Panel\\Desktop";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &dpi, 4), 0);
  SetEnvironmentVariableW(L"QUOREL_EXPECTED_DPI", L"144");
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const auto status = _wspawnl(_P_WAIT, self, self,
                               L"--gtest_filter=*.FormsAreLaidOut*:*Windows*.EveryForm*:"
                               L"*Windows*.DialogsAreCentred*:*Windows*.LabelsLinks*",
                               nullptr);
  SetEnvironmentVariableW(L"QUOREL_EXPECTED_DPI", nullptr);
  RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels");
  EXPECT_EQ(status, 0);
}

// Its task-bar entry brought it back; shown again, it is no longer minimised.
TEST_F(Win32BackendTest, ShowingAMinimisedWindowAgainBringsItBack) {
  const WindowId server = Shown(forms::FMServerLayout());
  driver.Minimize(u"FMServer");
  EXPECT_TRUE(Until([&] { return driver.IsMinimized(u"FMServer"); }, 1000));
  backend().HideWindow(server);
  backend().ShowWindow(server, kNoWindow, false);
  EXPECT_TRUE(Active(u"FMServer"));
  EXPECT_FALSE(driver.IsMinimized(u"FMServer"));
}

TEST_F(Win32BackendTest, MessageBoxButtonsAnswerTheirAccessLetters) {
  Shown(forms::FMPassLayout());
  for (const auto& [letter, answer] : {std::pair(u'J', platform::vbYes), {u'N', platform::vbNo}}) {
    BoxSeen seen;
    EXPECT_EQ(driver.AnswerMessageBox(
                  [&] { return backend().MessageBox(u"Frage", platform::vbYesNo, u"Titel"); },
                  BoxAnswer::Access(letter), seen),
              answer);
  }
}

// Explorer, shortcuts and "Programs and Features" show the first icon of a program.
TEST(Win32Artwork, TheProgramsOwnIconIsTheFirst) {
  std::vector<std::wstring> icons;
  EnumResourceNamesW(
      nullptr, RT_GROUP_ICON,
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) -> BOOL {
        if (!IS_INTRESOURCE(name))
          reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(name);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&icons));
  ASSERT_FALSE(icons.empty());
  EXPECT_EQ(icons.front(), L"APPLICATION");
}

}  // namespace
}  // namespace quorel::testing
