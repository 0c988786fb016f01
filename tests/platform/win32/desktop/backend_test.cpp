// The Win32 backend on its own: the real layouts built into real windows, and what it reports
// when the user acts on them (recorded here instead of going to the window semantics).
#include <gtest/gtest.h>
#include <process.h>

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
#include "platform/win32/desktop/win32_backend.h"

namespace quorel::testing {
namespace {

using platform::desktop::WindowId;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// Every report as one line: "clicked FMPass BUSpeich", "key FMPass Enter", ...
class Recorder final : public platform::desktop::BackendEvents {
 public:
  void Clicked(WindowId w, std::u16string_view c) override { Add("clicked", w, c); }
  void MenuChosen(WindowId w, std::u16string_view item) override { Add("menu", w, item); }
  void KeyPressed(WindowId w, platform::desktop::Key k) override {
    using enum platform::desktop::Key;
    Add("key", w, k == Enter ? u"Enter" : k == Escape ? u"Escape" : u"F1");
  }
  void CloseRequested(WindowId w) override { Add("close", w); }
  void Activated(WindowId w) override { Add("activated", w); }
  void FormFocused(WindowId w) override { Add("form focused", w); }
  void FocusLost(WindowId w, std::u16string_view c) override { Add("focus lost", w, c); }
  void TimerFired(WindowId w, std::u16string_view t) override { Add("timer", w, t); }
  std::map<WindowId, std::string> names;
  Lines lines;

 private:
  void Add(const char* what, WindowId w, std::u16string_view detail = {}) {
    lines.push_back(std::string(what) + " " + names[w] +
                    (detail.empty() ? "" : " " + text::ToUtf8(detail)));
  }
};

class Win32BackendTest : public ::testing::Test {
 protected:
  Win32BackendTest() { backend.SetEvents(events); }
  WindowId Create(const platform::FormDescription& form) {
    const WindowId id = backend.CreateWindow(form);
    events.names[id] = text::ToUtf8(form.name);
    return id;
  }
  WindowId Shown(const platform::FormDescription& form, WindowId owner = 0, bool modal = false) {
    const WindowId id = Create(form);
    backend.ShowWindow(id, owner, modal);
    EXPECT_TRUE(Until([&] { return GetForegroundWindow() == H(form.name); })) << "not in front";
    return id;
  }
  bool Until(const std::function<bool()>& done, DWORD ms = 3000) {
    for (const DWORD start = GetTickCount(); !done(); backend.ProcessEvents(10ms))
      if (GetTickCount() - start > ms) return false;
    return true;
  }
  // What was reported since the last call, once at least count reports have come.
  Lines Take(std::size_t count) {
    Until([&] { return events.lines.size() >= count; });
    Until([] { return false; }, 50);
    return std::exchange(events.lines, {});
  }
  HWND H(std::u16string_view form, std::u16string_view control = {}) {
    return control.empty() ? backend.WindowHandle(form) : backend.ControlHandle(form, control);
  }
  // A control's place in its window (width, height, left, top), or a window's client size.
  static std::vector<long> Box(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    if (!GetParent(hwnd)) GetClientRect(hwnd, &r);
    return {r.right - r.left, r.bottom - r.top, r.left, r.top};
  }

