// The whole program on the real Win32 windows, driven with keyboard and mouse: the forms, the
// window semantics and the Win32 backend as shipped, with the settings in memory and the
// scripted server.
#include <gtest/gtest.h>

#include "app/program.h"
#include "forms/exit_status.h"
#include "gui_user.h"
#include "platform/desktop/form_desktop.h"
#include "platform/headless/memory_store.h"
#include "platform/headless/scripted_server.h"
#include "platform/win32/desktop/win32_backend.h"
#include "platform/win32/system/local_clock.h"
#include "platform/win32/system/win32_system.h"
#include "session/cacheapi.h"

namespace quorel::testing {
namespace {

struct GuiProgram {
  // Acts once the form's window is shown and in front.
  void In(std::u16string_view form, std::string what, std::function<void()> act) {
    const auto ready = [this, form] { return GetForegroundWindow() == H(form) && H(form); };
    user.When(std::move(what), ready, std::move(act));
  }
  HWND H(std::u16string_view form, std::u16string_view control = {}) {
    return control.empty() ? backend.WindowHandle(form) : backend.ControlHandle(form, control);
  }

  platform::headless::EventLog log;
  platform::headless::ScriptedServer server{log};
  platform::headless::MemoryStore store;
  win32::LocalClock clock;
  win32::Win32System system{u""};
  win32::Win32Backend backend;
  platform::desktop::FormDesktop desktop{backend, u"Quorel"};
  cacheapi::Platform platform{desktop, store, clock, server, system};
  app::Program program{platform};
  GuiUser user;
};

// Enter, Alt letters, upper-casing on leaving the field, the focus in the password field on
// every activation, and the modal nesting login dialog -> server dialog -> message box.
TEST(Win32Program, TheUserLogsInThroughTheServerDialogWithTheKeyboard) {
  GuiProgram p;
  p.server.AddRecord(u"4||MAX",
                     {{u"PASSWORT", u"pw"}, {u"AKTIV", u"J"}, {u"PNAME", u"Max Muster"}});
  p.In(u"FMPass", "the cursor in the password field; type the user, open the server", [&] {
    EXPECT_EQ(GetFocus(), p.H(u"FMPass", u"BPASSWORT"));
    Keys({VK_TAB}, VK_SHIFT);
    Type(L"max");
    Keys({VK_TAB, VK_TAB, VK_TAB, VK_TAB, VK_SPACE});  // to "Server" and press it
  });
  p.In(u"FMServer", "modal over the login dialog, upper-cased; unlock", [&] {
    EXPECT_EQ(TextOf(p.H(u"FMPass", u"BUSER")), L"MAX");
    EXPECT_EQ(GetWindow(p.H(u"FMServer"), GW_OWNER), p.H(u"FMPass"));
    EXPECT_FALSE(IsWindowEnabled(p.H(u"FMPass")) || IsWindowEnabled(p.H(u"FMServer", u"BFIRMA")));
    Press(VK_SPACE);  // "Ändern" has the focus
  });
  p.user.OnMessageBox("allow changes: Ja", [](HWND box) {
    EXPECT_EQ(MessageText(box), L"Änderungen erlauben?");
    Press('J');
  });
  p.In(u"FMServer", "change the company, Enter in the field goes back", [&] {
    Keys({VK_TAB, VK_TAB}, VK_SHIFT);  // back from "Ändern" over the branch to the company
    Type(L"4");
    Press(VK_RETURN);
  });
  p.In(u"FMPass", "back, the cursor in the password field again; log in", [&] {
    EXPECT_FALSE(IsWindowVisible(p.H(u"FMServer")));
    EXPECT_EQ(GetFocus(), p.H(u"FMPass", u"BPASSWORT"));
    Type(L"pw");
    Press(VK_RETURN);
  });
  p.In(u"FMStart", "logged in with the changed company; Alt+D, B ends", [&] {
    EXPECT_EQ(TextOf(p.H(u"FMStart")),
              L"MIRLOX Quorel              Firma: 4     Filiale: 0     Benutzer: MAX | Max Muster");
    Press('D', VK_MENU);
    Press('B');
  });
  EXPECT_EQ(p.user.Drive([&] { return p.program.Run(); }), forms::kExitNormal);
  EXPECT_TRUE(p.user.Done());
  const auto& writes = p.store.Writes();
  ASSERT_EQ(writes.size(), 7u);
  EXPECT_EQ(writes[0].value, u"4");
  EXPECT_EQ(writes[3].value, cacheapi::ScramblePassword(u"pw"));
}

}  // namespace
}  // namespace quorel::testing
