// The Qt backend on its own: the real layouts built into real widgets, and what it reports when
// the user acts on them (recorded here instead of going to the window semantics).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <functional>
#include <string>
#include <vector>

#include "forms/FMPass.h"
#include "forms/FMServer.h"
#include "forms/FMStart.h"
#include "forms/frmAbout.h"
#include "platform/desktop.h"
#include "platform/qt/qt_backend.h"
#include "platform/text.h"

namespace quorel::testing {
namespace {

using platform::desktop::BackendEvents;
using platform::desktop::Key;
using platform::desktop::WindowId;
using namespace std::chrono_literals;

QString Q(std::u16string_view s) {
  return QString::fromStdU16String(std::u16string(s));
}

// Every report as one line: "clicked FMPass.BUSpeich", "key FMPass Enter", ...
class Recorder final : public BackendEvents {
 public:
  explicit Recorder(qt::QtBackend& backend) : backend_(backend) { backend.SetEvents(*this); }
  void Name(WindowId w, std::string name) { names_[w] = std::move(name); }

  void Clicked(WindowId w, std::u16string_view c) override { Add("clicked", w, c); }
  void MenuChosen(WindowId w, std::u16string_view item) override { Add("menu", w, item); }
  void KeyPressed(WindowId w, Key key) override {
    Add("key", w, key == Key::Enter ? u"Enter" : key == Key::Escape ? u"Escape" : u"F1");
  }
  void CloseRequested(WindowId w) override { Add("close", w); }
  void Activated(WindowId w) override { Add("activated", w); }
  void FormFocused(WindowId w) override { Add("form focused", w); }
  void FocusLost(WindowId w, std::u16string_view c) override { Add("focus lost", w, c); }
  void TimerFired(WindowId w, std::u16string_view t) override {
    Add("timer", w, t);
    if (onTimer) onTimer();
  }
  std::function<void()> onTimer;  // runs inside the tick, as a handler would

  // What was reported since the last call, after the pending events have been delivered.
  std::vector<std::string> Take() {
    backend_.ProcessEvents(20ms);
    backend_.ProcessEvents(0ms);
    return std::exchange(lines_, {});
  }

 private:
  void Add(const char* what, WindowId w, std::u16string_view detail = {}) {
    std::string line = std::string(what) + " " + names_[w];
    if (!detail.empty()) line += (std::string(what) == "key" ? " " : ".") + text::ToUtf8(detail);
    lines_.push_back(line);
  }
  qt::QtBackend& backend_;
  std::map<WindowId, std::string> names_;
  std::vector<std::string> lines_;
};

class QtBackendTest : public ::testing::Test {
 protected:
  WindowId Create(const platform::FormDescription& form) {
    const WindowId id = backend.CreateWindow(form);
    events.Name(id, text::ToUtf8(form.name));
    return id;
  }
  // Shows the window and waits until it is the active one.
  WindowId Shown(const platform::FormDescription& form, WindowId owner = 0, bool modal = false) {
    const WindowId id = Create(form);
    backend.ShowWindow(id, owner, modal);
    WaitActive(form.name);
    return id;
  }
  void WaitActive(std::u16string_view form) {
    QWidget* top = backend.TopLevel(form);
    QElapsedTimer clock;
    clock.start();
    while (QApplication::activeWindow() != top && clock.elapsed() < 5000)
      backend.ProcessEvents(10ms);
    ASSERT_EQ(QApplication::activeWindow(), top) << text::ToUtf8(form) << " did not get active";
  }
  QWidget* W(std::u16string_view form, std::u16string_view control) {
    QWidget* w = backend.ControlWidget(form, control);
    EXPECT_NE(w, nullptr) << text::ToUtf8(form) << "." << text::ToUtf8(control);
    return w;
  }
  QLineEdit* Edit(std::u16string_view form, std::u16string_view control) {
    return qobject_cast<QLineEdit*>(W(form, control));
  }

