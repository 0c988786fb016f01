// The Win32 backend on its own: the real layouts built into real windows, and what it reports
// when the user acts on them (recorded here instead of going to the window semantics).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "forms/FMPass.h"
#include "forms/FMServer.h"
#include "forms/FMStart.h"
#include "forms/frmAbout.h"
#include "gui_user.h"
#include "platform/desktop.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_backend.h"

namespace quorel::testing {
namespace {

using platform::desktop::WindowId;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// Every report as one line: "clicked FMPass.BUSpeich", "key FMPass Enter", ...
class Recorder final : public platform::desktop::BackendEvents {
 public:
  void Name(WindowId w, std::u16string_view name) { names_[w] = text::ToUtf8(name); }
  void Clicked(WindowId w, std::u16string_view c) override { Add("clicked", w, "." + U8(c)); }
  void MenuChosen(WindowId w, std::u16string_view i) override { Add("menu", w, "." + U8(i)); }
  void KeyPressed(WindowId w, platform::desktop::Key k) override {
    using enum platform::desktop::Key;
    Add("key", w, k == Enter ? " Enter" : k == Escape ? " Escape" : " F1");
  }
  void CloseRequested(WindowId w) override { Add("close", w); }
  void Activated(WindowId w) override { Add("activated", w); }
  void FormFocused(WindowId w) override { Add("form focused", w); }
  void FocusLost(WindowId w, std::u16string_view c) override { Add("focus lost", w, "." + U8(c)); }
  void TimerFired(WindowId w, std::u16string_view t) override { Add("timer", w, "." + U8(t)); }
  Lines lines;

 private:
  static std::string U8(std::u16string_view s) { return text::ToUtf8(s); }
  void Add(const char* what, WindowId w, const std::string& detail = {}) {
    lines.push_back(std::string(what) + " " + names_[w] + detail);
  }
  std::map<WindowId, std::string> names_;
};

class Win32BackendTest : public ::testing::Test {
 protected:
  Win32BackendTest() { backend.SetEvents(events); }
  WindowId Shown(const platform::FormDescription& form, WindowId owner = 0, bool modal = false) {
    const WindowId id = backend.CreateWindow(form);
    events.Name(id, form.name);
    backend.ShowWindow(id, owner, modal);
    EXPECT_TRUE(Until([&] { return GetForegroundWindow() == backend.WindowHandle(form.name); }))
        << text::ToUtf8(form.name) << " did not come to the front";
    return id;
  }
  bool Until(const std::function<bool()>& done, DWORD ms = 3000) {
    for (const DWORD start = GetTickCount(); !done(); backend.ProcessEvents(10ms))
      if (GetTickCount() - start > ms) return false;
    return true;
  }
  // The reports of what was done since the last call, once they have all come.
  Lines Take(std::size_t count) {
    Until([&] { return events.lines.size() >= count; });
    for (int i = 0; i < 5; ++i)
      backend.ProcessEvents(10ms);
    return std::exchange(events.lines, {});
  }
  HWND H(std::u16string_view form, std::u16string_view control) {
    return backend.ControlHandle(form, control);
  }

