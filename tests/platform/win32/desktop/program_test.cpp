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
#include "platform/win32/local_clock.h"
#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_system.h"
#include "session/cacheapi.h"

namespace quorel::testing {
namespace {

struct GuiProgram {
  explicit GuiProgram(std::u16string commandLine = {}) : system(std::move(commandLine)) {}
  int Run() {
    return user.Drive([this] { return program.Run(); });
  }
  void AddUser(const std::u16string& id, const std::u16string& password,
               const std::u16string& name) {
    server.AddRecord(id, {{u"PASSWORT", password}, {u"AKTIV", u"J"}, {u"PNAME", name}});
  }
  std::function<HWND()> Form(std::u16string_view form) {
    return [this, form] { return backend.WindowHandle(form); };
  }
  HWND H(std::u16string_view form, std::u16string_view control = {}) {
    return control.empty() ? backend.WindowHandle(form) : backend.ControlHandle(form, control);
  }

  platform::headless::EventLog log;
  platform::headless::ScriptedServer server{log};
  platform::headless::MemoryStore store;
  win32::LocalClock clock;
  win32::Win32System system;
  win32::Win32Backend backend;
  platform::desktop::FormDesktop desktop{backend, u"Quorel"};
  cacheapi::Platform platform{desktop, store, clock, server, system};
  app::Program program{platform};
  GuiUser user;
};

const std::wstring kCaption = L"MIRLOX Quorel              Firma: ";

TEST(Win32Program, LoginDialogTakesTheUserWithEnterAndUpperCasesTheCode) {
  GuiProgram p;
  p.AddUser(u"1||ABC", u"pw", u"Jürgen Müller");
  GuiUser& u = p.user;
  u.In(p.Form(u"FMPass"), "the cursor is in the password field; type the user code", [&] {
    EXPECT_EQ(GetFocus(), p.H(u"FMPass", u"BPASSWORT"));
    Click(p.H(u"FMPass", u"BUSER"));
    Type(L"abc");
    Press(VK_TAB);
  });
  u.When(
      "the code is upper-cased on leaving the field; type the password",
      [&] { return TextOf(p.H(u"FMPass", u"BUSER")) == L"ABC"; },
      [&] {
        EXPECT_EQ(GetFocus(), p.H(u"FMPass", u"BPASSWORT"));
        Type(L"pw");
        Press(VK_RETURN);
      });
  u.In(p.Form(u"FMStart"), "the main window shows the user; end with Alt+D, B", [&] {
    EXPECT_EQ(TextOf(p.H(u"FMStart")),
              kCaption + L"1     Filiale: 0     Benutzer: ABC | Jürgen Müller");
    EXPECT_FALSE(IsWindowVisible(p.H(u"FMPass")));
    Press('D', VK_MENU);
    Press('B');
  });
  EXPECT_EQ(p.Run(), forms::kExitNormal);
  EXPECT_TRUE(u.Done());
  const auto& writes = p.store.Writes();
  ASSERT_EQ(writes.size(), 7u);
  EXPECT_EQ(writes[2].value, u"ABC");
  EXPECT_EQ(writes[3].value, cacheapi::ScramblePassword(u"pw"));
}

TEST(Win32Program, EscapeInTheLoginDialogCancels) {
  GuiProgram p;
  GuiUser& u = p.user;
  u.In(p.Form(u"FMPass"), "press Escape", [] { Press(VK_ESCAPE); });
  u.OnMessageBox("the login is refused", [](HWND box) {
    EXPECT_EQ(MessageText(box), L"Passwort Falsch oder Benutzer nicht Aktiv");
    EXPECT_EQ(TextOf(box), L"Anmeldung an Caché");
    Press(VK_RETURN);
  });
  EXPECT_EQ(p.Run(), forms::kExitRefused);
  EXPECT_TRUE(u.Done());
  EXPECT_TRUE(p.store.Writes().empty());
}

TEST(Win32Program, ServerDialogNestsInTheLoginDialogAndEnterInAnOpenFieldGoesBack) {
  GuiProgram p;
  p.AddUser(u"4||MAX", u"pw", u"Max Muster");
  GuiUser& u = p.user;
  u.In(p.Form(u"FMPass"), "enter the login, then open the server dialog", [&] {
    Click(p.H(u"FMPass", u"BUSER"));
    Type(L"MAX");
    Click(p.H(u"FMPass", u"BPASSWORT"));
    Type(L"pw");
    Click(p.H(u"FMPass", u"BUServer"));
  });
  u.In(p.Form(u"FMServer"), "a modal dialog owned by the login dialog; unlock the fields", [&] {
    EXPECT_EQ(GetWindow(p.H(u"FMServer"), GW_OWNER), p.H(u"FMPass"));
    EXPECT_FALSE(IsWindowEnabled(p.H(u"FMPass")));
    EXPECT_FALSE(IsWindowEnabled(p.H(u"FMServer", u"BFIRMA")));
    Click(p.H(u"FMServer", u"BUEdit"));
  });
  u.OnMessageBox("allow changes: Ja", [](HWND box) {
    EXPECT_EQ(MessageText(box), L"Änderungen erlauben?");
    Press('J');
  });
  u.In(p.Form(u"FMServer"), "change the company and press Enter in the field", [&] {
    EXPECT_TRUE(IsWindowEnabled(p.H(u"FMServer", u"BFIRMA")));
    Click(p.H(u"FMServer", u"BFIRMA"));
    Press(VK_END);
    Press(VK_BACK);
    Type(L"4");
    Press(VK_RETURN);
  });
  u.In(p.Form(u"FMPass"), "back in the login dialog, the cursor in the password field", [&] {
    EXPECT_FALSE(IsWindowVisible(p.H(u"FMServer")));
    EXPECT_EQ(GetFocus(), p.H(u"FMPass", u"BPASSWORT"));
    Click(p.H(u"FMPass", u"BUSpeich"));
  });
  u.In(p.Form(u"FMStart"), "logged in with the changed company; the close box ends", [&] {
    EXPECT_EQ(TextOf(p.H(u"FMStart")),
              kCaption + L"4     Filiale: 0     Benutzer: MAX | Max Muster");
    Press(VK_F4, VK_MENU);
  });
  EXPECT_EQ(p.Run(), forms::kExitNormal);
  EXPECT_TRUE(u.Done());
  EXPECT_EQ(p.store.Writes().at(0).value, u"4");
}

TEST(Win32Program, MainWindowOpensTheAboutBoxWithF1AndTheLoginWithAltDL) {
  GuiProgram p(u"7 2 MAX secret 10.9.8.7 1999 OTHER");
  p.AddUser(u"7||MAX", u"secret", u"Max Muster");
  GuiUser& u = p.user;
  u.In(p.Form(u"FMStart"), "F1", [] { Press(VK_F1); });
  u.In(p.Form(u"frmAbout"), "the about box; Escape closes it", [&] {
    EXPECT_EQ(TextOf(p.H(u"frmAbout")), L"Info zu Quorel");
    EXPECT_EQ(TextOf(p.H(u"frmAbout", u"lblVersion")), L"1.0.0");
    Press(VK_ESCAPE);
  });
  u.In(p.Form(u"FMStart"), "Alt+D, L", [&] {
    EXPECT_EQ(p.H(u"frmAbout"), nullptr);
    Press('D', VK_MENU);
    Press('L');
  });
  u.In(p.Form(u"FMPass"), "the login dialog, modeless over the main window", [&] {
    EXPECT_EQ(GetWindow(p.H(u"FMPass"), GW_OWNER), p.H(u"FMStart"));
    EXPECT_TRUE(IsWindowEnabled(p.H(u"FMStart")));
    EXPECT_EQ(TextOf(p.H(u"FMPass", u"BUSER")), L"MAX");
    EXPECT_EQ(GetFocus(), p.H(u"FMPass", u"BPASSWORT"));
    Press(VK_ESCAPE);
  });
  u.When(
      "the dialog is gone; end with Alt+D, B", [&] { return p.H(u"FMPass") == nullptr; },
      [] {
        Press('D', VK_MENU);
        Press('B');
      });
  EXPECT_EQ(p.Run(), forms::kExitNormal);
  EXPECT_TRUE(u.Done());
  EXPECT_TRUE(p.store.Writes().empty());
}

}  // namespace
}  // namespace quorel::testing