  qt::QtBackend backend;
  Recorder events{backend};
};

// Layout: sizes, captions, frames.

struct WindowCase {
  platform::FormDescription (*layout)();
  int width, height;
  const char16_t* caption;
  bool fixed;
  bool inTaskbarWithoutOwner;
};

TEST_F(QtBackendTest, EveryFormHasItsClientSizeCaptionAndFrame) {
  const WindowCase cases[] = {
      {forms::FMStartLayout, 628, 412, u"MIRLOX", false, true},
      {forms::FMPassLayout, 250, 94, u"MIRLOX Benutzeranmeldung", true, false},
      // It can be minimised: without owner it needs a task-bar entry to be found again.
      {forms::FMServerLayout, 248, 121, u"MIRLOX Server", false, true},
      {forms::frmAboutLayout, 550, 253, u"Info zu meiner Anwendung", true, false},
  };
  for (const auto& c : cases) {
    const platform::FormDescription form = c.layout();
    SCOPED_TRACE(text::ToUtf8(form.name));
    const WindowId id = Shown(form);
    QWidget* top = backend.TopLevel(form.name);
    EXPECT_EQ(backend.ClientArea(form.name)->size(), QSize(c.width, c.height));
    EXPECT_EQ(top->windowTitle(), Q(c.caption));
    EXPECT_EQ(top->minimumSize() == top->maximumSize(), c.fixed);
    const Qt::WindowFlags flags = top->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(bool(flags & Qt::WindowMaximizeButtonHint), !c.fixed);
    EXPECT_EQ(top->windowType() == Qt::Window, c.inTaskbarWithoutOwner);
    EXPECT_FALSE(top->windowIcon().isNull());
    backend.SetCaption(id, u"Neu: äöü");
    EXPECT_EQ(top->windowTitle(), QStringLiteral("Neu: äöü"));
    backend.DestroyWindow(id);
  }
}

TEST_F(QtBackendTest, CaptionsShowExactlyTheirText) {
  const WindowId id = Shown(forms::FMStartLayout());
  QWindow* shown = backend.TopLevel(u"FMStart")->windowHandle();
  ASSERT_NE(shown, nullptr);
  for (const char16_t* caption : {u"Benutzer: ABC | Meier [*] GmbH", u"[*]", u"[*][*]",
                                  u"a[*]b[*][*][*]c", u"[[*]]", u"[*", u"*]"}) {
    backend.SetCaption(id, caption);
    EXPECT_EQ(shown->title().toStdString(), Q(caption).toStdString());
  }
}

TEST_F(QtBackendTest, DialogsAreCentredOverTheirOwnerAndTheAboutBoxSitsWhereStored) {
  const WindowId start = Shown(forms::FMStartLayout());
  QWidget* main = backend.TopLevel(u"FMStart");
  main->move(40, 30);
  const WindowId pass = Shown(forms::FMPassLayout(), start);
  QWidget* dialog = backend.TopLevel(u"FMPass");
  EXPECT_EQ(dialog->parentWidget(), main);
  EXPECT_LE((dialog->frameGeometry().center() - main->frameGeometry().center()).manhattanLength(),
            2);
  backend.HideWindow(pass);
  // Shown again without owner: centred on the screen.
  backend.ShowWindow(pass, 0, true);
  EXPECT_EQ(dialog->parentWidget(), nullptr);
  const QRect screen = dialog->screen()->availableGeometry();
  EXPECT_LE((dialog->frameGeometry().center() - screen.center()).manhattanLength(), 2);
  backend.HideWindow(pass);  // modal: while shown, no other window could become active
  Shown(forms::frmAboutLayout());
  EXPECT_EQ(backend.ClientArea(u"frmAbout")->mapToGlobal(QPoint(0, 0)),
            QPoint(2340 / 15, 1935 / 15));
}

TEST_F(QtBackendTest, MenuBarFollowsTheMenuTable) {
  Shown(forms::FMStartLayout());
  auto* top = qobject_cast<QMainWindow*>(backend.TopLevel(u"FMStart"));
  ASSERT_NE(top, nullptr);
  QStringList shape;
  for (QAction* menu : top->menuBar()->actions()) {
    shape << menu->text();
    for (QAction* item : menu->menu()->actions())
      shape << (item->isSeparator() ? QStringLiteral("  -")
                                    : "  " + item->text() + " " + item->shortcut().toString());
  }
  EXPECT_EQ(shape, QStringList({"&Datei", "  &Login ", "  -", "  &Beenden ", "&Hilfe",
                                "  Hilfe &über ... F1"}));
  // The client area lies below the menu bar.
  EXPECT_GE(backend.ClientArea(u"FMStart")->y(), top->menuBar()->height());
}

// Reports.

TEST_F(QtBackendTest, EnterEscapeAndF1AreReportedAndNotHandledByTheWidgets) {
  Shown(forms::FMPassLayout());
  events.Take();
  QLineEdit* user = Edit(u"FMPass", u"BUSER");
  int returnPressed = 0;
  QObject::connect(user, &QLineEdit::returnPressed, [&] { ++returnPressed; });
  user->setFocus();
  QTest::keyClick(user, Qt::Key_Return);
  QTest::keyClick(user, Qt::Key_Enter, Qt::KeypadModifier);
  QTest::keyClick(user, Qt::Key_Escape);
  QTest::keyClick(user, Qt::Key_F1);
  // On a focused button Enter is reported as well, without the button clicking itself.
  W(u"FMPass", u"BUAusst")->setFocus();
  QTest::keyClick(W(u"FMPass", u"BUAusst"), Qt::Key_Return);
  auto lines = events.Take();
  std::erase_if(lines, [](const std::string& l) { return l.starts_with("focus lost"); });
  EXPECT_EQ(lines,
            (std::vector<std::string>{"key FMPass Enter", "key FMPass Enter", "key FMPass Escape",
                                      "key FMPass F1", "key FMPass Enter"}));
  EXPECT_EQ(returnPressed, 0);
}

TEST_F(QtBackendTest, ButtonsReportClicksByMouseSpaceAndAccessLetter) {
  Shown(forms::frmAboutLayout());
  events.Take();
  QWidget* ok = W(u"frmAbout", u"cmdOK");
  QTest::mouseClick(ok, Qt::LeftButton);
  ok->setFocus();
  QTest::keyClick(ok, Qt::Key_Space);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);  // "&Systeminfo..."
  QElapsedTimer clock;  // the access letter clicks with a short animation
  clock.start();
  std::vector<std::string> lines;
  while (lines.size() < 3 && clock.elapsed() < 3000) {
    auto more = events.Take();
    for (auto& l : more)
      if (l.starts_with("clicked")) lines.push_back(l);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"clicked frmAbout.cmdOK", "clicked frmAbout.cmdOK",
                                             "clicked frmAbout.cmdSysInfo"}));
}

