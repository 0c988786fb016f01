// The whole program on a backend of real windows, driven with keyboard and mouse: the forms, the
// window semantics and the backend as shipped, with the settings in memory, the scripted server
// and the wall clock. Each backend's test program instantiates Journey with the Driver of its
// backend suites (backend_fixture.h), which further has:
//   Pointer ProgramPointer();        what the program's windows show, wherever the mouse is
//   using Clock; static std::unique_ptr<platform::System> MakeSystem(commandLine);
// Include in one source file per test program.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "forms/exit_status.h"
#include "platform/desktop/form_desktop.h"
#include "platform/headless/diagnostics_log.h"
#include "platform/headless/memory_store.h"
#include "platform/headless/scripted_server.h"
#include "session/cacheapi.h"
#include "tests/platform/desktop/backend_fixture.h"

namespace quorel::testing::backend {

// Passes every call on to the scripted server and notes the pointer during each one.
class PointerWatch final : public platform::ServerClientFactory {
 public:
  PointerWatch(platform::ServerClientFactory& inner, std::function<Pointer()> pointer)
      : inner_(inner), pointer_(std::move(pointer)) {}

  std::unique_ptr<platform::ServerClient> Create() override {
    return std::make_unique<Client>(*this, inner_.Create());
  }
  // One entry per call: "connect hourglass", "open arrow", ...
  Lines calls;

 private:
  class Client final : public platform::ServerClient {
   public:
    Client(PointerWatch& watch, std::unique_ptr<platform::ServerClient> inner)
        : watch_(watch), inner_(std::move(inner)) {}
    bool Connect(std::u16string_view connectString) override {
      watch_.Note("connect");
      return inner_->Connect(connectString);
    }
    bool IsConnected() override { return inner_->IsConnected(); }
    void Disconnect() override { inner_->Disconnect(); }
    std::unique_ptr<platform::ServerObject> OpenId(std::u16string_view className,
                                                   std::u16string_view id) override {
      watch_.Note("open");
      return inner_->OpenId(className, id);
    }

   private:
    PointerWatch& watch_;
    std::unique_ptr<platform::ServerClient> inner_;
  };

  void Note(const std::string& call) {
    const Pointer p = pointer_();
    calls.push_back(call + (p == Pointer::Hourglass ? " hourglass" : " other"));
  }

  platform::ServerClientFactory& inner_;
  std::function<Pointer()> pointer_;
};

inline const std::u16string kCaption = u"MIRLOX Quorel              Firma: ";

template <class Driver>
class Journey : public ::testing::Test {
 protected:
  // Runs the program started with this command line while the user takes the steps given.
  int Run(std::u16string commandLine = {}) {
    const auto system = Driver::MakeSystem(std::move(commandLine));
    desktop.emplace(d.backend, u"Quorel");
    cacheapi::Platform platform{*desktop, store, clock, watch, *system, diagnostics};
    app::Program program{platform};
    const int status = d.user.Drive([&] { return program.Run(); });
    EXPECT_TRUE(d.user.Done()) << "steps left";
    return status;
  }
  // Acts once the form's window is shown and active.
  void In(std::u16string form, const std::string& what, std::function<void()> act) {
    d.user.When(
        U8(form) + ": " + what, [this, form] { return d.IsActive(form); }, std::move(act));
  }
  void AddUser(const std::u16string& id, const std::u16string& password,
               const std::u16string& name) {
    server.AddRecord(id, {{u"PASSWORT", password}, {u"AKTIV", u"J"}, {u"PNAME", name}});
  }

