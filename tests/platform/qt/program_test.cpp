// The whole program on the real Qt windows, driven with keyboard and mouse.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>

#include "forms/exit_status.h"
#include "gui_program.h"
#include "session/cacheapi.h"

namespace quorel::testing {
namespace {

namespace headless = platform::headless;

QString Q(std::u16string_view s) {
  return QString::fromStdU16String(std::u16string(s));
}

void ClickButton(QMessageBox& box, const QString& text) {
  for (QAbstractButton* b : box.buttons())
    if (b->text() == text) return b->click();
  ADD_FAILURE() << "no button " << text.toStdString();
}

const std::u16string kCaption = u"MIRLOX Quorel              Firma: ";

TEST(QtProgram, LoginDialogTakesTheUserWithEnterAndUpperCasesTheCode) {
  GuiProgram p;
  p.AddUser(u"1||ABC", u"pw", u"Jürgen Müller");
  GuiUser& u = p.user;
  u.In(u"FMPass", "the cursor is in the password field; type the user code", [&] {
    EXPECT_EQ(p.backend.FocusedControl(p.desktop.WindowOf(u"FMPass")), u"BPASSWORT");
    u.Click(u"FMPass", u"BUSER");
    GuiUser::Type(QStringLiteral("abc"));
    GuiUser::Press(Qt::Key_Tab);
  });
  u.In(u"FMPass", "the code is upper-cased on leaving the field; type the password", [&] {
    EXPECT_EQ(p.desktop.Text(u"FMPass", u"BUSER"), u"ABC");
    EXPECT_EQ(p.backend.FocusedControl(p.desktop.WindowOf(u"FMPass")), u"BPASSWORT");
    GuiUser::Type(QStringLiteral("pw"));
    GuiUser::Press(Qt::Key_Return);
  });
  u.In(u"FMStart", "the main window shows the user", [&] {
    EXPECT_EQ(p.backend.TopLevel(u"FMStart")->windowTitle(),
              Q(kCaption + u"1     Filiale: 0     Benutzer: ABC | Jürgen Müller"));
    EXPECT_FALSE(u.IsVisible(u"FMPass"));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    GuiUser::Press(Qt::Key_D, Qt::AltModifier);
    GuiUser::Press(Qt::Key_B);
  });
  EXPECT_EQ(p.Run(), forms::kExitNormal);
  EXPECT_TRUE(u.Done());
  const auto& writes = p.store.Writes();
  ASSERT_EQ(writes.size(), 7u);
  EXPECT_EQ(writes[2].value, u"ABC");
  EXPECT_EQ(writes[3].value, cacheapi::ScramblePassword(u"pw"));
  // The pointer is the hourglass while the server works.
  EXPECT_EQ(p.watch.calls, (std::vector<std::string>{"connect wait", "open wait"}));
}

TEST(QtProgram, EscapeInTheLoginDialogCancels) {
  GuiProgram p;
  GuiUser& u = p.user;
  u.In(u"FMPass", "press Escape", [] { GuiUser::Press(Qt::Key_Escape); });
  u.OnMessageBox("the login is refused", [](QMessageBox& box) {
    EXPECT_EQ(box.text(), QStringLiteral("Passwort Falsch oder Benutzer nicht Aktiv"));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Anmeldung an Caché"));
    GuiUser::Press(Qt::Key_Return);
  });
  EXPECT_EQ(p.Run(), forms::kExitRefused);
  EXPECT_TRUE(u.Done());
  EXPECT_TRUE(p.store.Writes().empty());
}

TEST(QtProgram, ServerDialogNestsInTheLoginDialogAndEnterInAnOpenFieldGoesBack) {
  GuiProgram p;
  p.AddUser(u"4||MAX", u"pw", u"Max Muster");
  GuiUser& u = p.user;
  u.In(u"FMPass", "enter the login, then open the server dialog", [&] {
    u.Click(u"FMPass", u"BUSER");
    GuiUser::Type(QStringLiteral("MAX"));
    u.Click(u"FMPass", u"BPASSWORT");
    GuiUser::Type(QStringLiteral("pw"));
    u.Click(u"FMPass", u"BUServer");
  });
  u.In(u"FMServer", "a modal dialog owned by the login dialog; unlock the fields", [&] {
    QWidget* server = p.backend.TopLevel(u"FMServer");
    EXPECT_EQ(server->parentWidget(), p.backend.TopLevel(u"FMPass"));
    EXPECT_EQ(QApplication::activeModalWidget(), server);
    EXPECT_FALSE(u.Widget(u"FMServer", u"BFIRMA")->isEnabled());
    u.Click(u"FMServer", u"BUEdit");
  });
  u.OnMessageBox("allow changes", [](QMessageBox& box) {
    EXPECT_EQ(box.text(), QStringLiteral("Änderungen erlauben?"));
    ClickButton(box, QStringLiteral("Ja"));
  });
  u.In(u"FMServer", "change the company and press Enter in the field", [&] {
    QWidget* firma = u.Widget(u"FMServer", u"BFIRMA");
    EXPECT_TRUE(firma->isEnabled());
    u.Click(u"FMServer", u"BFIRMA");
    qobject_cast<QLineEdit*>(firma)->selectAll();
    GuiUser::Type(QStringLiteral("4"));
    GuiUser::Press(Qt::Key_Return);
  });
  u.In(u"FMPass", "back in the login dialog, the cursor in the password field", [&] {
    EXPECT_FALSE(u.IsVisible(u"FMServer"));
    EXPECT_EQ(QApplication::focusWidget(), u.Widget(u"FMPass", u"BPASSWORT"));
    u.Click(u"FMPass", u"BUSpeich");
  });
  u.In(u"FMStart", "logged in with the changed company", [&] {
    EXPECT_EQ(p.backend.TopLevel(u"FMStart")->windowTitle(),
              Q(kCaption + u"4     Filiale: 0     Benutzer: MAX | Max Muster"));
    p.backend.TopLevel(u"FMStart")->close();  // the close box ends the program
  });
  EXPECT_EQ(p.Run(), forms::kExitNormal);
  EXPECT_TRUE(u.Done());
  EXPECT_EQ(p.store.Writes().at(0).value, u"4");
}

struct ChangeAnswer {
  const char* what;
  std::function<void(QMessageBox&)> answer;
  bool unlocked;
};

void PrintTo(const ChangeAnswer& answer, std::ostream* out) {
  *out << answer.what;
}

class QtProgramChange : public ::testing::TestWithParam<ChangeAnswer> {};

TEST_P(QtProgramChange, TheQuestionOfChangeDecidesWhetherTheFieldsOpen) {
  GuiProgram p;
  GuiUser& u = p.user;
  u.In(u"FMPass", "open the server dialog", [&] { u.Click(u"FMPass", u"BUServer"); });
  u.In(u"FMServer", "ask to change", [&] { u.Click(u"FMServer", u"BUEdit"); });
  u.OnMessageBox(GetParam().what, GetParam().answer);
  u.In(u"FMServer", "look at the fields, then go back", [&] {
    for (auto field : {u"BPORT", u"BSERVERIP", u"BFIRMA", u"BFIL", u"BNAMESPACE"})
      EXPECT_EQ(u.Widget(u"FMServer", field)->isEnabled(), GetParam().unlocked)
          << text::ToUtf8(field);
    GuiUser::Press(Qt::Key_Escape);  // no cancel button: nothing happens
    u.Click(u"FMServer", u"BUZurück");
  });
  u.In(u"FMPass", "cancel", [&] { u.Click(u"FMPass", u"BUAusst"); });
  u.OnMessageBox("refused", [](QMessageBox& box) { ClickButton(box, QStringLiteral("OK")); });
  EXPECT_EQ(p.Run(), forms::kExitRefused);
  EXPECT_TRUE(u.Done());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, QtProgramChange,
    ::testing::Values(
        ChangeAnswer{"Ja", [](QMessageBox& b) { ClickButton(b, QStringLiteral("Ja")); }, true},
        ChangeAnswer{"Nein", [](QMessageBox& b) { ClickButton(b, QStringLiteral("Nein")); }, false},
        ChangeAnswer{"Escape", [](QMessageBox&) { GuiUser::Press(Qt::Key_Escape); }, false},
        ChangeAnswer{"close box", [](QMessageBox& b) { b.close(); }, false}),
    [](const auto& info) {
      std::string name = info.param.what;
      std::erase(name, ' ');
      return name;
    });

TEST(QtProgram, MainWindowOpensTheAboutBoxWithF1AndTheLoginWithAltDL) {
  GuiProgram p(u"7 2 MAX secret 10.9.8.7 1999 OTHER");
  p.AddUser(u"7||MAX", u"secret", u"Max Muster");
  GuiUser& u = p.user;
  u.In(u"FMStart", "F1", [&] {
    EXPECT_EQ(p.backend.TopLevel(u"FMStart")->windowTitle(),
              Q(kCaption + u"7     Filiale: 2     Benutzer: MAX | Max Muster"));
    GuiUser::Press(Qt::Key_F1);
  });
  u.In(u"frmAbout", "the about box; Escape closes it", [&] {
    EXPECT_EQ(p.backend.TopLevel(u"frmAbout")->windowTitle(), QStringLiteral("Info zu Quorel"));
    EXPECT_EQ(p.desktop.Text(u"frmAbout", u"lblVersion"), u"1.0.0");
    GuiUser::Press(Qt::Key_Escape);
  });
  u.In(u"FMStart", "Alt+D, L", [&] {
    EXPECT_EQ(p.backend.TopLevel(u"frmAbout"), nullptr);
    GuiUser::Press(Qt::Key_D, Qt::AltModifier);
    GuiUser::Press(Qt::Key_L);
  });
  u.In(u"FMPass", "the login dialog, modeless over the main window", [&] {
    QWidget* pass = p.backend.TopLevel(u"FMPass");
    EXPECT_EQ(pass->parentWidget(), p.backend.TopLevel(u"FMStart"));
    EXPECT_EQ(pass->windowModality(), Qt::NonModal);
    EXPECT_EQ(p.desktop.Text(u"FMPass", u"BUSER"), u"MAX");
    EXPECT_EQ(QApplication::focusWidget(), u.Widget(u"FMPass", u"BPASSWORT"));
    GuiUser::Press(Qt::Key_Escape);
  });
  u.In(u"FMStart", "the dialog is gone; end with Alt+D, B", [&] {
    EXPECT_EQ(p.backend.TopLevel(u"FMPass"), nullptr);
    GuiUser::Press(Qt::Key_D, Qt::AltModifier);
    GuiUser::Press(Qt::Key_B);
  });
  EXPECT_EQ(p.Run(), forms::kExitNormal);
  EXPECT_TRUE(u.Done());
  EXPECT_TRUE(p.store.Writes().empty());
}

}  // namespace
}  // namespace quorel::testing