TEST_F(QtBackendTest, MenuItemsReportTheirNameAndF1DoesNotAlsoComeAsKey) {
  Shown(forms::FMStartLayout());
  events.Take();
  QTest::keyClick(QApplication::activeWindow(), Qt::Key_F1);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"menu FMStart.HilfeUeber"});
  QTest::keyClick(QApplication::activeWindow(), Qt::Key_D, Qt::AltModifier);
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr) << "Alt+D opens no menu";
  QTest::keyClick(popup, Qt::Key_B);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"menu FMStart.Beenden"});
}

TEST_F(QtBackendTest, CloseBoxIsReportedAndTheWindowStays) {
  Shown(forms::FMServerLayout());
  events.Take();
  QWidget* top = backend.TopLevel(u"FMServer");
  EXPECT_FALSE(top->close());
  EXPECT_TRUE(top->isVisible());
  EXPECT_EQ(events.Take(), std::vector<std::string>{"close FMServer"});
}

TEST_F(QtBackendTest, ActivationIsReportedOnShowAndWhenTheWindowInFrontGoes) {
  const WindowId pass = Create(forms::FMPassLayout());
  backend.ShowWindow(pass, 0, true);
  WaitActive(u"FMPass");
  EXPECT_EQ(events.Take(), std::vector<std::string>{"activated FMPass"});
  const WindowId server = Shown(forms::FMServerLayout(), pass, true);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"activated FMServer"});
  backend.HideWindow(server);
  WaitActive(u"FMPass");
  EXPECT_EQ(events.Take(), std::vector<std::string>{"activated FMPass"});
  // The main window has no control to take the focus: the form takes it.
  backend.HideWindow(pass);
  Shown(forms::FMStartLayout());
  EXPECT_EQ(events.Take(), (std::vector<std::string>{"activated FMStart", "form focused FMStart"}));
}