  Recorder events;
  win32::Win32Backend backend;
};

// Layout: client sizes, frames, captions and fonts at the DPI the process runs with.

TEST_F(Win32BackendTest, FormsHaveTheirClientSizeFrameAndCaptionAndEveryLabelFits) {
  const char* expected = std::getenv("QUOREL_EXPECTED_DPI");
  const long dpi = expected ? std::atol(expected) : 96;
  const struct {
    platform::FormDescription (*layout)();
    long at96[2], at144[2];
  } cases[] = {{forms::FMStartLayout, {628, 412}, {942, 618}},
               {forms::FMPassLayout, {250, 94}, {375, 141}},
               {forms::FMServerLayout, {248, 121}, {372, 182}},
               {forms::frmAboutLayout, {550, 253}, {825, 380}}};
  for (const auto& c : cases) {
    const auto form = c.layout();
    SCOPED_TRACE(text::ToUtf8(form.name));
    const WindowId id = Shown(form);
    ASSERT_EQ(long(backend.Dpi(form.name)), dpi);
    const long* size = dpi == 144 ? c.at144 : c.at96;
    EXPECT_EQ(Box(H(form.name)), (std::vector<long>{size[0], size[1], 0, 0}));
    const auto sizable = WS_THICKFRAME | WS_MAXIMIZEBOX;
    EXPECT_EQ(GetWindowLongPtrW(H(form.name), GWL_STYLE) & sizable,
              form.frame == platform::FrameKind::Sizable ? sizable : 0);
    backend.SetCaption(id, u"A & B [*] äöü");
    EXPECT_EQ(TextOf(H(form.name)), L"A & B [*] äöü");
    for (const auto& l : form.controls) {
      if (l.kind != platform::ControlKind::Label) continue;
      HWND label = H(form.name, l.name);
      RECT text{0, 0, Box(label)[0], 0};
      HDC dc = GetDC(label);
      SelectObject(dc, HFONT(SendMessageW(label, WM_GETFONT, 0, 0)));  // NOLINT: the API
      DrawTextW(dc, TextOf(label).c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
      ReleaseDC(label, dc);
      EXPECT_TRUE(text.right <= Box(label)[0] && text.bottom <= Box(label)[1])
          << text::ToUtf8(l.name);
    }
  }
  // Moved to a screen of another DPI, a form is laid out again for it.
  RECT suggested{10, 20, 400, 200};
  SendMessageW(H(u"FMPass"), WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi), LPARAM(&suggested));
  EXPECT_EQ(Box(H(u"FMPass"))[0], 500 * dpi / 96);
  EXPECT_EQ(Box(H(u"FMPass", u"BUSER")),
            (std::vector<long>{194 * dpi / 96, 38 * dpi / 96, 288 * dpi / 96, 16 * dpi / 96}));
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
  const auto status = _wspawnl(_P_WAIT, self, self, L"--gtest_filter=*.FormsHave*", nullptr);
  SetEnvironmentVariableW(L"QUOREL_EXPECTED_DPI", nullptr);
  RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels");
  EXPECT_EQ(status, 0);
}

// Owners, modality, placement, the task bar, the close box and colours.

TEST_F(Win32BackendTest, ModalDialogsAreCentredDisableTheOthersAndStayOutOfTheTaskBar) {
  const WindowId start = Shown(forms::FMStartLayout());
  const WindowId pass = Shown(forms::FMPassLayout(), start, true);
  const WindowId server = Shown(forms::FMServerLayout(), pass, true);
  RECT a{}, b{};
  GetWindowRect(H(u"FMStart"), &a);
  GetWindowRect(H(u"FMPass"), &b);
  EXPECT_LE(
      std::abs(a.left + a.right - b.left - b.right) + std::abs(a.top + a.bottom - b.top - b.bottom),
      2);
  EXPECT_EQ(GetWindow(H(u"FMServer"), GW_OWNER), H(u"FMPass"));
  EXPECT_FALSE(IsWindowEnabled(H(u"FMStart")) || IsWindowEnabled(H(u"FMPass")));
  Take(0);
  Press(VK_F4, VK_MENU);  // the close box only reports
  EXPECT_EQ(Take(1), Lines{"close FMServer"});
  backend.HideWindow(server);
  // The window manager may hand the activation on more than once: always to the login dialog.
  for (const auto& line : Take(1))
    EXPECT_EQ(line, "activated FMPass");
  EXPECT_TRUE(GetForegroundWindow() == H(u"FMPass") && !IsWindowEnabled(H(u"FMStart")));
  // Without owner, out of the task bar under a hidden owner; the server dialog, which can be
  // minimised, has an entry, and a new show brings it back from it.
  backend.HideWindow(pass);
  backend.ShowWindow(pass, 0, false);
  EXPECT_FALSE(IsWindowVisible(GetWindow(H(u"FMPass"), GW_OWNER)));
  EXPECT_FALSE(GetWindowLongPtrW(H(u"FMPass"), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  backend.ShowWindow(server, 0, true);
  EXPECT_TRUE(GetWindowLongPtrW(H(u"FMServer"), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  ::ShowWindow(H(u"FMServer"), SW_MINIMIZE);
  backend.HideWindow(server);
  backend.ShowWindow(server, 0, false);
  EXPECT_FALSE(IsIconic(H(u"FMServer")));
  for (bool open : {false, true}) {  // its fields show the button face, locked or open
    backend.SetControlEnabled(server, u"BFIRMA", open);
    HWND field = H(u"FMServer", u"BFIRMA");
    RedrawWindow(field, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(field);
    EXPECT_EQ(GetPixel(dc, 16, 3), GetSysColor(COLOR_BTNFACE)) << open;
    ReleaseDC(field, dc);
  }
  Shown(forms::frmAboutLayout());  // at its stored position
  POINT client{0, 0};
  ClientToScreen(H(u"frmAbout"), &client);
  EXPECT_EQ(std::pair(client.x, client.y), std::pair(156l, 129l));
}

// Keys, menus, buttons, text fields and the focus.

TEST_F(Win32BackendTest, EnterEscapeAndF1GoToTheWindowRulesAndNeverToTheControls) {
  Shown(forms::FMPassLayout());
  Take(0);
  Keys({VK_RETURN, VK_ESCAPE, VK_F1});
  EXPECT_EQ(Take(3), (Lines{"key FMPass Enter", "key FMPass Escape", "key FMPass F1"}));
  SetFocus(H(u"FMPass", u"BUAusst"));
  Keys({VK_RETURN, VK_SPACE});  // a focused button does not click itself on Enter
  EXPECT_EQ(Take(3),
            (Lines{"focus lost FMPass BUSER", "key FMPass Enter", "clicked FMPass BUAusst"}));
  Shown(forms::frmAboutLayout());
  Take(0);
  Press('S', VK_MENU);  // "&Systeminfo..."
  EXPECT_EQ(Take(2), (Lines{"focus lost frmAbout cmdOK", "clicked frmAbout cmdSysInfo"}));
  Shown(forms::FMStartLayout());
  Take(0);
  Press(VK_F1);  // the shortcut of its menu item, not a key of its own
  EXPECT_EQ(Take(1), Lines{"menu FMStart HilfeUeber"});
}

TEST_F(Win32BackendTest, TheKeyboardEntersAtMostTwentyCharactersButProgramTextsStayWhole) {
  const std::u16string x20(20, u'x'), y30(30, u'y');
  const struct {
    std::u16string preset;
    std::vector<WORD> keys;  // 'A' types a
    std::u16string expected;
  } cases[] = {{u"", std::vector<WORD>(25, 'A'), std::u16string(20, u'a')},
               {x20, {'A'}, x20},
               {y30, {}, y30},
               {y30, {VK_BACK, 'A'}, y30.substr(1)}};
  const WindowId pass = Shown(forms::FMPassLayout());
  HWND edit = H(u"FMPass", u"BPASSWORT");
  EXPECT_EQ(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), L'*');
  for (const auto& c : cases) {
    backend.SetControlText(pass, u"BPASSWORT", c.preset);
    SetFocus(edit);
    Press(VK_END);
    Keys(c.keys);
    EXPECT_TRUE(Until([&] { return backend.ControlText(pass, u"BPASSWORT") == c.expected; }, 1000))
        << text::ToUtf8(backend.ControlText(pass, u"BPASSWORT"));
  }
}

TEST_F(Win32BackendTest, FocusFollowsTheTabOrderLinksIncludedAndItsLossIsReported) {
  const WindowId pass = Shown(forms::FMPassLayout());
  EXPECT_EQ(backend.FocusedControl(pass), u"BUSER");
  const WindowId about = Shown(forms::frmAboutLayout());
  Take(2);
  backend.SetFocus(pass, u"BUSpeich");  // in a window that is not active it still counts
  EXPECT_EQ(backend.FocusedControl(pass), u"BUSpeich");
  EXPECT_EQ(Take(1), Lines{"focus lost FMPass BUSER"});
  Lines order{text::ToUtf8(backend.FocusedControl(about))};
  for (Press(VK_TAB); order.size() < 6; Press(VK_TAB)) {
    Take(1);
    order.push_back(text::ToUtf8(backend.FocusedControl(about)));
  }
  EXPECT_EQ(order,
            (Lines{"cmdOK", "picIcon", "cmdSysInfo", "ctHyperLink1", "ctHyperLink2", "cmdOK"}));
}

// Message boxes and the pointer.

TEST_F(Win32BackendTest, MessageBoxesAnswerWhatTheirButtonsSay) {
  Shown(forms::FMPassLayout());
  const struct {
    int style, key, answer;
  } cases[] = {{platform::vbExclamation, VK_ESCAPE, platform::vbOK},
               {platform::vbYesNo | platform::vbCritical, 'N', platform::vbNo}};
  for (const auto& c : cases) {
    GuiUser user;
    user.OnMessageBox("answer", [&](HWND box) {
      EXPECT_EQ(TextOf(box) + L"|" + MessageText(box), L"Titel|Zeile 1\r\nZeile 2");
      EXPECT_TRUE(GetWindow(box, GW_OWNER) == H(u"FMPass") && !IsWindowEnabled(H(u"FMPass")));
      Press(static_cast<WORD>(c.key));
    });
    EXPECT_EQ(
        user.Drive([&] { return backend.MessageBox(u"Zeile 1\r\nZeile 2", c.style, u"Titel"); }),
        c.answer);
  }
}

TEST_F(Win32BackendTest, TheHourglassIsShownOverEveryWindowUntilItIsReset) {
  Shown(forms::FMPassLayout());
  RECT field{};
  GetWindowRect(H(u"FMPass", u"BUSER"), &field);
  SetCursorPos(field.left + 5, field.top + 5);
  Take(0);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM));
  backend.SetMousePointer(platform::vbHourglass);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));  // at once, without a move
  SetCursorPos(field.left - 20, field.top + 5);            // over the label
  Take(0);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  backend.SetMousePointer(platform::vbDefault);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
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