  Recorder events;
  win32::Win32Backend backend;
};

// Layout: client sizes, frames, captions and fonts at the DPI the process runs with.

struct LayoutCase {
  platform::FormDescription (*layout)();
  SIZE at96, at144;
};

TEST_F(Win32BackendTest, FormsHaveTheirClientSizeFrameAndCaptionAndEveryLabelFits) {
  const char* expected = std::getenv("QUOREL_EXPECTED_DPI");
  const unsigned dpi = expected ? static_cast<unsigned>(std::atoi(expected)) : 96;
  const LayoutCase cases[] = {{forms::FMStartLayout, {628, 412}, {942, 618}},
                              {forms::FMPassLayout, {250, 94}, {375, 141}},
                              {forms::FMServerLayout, {248, 121}, {372, 182}},
                              {forms::frmAboutLayout, {550, 253}, {825, 380}}};
  for (const auto& c : cases) {
    const auto form = c.layout();
    SCOPED_TRACE(text::ToUtf8(form.name));
    const WindowId id = backend.CreateWindow(form);
    HWND hwnd = backend.WindowHandle(form.name);
    ASSERT_EQ(backend.Dpi(form.name), dpi);
    RECT client{};
    GetClientRect(hwnd, &client);
    const SIZE size = dpi == 144 ? c.at144 : c.at96;
    EXPECT_EQ(client.right, size.cx);
    EXPECT_EQ(client.bottom, size.cy);
    const auto style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    const bool sizable = form.frame == platform::FrameKind::Sizable;
    EXPECT_EQ((style & WS_THICKFRAME) != 0, sizable);
    EXPECT_EQ((style & WS_MAXIMIZEBOX) != 0, sizable);
    EXPECT_EQ((GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0, form.showInTaskbar);
    backend.SetCaption(id, u"A & B [*] äöü");
    EXPECT_EQ(TextOf(hwnd), L"A & B [*] äöü");
    for (const auto& l : form.controls) {
      if (l.kind != platform::ControlKind::Label) continue;
      HWND label = H(form.name, l.name);
      RECT box{}, text{};
      GetClientRect(label, &box);
      text.right = box.right;
      HDC dc = GetDC(label);
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
      const std::wstring shown = TextOf(label);
      DrawTextW(dc, shown.c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
      ReleaseDC(label, dc);
      EXPECT_LE(text.right, box.right) << text::ToUtf8(l.name);
      EXPECT_LE(text.bottom, box.bottom) << text::ToUtf8(l.name);
    }
  }
}

TEST_F(Win32BackendTest, At144DpiEverythingIsHalfAsLargeAgain) {
  // The system reads the DPI setting when a process starts: a second run of this program
  // checks the layouts under it.
  const wchar_t* key = L"Control Panel\\Desktop";
  DWORD dpi = 144;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &dpi, sizeof dpi), 0);
  SetEnvironmentVariableW(L"QUOREL_EXPECTED_DPI", L"144");
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command =
      L"\"" + std::wstring(self) + L"\" --gtest_filter=*.FormsHaveTheirClientSizeFrameAndCaption*";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &child);
  SetEnvironmentVariableW(L"QUOREL_EXPECTED_DPI", nullptr);
  DWORD status = 99;
  if (started) {
    WaitForSingleObject(child.hProcess, 60000);
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
  }
  RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels");
  EXPECT_EQ(status, 0u);
}

TEST_F(Win32BackendTest, MovedToAScreenOfAnotherDpiTheFormIsLaidOutAgain) {
  backend.CreateWindow(forms::FMPassLayout());
  HWND pass = backend.WindowHandle(u"FMPass");
  RECT suggested{10, 20, 400, 200}, client{}, field{};
  SendMessageW(pass, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  GetClientRect(pass, &client);
  EXPECT_EQ(client.right, 500);
  EXPECT_EQ(client.bottom, 188);
  GetWindowRect(H(u"FMPass", u"BUSER"), &field);
  MapWindowPoints(nullptr, pass, reinterpret_cast<POINT*>(&field), 2);
  EXPECT_EQ(field.left, 288);
  EXPECT_EQ(field.bottom - field.top, 38);
}

// Keys, menus and buttons.

TEST_F(Win32BackendTest, EnterEscapeAndF1GoToTheWindowRulesAndNeverToTheControls) {
  Shown(forms::FMPassLayout());
  SetFocus(H(u"FMPass", u"BUSER"));
  Take(0);
  for (WORD key : {VK_RETURN, VK_ESCAPE, VK_F1})
    Press(key);
  EXPECT_EQ(Take(3), (Lines{"key FMPass Enter", "key FMPass Escape", "key FMPass F1"}));
  SetFocus(H(u"FMPass", u"BUAusst"));
  Press(VK_RETURN);  // a focused button does not click itself: the window rules decide
  Press(VK_SPACE);
  EXPECT_EQ(Take(3),
            (Lines{"focus lost FMPass.BUSER", "key FMPass Enter", "clicked FMPass.BUAusst"}));
  Shown(forms::frmAboutLayout());
  Take(0);
  Press('S', VK_MENU);  // "&Systeminfo..."
  EXPECT_EQ(Take(2), (Lines{"focus lost frmAbout.cmdOK", "clicked frmAbout.cmdSysInfo"}));
}

TEST_F(Win32BackendTest, MenuBarHasTheAccessLettersAndF1ChoosesItsItem) {
  Shown(forms::FMStartLayout());
  HMENU bar = GetMenu(backend.WindowHandle(u"FMStart"));
  std::vector<std::wstring> shape;
  wchar_t text[64];
  for (int i = 0; i < GetMenuItemCount(bar); ++i) {
    GetMenuStringW(bar, i, text, 64, MF_BYPOSITION);
    shape.push_back(text);
    HMENU sub = GetSubMenu(bar, i);
    for (int j = 0; j < GetMenuItemCount(sub); ++j)
      shape.push_back(GetMenuStringW(sub, j, text, 64, MF_BYPOSITION) ? L"  " + std::wstring(text)
                                                                      : L"  -");
  }
  EXPECT_EQ(shape, (std::vector<std::wstring>{L"&Datei", L"  &Login", L"  -", L"  &Beenden",
                                              L"&Hilfe", L"  Hilfe &über ...\tF1"}));
  Take(0);
  Press(VK_F1);
  EXPECT_EQ(Take(1), Lines{"menu FMStart.HilfeUeber"});
  Press('D', VK_MENU);
  Press('B');
  EXPECT_EQ(Take(1), Lines{"menu FMStart.Beenden"});
}

// Text fields.

TEST_F(Win32BackendTest, TheKeyboardEntersAtMostTwentyCharactersButProgramTextsStayWhole) {
  struct Case {
    const wchar_t *preset, *typed, *pasted, *expected;
  };
  const std::wstring a25(25, L'a'), a20(20, L'a'), x20(20, L'x'), y30(30, L'y'), y29(29, L'y');
  const std::wstring p30(30, L'p'), fit = L"abc" + std::wstring(17, L'p');
  const Case cases[] = {
      {L"", a25.c_str(), L"", a20.c_str()},    {x20.c_str(), L"b", L"", x20.c_str()},
      {y30.c_str(), L"", L"", y30.c_str()},    {y30.c_str(), L"\bz", L"", y29.c_str()},
      {L"abc", L"", p30.c_str(), fit.c_str()}, {x20.c_str(), L"", L"pp", x20.c_str()}};
  const WindowId pass = Shown(forms::FMPassLayout());
  HWND edit = H(u"FMPass", u"BPASSWORT");
  EXPECT_EQ(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), L'*');
  for (const auto& c : cases) {
    SCOPED_TRACE(text::ToUtf8(win32::FromWide(c.preset)) + " + " +
                 text::ToUtf8(win32::FromWide(c.typed)));
    backend.SetControlText(pass, u"BPASSWORT", win32::FromWide(c.preset));
    SetFocus(edit);
    Press(VK_END);
    for (wchar_t ch : std::wstring_view(c.typed))
      ch == L'\b' ? Press(VK_BACK) : Type(std::wstring(1, ch));
    if (*c.pasted) {
      OpenClipboard(nullptr);
      EmptyClipboard();
      const std::size_t bytes = (wcslen(c.pasted) + 1) * sizeof(wchar_t);
      HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes);
      memcpy(GlobalLock(data), c.pasted, bytes);
      GlobalUnlock(data);
      SetClipboardData(CF_UNICODETEXT, data);
      CloseClipboard();
      Press('V', VK_CONTROL);
    }
    const std::u16string want = win32::FromWide(c.expected);
    EXPECT_TRUE(Until([&] { return backend.ControlText(pass, u"BPASSWORT") == want; }, 1000))
        << text::ToUtf8(backend.ControlText(pass, u"BPASSWORT"));
  }
}