  Driver d;
  platform::headless::EventLog log;
  platform::headless::ScriptedServer server{log};
  PointerWatch watch{server, [this] { return d.ProgramPointer(); }};
  platform::headless::MemoryStore store;
  platform::headless::DiagnosticsLog diagnostics{log};
  typename Driver::Clock clock;
  std::optional<platform::desktop::FormDesktop> desktop;
};

TYPED_TEST_SUITE_P(Journey);

TYPED_TEST_P(Journey, EscapeInTheLoginDialogCancels) {
  BoxSeen refused;
  this->In(u"FMPass", "press Escape", [&] { this->d.Key(UserKey::Escape); });
  this->d.OnMessageBox("the login is refused", BoxAnswer::Press(UserKey::Enter), refused);
  EXPECT_EQ(this->Run(), forms::kExitRefused);
  EXPECT_EQ(refused.text, u"Passwort Falsch oder Benutzer nicht Aktiv");
  EXPECT_EQ(refused.title, u"Anmeldung an Caché");
  EXPECT_TRUE(this->store.Writes().empty());
}

// Mouse and keyboard, upper-casing on leaving the field, the focus in the password field on
// every activation, the modal nesting login dialog -> server dialog -> message box, and Enter in
// a field choosing the default button of either dialog.
TYPED_TEST_P(Journey, TheUserLogsInThroughTheServerDialogAndEnterChoosesTheDefaultButton) {
  auto& d = this->d;
  this->AddUser(u"4||MAX", u"pw", u"Jürgen Müller");
  BoxSeen question;
  this->In(u"FMPass", "the cursor is in the password field; type the user, open the server dialog",
           [&] {
             EXPECT_TRUE(d.HasKeyboardFocus(u"FMPass", u"BPASSWORT"));
             d.Click(u"FMPass", u"BUSER");
             d.Type(u"max");
             d.Click(u"FMPass", u"BUServer");
           });
  this->In(u"FMServer", "modal over the login dialog, upper-cased; unlock", [&] {
    EXPECT_EQ(this->desktop->Text(u"FMPass", u"BUSER"), u"MAX");
    EXPECT_EQ(d.OwnerOf(u"FMServer"), u"FMPass");
    EXPECT_TRUE(d.IsBlocked(u"FMPass"));
    EXPECT_FALSE(d.IsEnabled(u"FMServer", u"BFIRMA"));
    d.Key(UserKey::Space);  // "Ändern" has the focus
  });
  d.OnMessageBox("allow changes: Ja", BoxAnswer::Click(u"Ja"), question);
  this->In(u"FMServer", "change the company, Enter in the field goes back", [&] {
    EXPECT_TRUE(d.IsEnabled(u"FMServer", u"BFIRMA"));
    d.Key(UserKey::BackTab);  // back from "Ändern" over the branch to the company
    d.Key(UserKey::BackTab);
    d.Type(u"4");
    d.Key(UserKey::Enter);
  });
  this->In(u"FMPass", "back, the cursor in the password field again; log in with Enter", [&] {
    EXPECT_FALSE(d.IsVisible(u"FMServer"));
    EXPECT_TRUE(d.HasKeyboardFocus(u"FMPass", u"BPASSWORT"));
    d.Type(u"pw");
    d.Key(UserKey::Enter);
  });
  this->In(u"FMStart", "logged in with the changed company; the close box ends", [&] {
    EXPECT_EQ(d.Caption(u"FMStart"),
              kCaption + u"4     Filiale: 0     Benutzer: MAX | Jürgen Müller");
    EXPECT_FALSE(d.IsVisible(u"FMPass"));
    EXPECT_NE(d.ProgramPointer(), Pointer::Hourglass);
    d.CloseBox(u"FMStart");
  });
  EXPECT_EQ(this->Run(), forms::kExitNormal);
  EXPECT_EQ(question.text, u"Änderungen erlauben?");
  const auto& writes = this->store.Writes();
  ASSERT_EQ(writes.size(), 7u);
  EXPECT_EQ(writes[0].value, u"4");
  EXPECT_EQ(writes[2].value, u"MAX");
  EXPECT_EQ(writes[3].value, cacheapi::ScramblePassword(u"pw"));
  // The pointer is the hourglass while the server works.
  EXPECT_EQ(this->watch.calls, (Lines{"connect hourglass", "open hourglass"}));
}

TYPED_TEST_P(Journey, TheQuestionOfChangeDecidesWhetherTheFieldsOpen) {
  auto& d = this->d;
  const struct {
    const char* what = "";
    BoxAnswer answer;
    bool unlocked = false;
  } cases[] = {{"Ja", BoxAnswer::Click(u"Ja"), true},
               {"Nein", BoxAnswer::Click(u"Nein"), false},
               {"Escape", BoxAnswer::Press(UserKey::Escape), false},
               {"close box", BoxAnswer::Close(), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BoxSeen question, refused;
    this->In(u"FMPass", "open the server dialog", [&] { d.Click(u"FMPass", u"BUServer"); });
    this->In(u"FMServer", "ask to change", [&] { d.Click(u"FMServer", u"BUEdit"); });
    d.OnMessageBox(c.what, c.answer, question);
    this->In(u"FMServer", "look at the fields, then go back", [&] {
      for (auto field : {u"BPORT", u"BSERVERIP", u"BFIRMA", u"BFIL", u"BNAMESPACE"})
        EXPECT_EQ(d.IsEnabled(u"FMServer", field), c.unlocked) << U8(field);
      d.Key(UserKey::Escape);  // no cancel button: nothing happens
      d.Click(u"FMServer", u"BUZurück");
    });
    this->In(u"FMPass", "cancel", [&] { d.Click(u"FMPass", u"BUAusst"); });
    d.OnMessageBox("refused", BoxAnswer::Click(u"OK"), refused);
    EXPECT_EQ(this->Run(), forms::kExitRefused);
  }
}

TYPED_TEST_P(Journey, MainWindowOpensTheAboutBoxWithF1AndTheLoginWithAltDL) {
  auto& d = this->d;
  this->AddUser(u"7||MAX", u"secret", u"Max Muster");
  this->In(u"FMStart", "F1", [&] {
    EXPECT_EQ(d.Caption(u"FMStart"), kCaption + u"7     Filiale: 2     Benutzer: MAX | Max Muster");
    d.Key(UserKey::F1);
  });
  this->In(u"frmAbout", "the about box; Escape closes it", [&] {
    EXPECT_EQ(d.Caption(u"frmAbout"), u"Info zu Quorel");
    EXPECT_EQ(this->desktop->Text(u"frmAbout", u"lblVersion"), u"1.0.0");
    d.Key(UserKey::Escape);
  });
  this->In(u"FMStart", "Alt+D, L", [&] {
    EXPECT_FALSE(this->desktop->Exists(u"frmAbout"));
    d.Alt(u'D');
    d.Type(u"l");
  });
  this->In(u"FMPass", "the login dialog, modeless over the main window", [&] {
    EXPECT_EQ(d.OwnerOf(u"FMPass"), u"FMStart");
    EXPECT_FALSE(d.IsBlocked(u"FMStart"));
    EXPECT_EQ(this->desktop->Text(u"FMPass", u"BUSER"), u"MAX");
    EXPECT_TRUE(d.HasKeyboardFocus(u"FMPass", u"BPASSWORT"));
    d.Key(UserKey::Escape);
  });
  this->In(u"FMStart", "the dialog is gone; end with Alt+D, B", [&] {
    EXPECT_FALSE(this->desktop->Exists(u"FMPass"));
    d.Alt(u'D');
    d.Type(u"b");
  });
  EXPECT_EQ(this->Run(u"7 2 MAX secret 10.9.8.7 1999 OTHER"), forms::kExitNormal);
  EXPECT_TRUE(this->store.Writes().empty());
}

REGISTER_TYPED_TEST_SUITE_P(Journey, EscapeInTheLoginDialogCancels,
                            TheUserLogsInThroughTheServerDialogAndEnterChoosesTheDefaultButton,
                            TheQuestionOfChangeDecidesWhetherTheFieldsOpen,
                            MainWindowOpensTheAboutBoxWithF1AndTheLoginWithAltDL);

}  // namespace quorel::testing::backend