TEST_F(QtBackendTest, FocusStartsInTabOrderAndItsLossIsReportedOnlyWithinTheWindow) {
  const WindowId pass = Shown(forms::FMPassLayout());
  EXPECT_EQ(backend.FocusedControl(pass), u"BUSER");
  events.Take();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(backend.FocusedControl(pass), u"BPASSWORT");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(backend.FocusedControl(pass), u"BUSpeich");
  backend.SetFocus(pass, u"BUSER");
  EXPECT_EQ(events.Take(),
            (std::vector<std::string>{"focus lost FMPass.BUSER", "focus lost FMPass.BPASSWORT",
                                      "focus lost FMPass.BUSpeich"}));
  // Another window in front: FMPass keeps its focus, and nothing lost it.
  const WindowId server = Shown(forms::FMServerLayout(), pass, true);
  EXPECT_EQ(backend.FocusedControl(pass), u"BUSER");
  // Moving the focus in a window that is not active still counts.
  backend.SetFocus(pass, u"BPASSWORT");
  EXPECT_EQ(backend.FocusedControl(pass), u"BPASSWORT");
  EXPECT_EQ(events.Take(),
            (std::vector<std::string>{"activated FMServer", "focus lost FMPass.BUSER"}));
  backend.HideWindow(server);
  WaitActive(u"FMPass");
  EXPECT_EQ(events.Take(), std::vector<std::string>{"activated FMPass"});
  EXPECT_EQ(QApplication::focusWidget(), W(u"FMPass", u"BPASSWORT"));
}

TEST_F(QtBackendTest, TabReachesBothLinksOfTheAboutBoxAtTheirPlaces) {
  const WindowId about = Shown(forms::frmAboutLayout());
  std::vector<std::u16string> order{backend.FocusedControl(about)};
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order.push_back(backend.FocusedControl(about));
  }
  EXPECT_EQ(order, (std::vector<std::u16string>{u"cmdOK", u"picIcon", u"cmdSysInfo",
                                                u"ctHyperLink1", u"ctHyperLink2", u"cmdOK"}));
}

TEST_F(QtBackendTest, TimersRepeatRestartAndStop) {
  const WindowId server = Create(forms::FMServerLayout());
  backend.StartTimer(server, u"Lock", 40);
  QElapsedTimer clock;
  clock.start();
  int ticks = 0;
  while (clock.elapsed() < 230) {
    backend.ProcessEvents(10ms);
    for (const auto& l : events.Take())
      ticks += l == "timer FMServer.Lock";
  }
  EXPECT_GE(ticks, 3);
  EXPECT_LE(ticks, 6);
  // Restarting begins a new interval: restarted every 20 ms, a 40 ms timer never fires.
  clock.restart();
  while (clock.elapsed() < 200) {
    backend.StartTimer(server, u"Lock", 60);
    backend.ProcessEvents(10ms);
  }
  backend.StopTimer(server, u"Lock");
  EXPECT_TRUE(events.Take().empty());
  // A handler may stop the timer whose tick it runs in (the idle timer does).
  events.onTimer = [&] { backend.StopTimer(server, u"Lock"); };
  backend.StartTimer(server, u"Lock", 20);
  clock.restart();
  while (clock.elapsed() < 150)
    backend.ProcessEvents(10ms);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"timer FMServer.Lock"});
  clock.restart();
  while (clock.elapsed() < 120)
    backend.ProcessEvents(10ms);
  EXPECT_TRUE(events.Take().empty());
}