TEST_F(Win32BackendTest, FocusFollowsTheTabOrderLinksIncludedAndItsLossIsReported) {
  const WindowId pass = Shown(forms::FMPassLayout());
  EXPECT_EQ(backend.FocusedControl(pass), u"BUSER");
  Take(0);
  Press(VK_TAB);
  EXPECT_EQ(Take(1), Lines{"focus lost FMPass.BUSER"});
  EXPECT_EQ(backend.FocusedControl(pass), u"BPASSWORT");
  const WindowId about = Shown(forms::frmAboutLayout());
  // Moving the focus in a window that is not active still counts.
  backend.SetFocus(pass, u"BUSpeich");
  EXPECT_EQ(backend.FocusedControl(pass), u"BUSpeich");
  Lines order{text::ToUtf8(backend.FocusedControl(about))};
  for (int i = 0; i < 5; ++i) {
    Press(VK_TAB);
    Take(1);
    order.push_back(text::ToUtf8(backend.FocusedControl(about)));
  }
  EXPECT_EQ(order,
            (Lines{"cmdOK", "picIcon", "cmdSysInfo", "ctHyperLink1", "ctHyperLink2", "cmdOK"}));
}

TEST_F(Win32BackendTest, ServerFieldsShowTheButtonFaceLockedOrOpen) {
  const WindowId server = Shown(forms::FMServerLayout());
  for (bool open : {false, true}) {
    backend.SetControlEnabled(server, u"BFIRMA", open);
    HWND field = H(u"FMServer", u"BFIRMA");
    RedrawWindow(field, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(field);
    EXPECT_EQ(GetPixel(dc, 16, 3), GetSysColor(COLOR_BTNFACE)) << (open ? "open" : "locked");
    ReleaseDC(field, dc);
  }
}

// Modality, the close box, timers, message boxes and the pointer.

TEST_F(Win32BackendTest, ModalWindowsDisableTheOthersAndTheCloseBoxOnlyReports) {
  const WindowId start = Shown(forms::FMStartLayout());
  const WindowId pass = Shown(forms::FMPassLayout(), start, true);
  const WindowId serverId = Shown(forms::FMServerLayout(), pass, true);
  HWND main = backend.WindowHandle(u"FMStart"), dialog = backend.WindowHandle(u"FMPass");
  HWND server = backend.WindowHandle(u"FMServer");
  EXPECT_EQ(GetWindow(server, GW_OWNER), dialog);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), main);
  EXPECT_FALSE(IsWindowEnabled(main) || IsWindowEnabled(dialog));
  Take(0);
  Press(VK_F4, VK_MENU);
  EXPECT_EQ(Take(1), Lines{"close FMServer"});
  EXPECT_TRUE(IsWindowVisible(server));
  backend.HideWindow(serverId);
  // The window manager may hand the activation on more than once: always to the login dialog.
  const Lines activations = Take(1);
  EXPECT_FALSE(activations.empty());
  for (const auto& line : activations)
    EXPECT_EQ(line, "activated FMPass");
  EXPECT_TRUE(IsWindowEnabled(dialog) && !IsWindowEnabled(main));
  EXPECT_EQ(GetForegroundWindow(), dialog);
  backend.HideWindow(pass);
  EXPECT_TRUE(IsWindowEnabled(main));
}

