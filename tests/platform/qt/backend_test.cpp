// The Qt backend on its own, on real widgets: the suites every backend passes, with a user who
// presses, types and clicks with QTest, and what only Qt's widgets have.
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
#include <algorithm>
#include <string>
#include <vector>

#include "gui_user.h"
#include "platform/qt/qt_backend.h"
#include "tests/platform/desktop/backend_input_suites.h"
#include "tests/platform/desktop/backend_suites.h"

namespace quorel::testing {
namespace {

using namespace backend;

QString Q(std::u16string_view s) {
  return QString::fromStdU16String(std::u16string(s));
}

Rect R(const QRect& r) {
  return {r.x(), r.y(), r.width(), r.height()};
}

class QtDriver {
 public:
  QtDriver() { clock_.start(); }

  std::int64_t NowMs() const { return clock_.elapsed(); }
  void Settle() {
    backend.ProcessEvents(20ms);
    backend.ProcessEvents(0ms);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  bool IsActive(std::u16string_view form) const {
    QWidget* top = backend.TopLevel(form);
    return top && top->isVisible() && QApplication::activeWindow() == top;
  }
  bool IsVisible(std::u16string_view form) const {
    QWidget* top = backend.TopLevel(form);
    return top && top->isVisible();
  }
  bool HasKeyboardFocus(std::u16string_view form, std::u16string_view control) const {
    return QApplication::focusWidget() && QApplication::focusWidget() == W(form, control);
  }
  void CloseBox(std::u16string_view form) { EXPECT_FALSE(Top(form)->close()); }

  static int Scaled(int px) { return px; }
  Rect Frame(std::u16string_view form) const { return R(Top(form)->frameGeometry()); }
  Rect Client(std::u16string_view form) const {
    QWidget* client = backend.ClientArea(form);
    return R(QRect(client->mapToGlobal(QPoint(0, 0)), client->size()));
  }
  Rect WorkArea(std::u16string_view form) const {
    return R(Top(form)->screen()->availableGeometry());
  }
  Rect ControlBox(std::u16string_view form, std::u16string_view control) const {
    return R(W(form, control)->geometry());
  }
  void Move(std::u16string_view form, int x, int y) { Top(form)->move(x, y); }
  Look LookOf(std::u16string_view form) const {
    QWidget* top = Top(form);
    const Qt::WindowFlags flags = top->windowFlags();
    return {.resizable = top->minimumSize() != top->maximumSize(),
            .maximizeBox = bool(flags & Qt::WindowMaximizeButtonHint),
            .closeBox = bool(flags & Qt::WindowCloseButtonHint),
            .inTaskBar = top->windowType() == Qt::Window,
            .ownIcon = top->testAttribute(Qt::WA_SetWindowIcon)};
  }
  // As the window system shows it.
  std::u16string Caption(std::u16string_view form) const {
    return Top(form)->windowHandle()->title().toStdU16String();
  }
  std::u16string OwnerOf(std::u16string_view form) const {
    QWidget* owner = Top(form)->parentWidget();
    return owner ? owner->objectName().toStdU16String() : u"";
  }
  // Whether its widgets still exist, not only the backend's record of them.
  static bool HasWindow(std::u16string_view form) {
    const auto widgets = QApplication::topLevelWidgets();
    return std::any_of(widgets.begin(), widgets.end(),
                       [&](QWidget* w) { return w->objectName() == Q(form); });
  }
  bool IsMinimized(std::u16string_view form) const { return Top(form)->isMinimized(); }
  void Minimize(std::u16string_view form) { Top(form)->showMinimized(); }
  // A modal window blocks every other window but those it owns.
  bool IsBlocked(std::u16string_view form) const {
    QWidget* modal = QApplication::activeModalWidget();
    for (QWidget* w = Top(form); w; w = w->parentWidget())
      if (w == modal) return false;
    return modal != nullptr;
  }

  void Key(UserKey key) {
    using enum UserKey;
    switch (key) {
      case Enter:
        return GuiUser::Press(Qt::Key_Return);
      case KeypadEnter:
        return GuiUser::Press(Qt::Key_Enter, Qt::KeypadModifier);
      case Escape:
        return GuiUser::Press(Qt::Key_Escape);
      case F1:
        return GuiUser::Press(Qt::Key_F1);
      case Tab:
        return GuiUser::Press(Qt::Key_Tab);
      case Space:
        return GuiUser::Press(Qt::Key_Space);
      case Backspace:
        return GuiUser::Press(Qt::Key_Backspace);
      case End:
        return GuiUser::Press(Qt::Key_End);
    }
  }
  static void Alt(char16_t letter) {
    GuiUser::Press(static_cast<Qt::Key>(Qt::Key_A + (letter - u'A')), Qt::AltModifier);
  }
  static void Type(std::u16string_view text) { GuiUser::Type(Q(text)); }
  static void Paste(std::u16string_view text) {
    QApplication::clipboard()->setText(Q(text));
    GuiUser::Press(Qt::Key_V, Qt::ControlModifier);
  }
  void Click(std::u16string_view form, std::u16string_view control) {
    QTest::mouseClick(W(form, control), Qt::LeftButton);
  }
  bool IsEnabled(std::u16string_view form, std::u16string_view control) const {
    return W(form, control)->isEnabled();
  }
  std::u16string DisplayedText(std::u16string_view form, std::u16string_view control) const {
    return qobject_cast<QLineEdit*>(W(form, control))->displayText().toStdU16String();
  }
  // The inside as drawn, right of the text.
  std::uint32_t Background(std::u16string_view form, std::u16string_view control) const {
    const QImage shot = W(form, control)->grab().toImage();
    return shot.pixelColor(shot.width() - 5, shot.height() / 2).rgb() & 0xFFFFFF;
  }
  static std::uint32_t ButtonFace() {
    return QApplication::palette().color(QPalette::Active, QPalette::Button).rgb() & 0xFFFFFF;
  }
  void PointAt(std::u16string_view form, std::u16string_view control) {
    pointed_ = W(form, control);
  }
  // The application-wide pointer, else that of the widget under the mouse.
  Pointer PointerNow() const {
    const QCursor* busy = QGuiApplication::overrideCursor();
    switch (busy ? busy->shape() : pointed_->cursor().shape()) {
      case Qt::ArrowCursor:
        return Pointer::Arrow;
      case Qt::IBeamCursor:
        return Pointer::IBeam;
      case Qt::WaitCursor:
        return Pointer::Hourglass;
      default:
        return Pointer::Other;
    }
  }
  int AnswerMessageBox(const std::function<int()>& show, const BoxAnswer& answer, BoxSeen& seen) {
    GuiUser user(backend);
    user.OnMessageBox("answer", [&](QMessageBox& box) {
      seen.title = box.windowTitle().toStdU16String();
      seen.text = box.text().toStdU16String();
      seen.icon = box.icon() == QMessageBox::Information ? BoxIcon::Information
                  : box.icon() == QMessageBox::Warning   ? BoxIcon::Warning
                  : box.icon() == QMessageBox::Critical  ? BoxIcon::Critical
                  : box.icon() == QMessageBox::Question  ? BoxIcon::Question
                                                         : BoxIcon::None;
      for (QAbstractButton* b : box.buttons())
        seen.buttons.push_back(b->text().remove(u'&').toStdU16String());
      std::sort(seen.buttons.begin(), seen.buttons.end());
      if (QWidget* owner = box.parentWidget()) {
        seen.owner = owner->objectName().toStdU16String();
        seen.ownerBlocked = IsBlocked(seen.owner);
      }
      switch (answer.kind) {
        case BoxAnswer::Button:
          for (QAbstractButton* b : box.buttons())
            if (b->text() == Q(answer.button)) return b->click();
          return ADD_FAILURE() << "no button " << U8(answer.button);
        case BoxAnswer::Key:
          return Key(answer.key);
        case BoxAnswer::Letter:
          return GuiUser::Type(QString(QChar(answer.letter)));
        case BoxAnswer::CloseBox:
          box.close();
          return;
      }
    });
    return user.Drive(show);
  }
  std::u16string AccessibleName(std::u16string_view form, std::u16string_view control) const {
    return W(form, control)->accessibleName().toStdU16String();
  }

  QWidget* Top(std::u16string_view form) const {
    QWidget* top = backend.TopLevel(form);
    EXPECT_NE(top, nullptr) << U8(form) << " has no window";
    return top;
  }
  QWidget* W(std::u16string_view form, std::u16string_view control) const {
    QWidget* w = backend.ControlWidget(form, control);
    EXPECT_NE(w, nullptr) << U8(form) << "." << U8(control);
    return w;
  }

  qt::QtBackend backend;

 private:
  QElapsedTimer clock_;
  QPointer<QWidget> pointed_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(QtBackend, Core, QtDriver);
INSTANTIATE_TYPED_TEST_SUITE_P(QtBackend, Windows, QtDriver);
INSTANTIATE_TYPED_TEST_SUITE_P(QtBackend, Input, QtDriver);
INSTANTIATE_TYPED_TEST_SUITE_P(QtBackend, Dialogs, QtDriver);
INSTANTIATE_TYPED_TEST_SUITE_P(QtBackend, YesNoBox, QtDriver);
INSTANTIATE_TYPED_TEST_SUITE_P(QtBackend, Accessible, QtDriver);

// What only Qt's widgets have.
using QtBackendTest = BackendTest<QtDriver>;

TEST_F(QtBackendTest, CaptionsShowExactlyTheirText) {
  const WindowId id = Shown(forms::FMStartLayout());
  for (const char16_t* caption : {u"Benutzer: ABC | Meier [*] GmbH", u"[*]", u"[*][*]",
                                  u"a[*]b[*][*][*]c", u"[[*]]", u"[*", u"*]"}) {
    backend().SetCaption(id, caption);
    EXPECT_EQ(U8(driver.Caption(u"FMStart")), U8(caption));
  }
}

TEST_F(QtBackendTest, MenuBarFollowsTheMenuTable) {
  Shown(forms::FMStartLayout());
  auto* top = qobject_cast<QMainWindow*>(driver.Top(u"FMStart"));
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
  EXPECT_GE(backend().ClientArea(u"FMStart")->y(), top->menuBar()->height());
}

TEST_F(QtBackendTest, PasswordFieldWarnsOfCapsLock) {
  const WindowId pass = Shown(forms::FMPassLayout());
  backend().SetFocus(pass, u"BPASSWORT");
  QLineEdit* edit = qobject_cast<QLineEdit*>(driver.W(u"FMPass", u"BPASSWORT"));
  QTest::keyClicks(edit, QStringLiteral("gEh"), Qt::NoModifier);
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
  QTest::keyClicks(driver.W(u"FMPass", u"BUSER"), QStringLiteral("X"));
  EXPECT_TRUE(driver.W(u"FMPass", u"BUSER")->toolTip().isEmpty());
}

TEST_F(QtBackendTest, LabelsAreAsPlainAsTheirTextAndLinksAndPicturesQtsOwn) {
  const WindowId about = Create(forms::frmAboutLayout());
  auto* link = qobject_cast<QLabel*>(driver.W(u"frmAbout", u"ctHyperLink1"));
  EXPECT_TRUE(link->text().contains(QStringLiteral("mailto:service@mirlox.example")));
  EXPECT_TRUE(link->openExternalLinks());
  backend().SetControlText(about, u"lblTitle", u"A & <b>B</b>");
  auto* title = qobject_cast<QLabel*>(driver.W(u"frmAbout", u"lblTitle"));
  EXPECT_EQ(title->accessibleName(), QStringLiteral("A & <b>B</b>"));
  EXPECT_EQ(title->textFormat(), Qt::PlainText);
  auto* banner = qobject_cast<QLabel*>(driver.W(u"frmAbout", u"Image1"));
  EXPECT_TRUE(banner->hasScaledContents());
  EXPECT_FALSE(banner->pixmap().isNull());
  EXPECT_FALSE(qobject_cast<QLabel*>(driver.W(u"frmAbout", u"picIcon"))->pixmap().isNull());
  // Buttons of the dialogs carry their small picture.
  Create(forms::FMPassLayout());
  EXPECT_FALSE(qobject_cast<QPushButton*>(driver.W(u"FMPass", u"BUServer"))->icon().isNull());
}

// Without a task-bar entry of its own, a minimised modal window would leave nothing to click.
TEST_F(QtBackendTest, AMinimisedModalWindowComesBackAndAModelessOneStaysMinimised) {
  for (const bool modal : {true, false}) {
    SCOPED_TRACE(modal ? "modal" : "modeless");
    const WindowId server = Shown(forms::FMServerLayout(), kNoWindow, modal);
    driver.Minimize(u"FMServer");
    Idle(300);
    EXPECT_EQ(driver.IsMinimized(u"FMServer"), !modal);
    EXPECT_TRUE(driver.IsVisible(u"FMServer"));
    backend().DestroyWindow(server);
  }
}

}  // namespace
}  // namespace quorel::testing