// Text fields.

struct TypingCase {
  const char* what;
  QString preset;     // set by the program
  QString keys;       // typed; '\b' presses Backspace
  QString clipboard;  // pasted after typing when not empty
  QString expected;
};

TEST_F(QtBackendTest, TheKeyboardEntersAtMostTheMaximumLengthButProgramTextsStayWhole) {
  const QString twenty(20, u'x'), thirty(30, u'y');
  const TypingCase cases[] = {
      {"typing stops at 20", "", QString(25, u'a'), "", QString(20, u'a')},
      {"a full field takes no more", twenty, "b", "", twenty},
      {"a longer program text stays", thirty, "", "", thirty},
      {"it can be shortened", thirty, "\b", "", QString(29, u'y')},
      {"but not lengthened again", thirty, "\bz", "", QString(29, u'y')},
      {"paste is cut to fit", "abc", "", QString(30, u'p'), "abc" + QString(17, u'p')},
      {"paste into a full field adds nothing", twenty, "", "pp", twenty},
  };
  const WindowId pass = Shown(forms::FMPassLayout());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    backend.SetControlText(pass, u"BPASSWORT", c.preset.toStdU16String());
    QLineEdit* edit = Edit(u"FMPass", u"BPASSWORT");
    edit->setFocus();
    edit->end(false);
    for (QChar ch : c.keys) {
      if (ch == u'\b')
        QTest::keyClick(edit, Qt::Key_Backspace);
      else
        QTest::keyClicks(edit, QString(ch));
    }
    if (!c.clipboard.isEmpty()) {
      QApplication::clipboard()->setText(c.clipboard);
      edit->paste();
    }
    EXPECT_EQ(Q(backend.ControlText(pass, u"BPASSWORT")), c.expected);
  }
}

TEST_F(QtBackendTest, PasswordShowsOneStarPerCharacterAndWarnsOfCapsLock) {
  const WindowId pass = Shown(forms::FMPassLayout());
  backend.SetFocus(pass, u"BPASSWORT");
  QLineEdit* edit = Edit(u"FMPass", u"BPASSWORT");
  QTest::keyClicks(edit, QStringLiteral("gEh"), Qt::NoModifier);
  EXPECT_EQ(backend.ControlText(pass, u"BPASSWORT"), u"gEh");
  EXPECT_EQ(edit->displayText(), QStringLiteral("***"));
  // "E" without Shift came from Caps Lock, "h" without Shift says it is off again.
  EXPECT_TRUE(edit->toolTip().isEmpty());
  QTest::keyClick(edit, Qt::Key_A, Qt::NoModifier);  // QTest sends "a": agrees with no Shift
  EXPECT_TRUE(edit->toolTip().isEmpty());
  QTest::keyClicks(edit, QStringLiteral("X"), Qt::NoModifier);
  EXPECT_EQ(edit->toolTip(), QStringLiteral("Feststelltaste ist aktiviert"));
  QTest::keyClicks(edit, QStringLiteral("y"), Qt::ShiftModifier);  // Shift gives lower case
  EXPECT_EQ(edit->toolTip(), QStringLiteral("Feststelltaste ist aktiviert"));
  QTest::keyClicks(edit, QStringLiteral("Y"), Qt::ShiftModifier);
  EXPECT_TRUE(edit->toolTip().isEmpty());
  // The user field never warns.
  QTest::keyClicks(Edit(u"FMPass", u"BUSER"), QStringLiteral("X"));
  EXPECT_TRUE(Edit(u"FMPass", u"BUSER")->toolTip().isEmpty());
}