TEST_F(Win32BackendTest, TimersRepeatRestartAndStop) {
  const WindowId server = backend.CreateWindow(forms::FMServerLayout());
  events.Name(server, u"FMServer");
  backend.StartTimer(server, u"Lock", 50);
  Until([] { return false; }, 280);
  const auto ticks = Take(0).size();
  EXPECT_GE(ticks, 3u);
  EXPECT_LE(ticks, 6u);
  // Restarted every 20 ms, a 60 ms timer never fires.
  for (const DWORD start = GetTickCount(); GetTickCount() - start < 250;) {
    backend.StartTimer(server, u"Lock", 60);
    backend.ProcessEvents(20ms);
  }
  backend.StopTimer(server, u"Lock");
  Until([] { return false; }, 100);
  EXPECT_TRUE(Take(0).empty());
}

TEST_F(Win32BackendTest, MessageBoxesShowTheStyleAndReturnTheAnswer) {
  struct Case {
    int style;
    std::vector<int> buttons;
    WORD key;
    int answer;
  };
  const Case cases[] = {
      {platform::vbOKOnly, {IDOK}, VK_RETURN, platform::vbOK},
      {platform::vbExclamation, {IDOK}, VK_ESCAPE, platform::vbOK},
      {platform::vbYesNo, {IDYES, IDNO}, VK_RETURN, platform::vbYes},
      {platform::vbYesNo | platform::vbCritical, {IDYES, IDNO}, 'N', platform::vbNo}};
  Shown(forms::FMPassLayout());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.style);
    GuiUser user;
    user.OnMessageBox("answer", [&](HWND box) {
      EXPECT_EQ(TextOf(box), L"Titel");
      EXPECT_EQ(MessageText(box), L"Zeile 1\r\nZeile 2");
      EXPECT_EQ(GetWindow(box, GW_OWNER), backend.WindowHandle(u"FMPass"));
      EXPECT_FALSE(IsWindowEnabled(backend.WindowHandle(u"FMPass")));
      for (int id : {IDOK, IDYES, IDNO})
        EXPECT_EQ(GetDlgItem(box, id) != nullptr,
                  std::find(c.buttons.begin(), c.buttons.end(), id) != c.buttons.end());
      Press(c.key);
    });
    EXPECT_EQ(
        user.Drive([&] { return backend.MessageBox(u"Zeile 1\r\nZeile 2", c.style, u"Titel"); }),
        c.answer);
    EXPECT_TRUE(IsWindowEnabled(backend.WindowHandle(u"FMPass")));
  }
}

TEST_F(Win32BackendTest, TheHourglassIsShownOverEveryWindowUntilItIsReset) {
  Shown(forms::FMPassLayout());
  RECT field{};
  GetWindowRect(H(u"FMPass", u"BUSER"), &field);
  SetCursorPos(field.left + 5, field.top + 5);
  backend.ProcessEvents(50ms);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM));
  backend.SetMousePointer(platform::vbHourglass);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  SetCursorPos(field.left - 20, field.top + 5);  // over the label
  backend.ProcessEvents(50ms);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  backend.SetMousePointer(platform::vbDefault);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

}  // namespace
}  // namespace quorel::testing