TEST_F(QtBackendTest, ServerFieldsShowTheButtonFaceLockedAndOpenAndTakeInputOnlyOpen) {
  const WindowId server = Shown(forms::FMServerLayout());
  QLineEdit* port = Edit(u"FMServer", u"BPORT");
  const QString face = QApplication::palette().color(QPalette::Active, QPalette::Button).name();
  ASSERT_NE(face, QApplication::palette().color(QPalette::Active, QPalette::Base).name());
  // The field's inside as drawn, right of its text.
  const auto background = [&] {
    const QImage shot = port->grab().toImage();
    return shot.pixelColor(shot.width() - 5, shot.height() / 2).name().toStdString();
  };
  EXPECT_FALSE(port->isEnabled());
  EXPECT_EQ(background(), face.toStdString());
  QTest::keyClicks(port, QStringLiteral("9"));
  EXPECT_EQ(backend.ControlText(server, u"BPORT"), u"1973");
  backend.SetControlEnabled(server, u"BPORT", true);
  EXPECT_EQ(background(), face.toStdString());
  backend.SetFocus(server, u"BPORT");
  QTest::keyClicks(port, QStringLiteral("9"));
  EXPECT_EQ(backend.ControlText(server, u"BPORT"), u"19739");
  EXPECT_EQ(background(), face.toStdString());
}

struct NameCase {
  platform::FormDescription (*layout)();
  const char16_t* control;
  const char* name;
};

TEST_F(QtBackendTest, EveryControlHasAnAccessibleName) {
  const NameCase cases[] = {
      {forms::FMPassLayout, u"BUSER", "User(VAZ Personalcode):"},
      {forms::FMPassLayout, u"BPASSWORT", "Passwort:"},
      {forms::FMPassLayout, u"BUSpeich", "Anmelden"},
      {forms::FMServerLayout, u"BPORT", "Port:"},
      {forms::FMServerLayout, u"BSERVERIP", "ServerIP:"},
      {forms::FMServerLayout, u"BFIRMA", "Firma:"},
      {forms::FMServerLayout, u"BFIL", "Filiale:"},
      {forms::FMServerLayout, u"BNAMESPACE", "Namespace:"},
      {forms::FMServerLayout, u"BUZurück", "Zurück"},
      {forms::frmAboutLayout, u"cmdSysInfo", "Systeminfo..."},
      {forms::frmAboutLayout, u"ctHyperLink2", "www.mirlox.example"},
  };
  for (auto layout : {forms::FMPassLayout, forms::FMServerLayout, forms::frmAboutLayout}) {
    const auto form = layout();
    Create(form);
    for (const auto& c : form.controls) {
      // A label without text has nothing to say until the program gives it a text.
      if (c.kind == platform::ControlKind::Timer ||
          (c.kind == platform::ControlKind::Label && c.text.empty()))
        continue;
      EXPECT_FALSE(W(form.name, c.name)->accessibleName().isEmpty())
          << text::ToUtf8(form.name) << "." << text::ToUtf8(c.name);
    }
  }
  for (const auto& c : cases) {
    const auto form = c.layout();
    EXPECT_EQ(W(form.name, c.control)->accessibleName(), QString::fromUtf8(c.name))
        << text::ToUtf8(form.name) << "." << text::ToUtf8(c.control);
  }
}

TEST_F(QtBackendTest, LabelsLinksAndPicturesComeFromTheTable) {
  const WindowId about = Create(forms::frmAboutLayout());
  auto* link = qobject_cast<QLabel*>(W(u"frmAbout", u"ctHyperLink1"));
  EXPECT_EQ(backend.ControlText(about, u"ctHyperLink1"), u"MIRLOX Software-Service");
  EXPECT_TRUE(link->text().contains(QStringLiteral("mailto:service@mirlox.example")));
  EXPECT_TRUE(link->openExternalLinks());
  backend.SetControlText(about, u"lblTitle", u"A & <b>B</b>");
  EXPECT_EQ(backend.ControlText(about, u"lblTitle"), u"A & <b>B</b>");
  EXPECT_EQ(W(u"frmAbout", u"lblTitle")->accessibleName(), QStringLiteral("A & <b>B</b>"));
  EXPECT_EQ(qobject_cast<QLabel*>(W(u"frmAbout", u"lblTitle"))->textFormat(), Qt::PlainText);
  auto* banner = qobject_cast<QLabel*>(W(u"frmAbout", u"Image1"));
  EXPECT_TRUE(banner->hasScaledContents());
  EXPECT_FALSE(banner->pixmap().isNull());
  EXPECT_EQ(banner->size(), QSize(3255 / 15, 795 / 15));
  EXPECT_FALSE(qobject_cast<QLabel*>(W(u"frmAbout", u"picIcon"))->pixmap().isNull());
  // Buttons of the dialogs carry their small picture.
  Create(forms::FMPassLayout());
  EXPECT_FALSE(qobject_cast<QPushButton*>(W(u"FMPass", u"BUServer"))->icon().isNull());
}

// Message boxes.

struct BoxCase {
  int style;
  QMessageBox::Icon icon;
  QStringList buttons;
  std::function<void(QMessageBox&)> answer;
  int expected;
};

QAbstractButton* ButtonWithText(QMessageBox& box, const QString& text) {
  for (QAbstractButton* b : box.buttons())
    if (b->text() == text) return b;
  return nullptr;
}

TEST_F(QtBackendTest, MessageBoxesShowTheStyleAndReturnTheAnswer) {
  auto click = [](const char* text) {
    return [text](QMessageBox& box) { ButtonWithText(box, QString::fromUtf8(text))->click(); };
  };
  auto key = [](Qt::Key k) { return [k](QMessageBox& box) { QTest::keyClick(&box, k); }; };
  const BoxCase cases[] = {
      {platform::vbOKOnly, QMessageBox::NoIcon, {"OK"}, click("OK"), platform::vbOK},
      {platform::vbInformation,
       QMessageBox::Information,
       {"OK"},
       key(Qt::Key_Return),
       platform::vbOK},
      {platform::vbExclamation, QMessageBox::Warning, {"OK"}, key(Qt::Key_Escape), platform::vbOK},
      {platform::vbCritical, QMessageBox::Critical, {"OK"}, click("OK"), platform::vbOK},
      {platform::vbYesNo, QMessageBox::NoIcon, {"Ja", "Nein"}, click("Ja"), platform::vbYes},
      {platform::vbYesNo, QMessageBox::NoIcon, {"Ja", "Nein"}, click("Nein"), platform::vbNo},
      {platform::vbYesNo,
       QMessageBox::NoIcon,
       {"Ja", "Nein"},
       key(Qt::Key_Return),
       platform::vbYes},
      {platform::vbYesNo, QMessageBox::NoIcon, {"Ja", "Nein"}, key(Qt::Key_Escape), platform::vbNo},
      {platform::vbYesNo | platform::vbExclamation,
       QMessageBox::Warning,
       {"Ja", "Nein"},
       [](QMessageBox& box) { box.close(); },
       platform::vbNo},
  };
  Shown(forms::FMPassLayout());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.style);
    QString title, text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool modal = false;
    QTimer::singleShot(50, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) {
        ADD_FAILURE() << "no message box";
        return;
      }
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      modal = box->windowModality() == Qt::ApplicationModal;
      for (QAbstractButton* b : box->buttons())
        buttons << b->text();
      c.answer(*box);
    });
    const int answer = backend.MessageBox(u"Zeile 1\r\nZeile 2", c.style, u"Titel");
    EXPECT_EQ(answer, c.expected);
    EXPECT_EQ(title, QStringLiteral("Titel"));
    EXPECT_EQ(text, QStringLiteral("Zeile 1\nZeile 2"));
    EXPECT_EQ(icon, c.icon);
    EXPECT_TRUE(modal);
    buttons.sort();
    EXPECT_EQ(buttons, c.buttons);
  }
}

// Pointer, waiting, lifetimes.

TEST_F(QtBackendTest, HourglassIsApplicationWideAndBalanced) {
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  backend.SetMousePointer(platform::vbHourglass);
  backend.SetMousePointer(platform::vbHourglass);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  backend.SetMousePointer(platform::vbDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  backend.SetMousePointer(platform::vbDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(QtBackendTest, ProcessEventsWaitsAtMostMaxWaitAndNotWhenEventsArePending) {
  backend.ProcessEvents(0ms);
  QElapsedTimer clock;
  clock.start();
  backend.ProcessEvents(100ms);
  const qint64 idle = clock.elapsed();
  EXPECT_GE(idle, 90);
  EXPECT_LT(idle, 400);
  bool delivered = false;
  QMetaObject::invokeMethod(
      &backend, [&] { delivered = true; }, Qt::QueuedConnection);
  clock.restart();
  backend.ProcessEvents(2000ms);
  EXPECT_TRUE(delivered);
  EXPECT_LT(clock.elapsed(), 500);
  // WaitForEvents returns once something was processed.
  QTimer::singleShot(30, [] {});
  clock.restart();
  backend.WaitForEvents(false);
  EXPECT_LT(clock.elapsed(), 1000);
}

TEST_F(QtBackendTest, AnOwnerMayGoBeforeTheWindowsItOwns) {
  const WindowId start = Shown(forms::FMStartLayout());
  const WindowId pass = Shown(forms::FMPassLayout(), start);
  QPointer<QWidget> dialog = backend.TopLevel(u"FMPass");
  QPointer<QWidget> main = backend.TopLevel(u"FMStart");
  backend.DestroyWindow(start);
  EXPECT_FALSE(main->isVisible());  // hidden at once, deleted when its events are done
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(main.isNull());
  ASSERT_FALSE(dialog.isNull());
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->parentWidget(), nullptr);
  backend.SetControlText(pass, u"BUSER", u"NOCH DA");
  EXPECT_EQ(backend.ControlText(pass, u"BUSER"), u"NOCH DA");
  backend.DestroyWindow(pass);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(dialog.isNull());
  EXPECT_EQ(backend.TopLevel(u"FMPass"), nullptr);
}

TEST_F(QtBackendTest, AMinimisedModalWindowComesBackAndAModelessOneStaysMinimised) {
  for (const bool modal : {true, false}) {
    SCOPED_TRACE(modal ? "modal" : "modeless");
    const WindowId server = Shown(forms::FMServerLayout(), 0, modal);
    QWidget* top = backend.TopLevel(u"FMServer");
    top->showMinimized();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300)
      backend.ProcessEvents(10ms);
    EXPECT_EQ(top->isMinimized(), !modal);
    EXPECT_TRUE(top->isVisible());
    backend.DestroyWindow(server);
  }
}

TEST_F(QtBackendTest, ModalWindowsBlockTheOthers) {
  const WindowId start = Shown(forms::FMStartLayout());
  const WindowId pass = Shown(forms::FMPassLayout(), start, true);
  EXPECT_EQ(QApplication::activeModalWidget(), backend.TopLevel(u"FMPass"));
  backend.HideWindow(pass);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // Shown again modeless: no longer modal.
  backend.ShowWindow(pass, start, false);
  EXPECT_EQ(backend.TopLevel(u"FMPass")->windowModality(), Qt::NonModal);
}

}  // namespace
}  // namespace quorel::testing
