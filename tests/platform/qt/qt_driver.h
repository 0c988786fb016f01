// The Qt backend on real widgets with a user who presses, types and clicks with QTest: the
// driver of the suites every backend passes (tests/platform/desktop/backend_fixture.h).
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <memory>
#include <string>

#include "gui_user.h"
#include "platform/posix/local_clock.h"
#include "platform/posix/posix_system.h"
#include "platform/qt/qt_backend.h"
#include "tests/platform/desktop/backend_fixture.h"

namespace quorel::testing {

using namespace backend;

inline QString Q(std::u16string_view s) {
  return QString::fromStdU16String(std::u16string(s));
}

class QtDriver {
 public:
  using Clock = posix::LocalClock;
  static std::unique_ptr<platform::System> MakeSystem(std::u16string commandLine) {
    return std::make_unique<posix::PosixSystem>(std::move(commandLine),
                                                "/nonexistent/quorel/registry");
  }

  QtDriver() { clock_.start(); }

  std::int64_t NowMs() const { return clock_.elapsed(); }
  void Settle() {
    backend.ProcessEvents(20ms);
    backend.ProcessEvents(0ms);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  bool IsActive(std::u16string_view form) const { return user.IsActive(form); }
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
    return {.resizable = top->minimumSize() != top->maximumSize(),
            .maximizeBox = bool(top->windowFlags() & Qt::WindowMaximizeButtonHint),
            .closeBox = bool(top->windowFlags() & Qt::WindowCloseButtonHint),
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
    const auto all = QApplication::topLevelWidgets();
    return std::any_of(all.begin(), all.end(),
                       [&](QWidget* w) { return w->objectName() == Q(form); });
  }
  bool IsMinimized(std::u16string_view form) const { return Top(form)->isMinimized(); }
  void Minimize(std::u16string_view form) { Top(form)->showMinimized(); }
  void Activate(std::u16string_view form) { Top(form)->activateWindow(); }
  // Qt's active window is the window system's.
  bool TitleBarActive(std::u16string_view form) const { return IsActive(form); }
  // A modal window blocks every other window but those it owns.
  bool IsBlocked(std::u16string_view form) const {
    QWidget* modal = QApplication::activeModalWidget();
    for (QWidget* w = Top(form); w; w = w->parentWidget())
      if (w == modal) return false;
    return modal != nullptr;
  }

  static void Key(UserKey key) {
    static constexpr Qt::Key kKeys[] = {Qt::Key_Return, Qt::Key_Enter,     Qt::Key_Escape,
                                        Qt::Key_F1,     Qt::Key_Tab,       Qt::Key_Tab,
                                        Qt::Key_Space,  Qt::Key_Backspace, Qt::Key_End};
    const Qt::KeyboardModifiers modifiers = key == UserKey::KeypadEnter ? Qt::KeypadModifier
                                            : key == UserKey::BackTab   ? Qt::ShiftModifier
                                                                        : Qt::NoModifier;
    GuiUser::Press(kKeys[static_cast<int>(key)], modifiers);
  }
  static void Alt(char16_t letter) {
    GuiUser::Press(static_cast<Qt::Key>(Qt::Key_A + (letter - u'A')), Qt::AltModifier);
  }
  // As the X server reports AltGr+Q of the German keyboard.
  static void AltGrQ() { GuiUser::Press(Qt::Key_At, Qt::GroupSwitchModifier); }
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
  bool LooksDefault(std::u16string_view form, std::u16string_view button) const {
    return qobject_cast<QPushButton*>(W(form, button))->isDefault();
  }
  Shot Grab(std::u16string_view form, std::u16string_view control) const {
    const QImage image = W(form, control)->grab().toImage();
    Shot shot{image.width(), image.height(), {}};
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        shot.pixels.push_back(image.pixel(x, y) & 0xFFFFFF);
    return shot;
  }
  std::u16string DisplayedText(std::u16string_view form, std::u16string_view control) const {
    return qobject_cast<QLineEdit*>(W(form, control))->displayText().toStdU16String();
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
    const Qt::CursorShape shape = busy       ? busy->shape()
                                  : pointed_ ? pointed_->cursor().shape()
                                             : Qt::ArrowCursor;
    return shape == Qt::ArrowCursor   ? Pointer::Arrow
           : shape == Qt::IBeamCursor ? Pointer::IBeam
           : shape == Qt::WaitCursor  ? Pointer::Hourglass
                                      : Pointer::Other;
  }
  Pointer ProgramPointer() const { return PointerNow(); }  // the same over every window
  void OnMessageBox(std::string what, const BoxAnswer& answer, BoxSeen& seen) {
    user.OnMessageBox(std::move(what), [this, answer, &seen](QMessageBox& box) {
      static constexpr QMessageBox::Icon kIcons[] = {QMessageBox::NoIcon, QMessageBox::Information,
                                                     QMessageBox::Warning, QMessageBox::Critical,
                                                     QMessageBox::Question};
      seen.title = box.windowTitle().toStdU16String();
      seen.text = box.text().toStdU16String();
      seen.icon = static_cast<BoxIcon>(std::find(std::begin(kIcons), std::end(kIcons), box.icon()) -
                                       std::begin(kIcons));
      QAbstractButton* button = nullptr;
      for (QAbstractButton* b : box.buttons()) {
        seen.buttons.push_back(b->text().remove(u'&').toStdU16String());
        if (seen.buttons.back() == answer.button) button = b;
      }
      std::sort(seen.buttons.begin(), seen.buttons.end());
      if (QWidget* owner = box.parentWidget()) {
        seen.owner = owner->objectName().toStdU16String();
        seen.ownerBlocked = IsBlocked(seen.owner);
      }
      switch (answer.kind) {
        case BoxAnswer::Button:
          if (button) return button->click();
          return ADD_FAILURE() << "no button " << U8(answer.button);
        case BoxAnswer::Key:
          return Key(answer.key);
        case BoxAnswer::Letter:
          return GuiUser::Type(QString(QChar(answer.letter)));
        case BoxAnswer::CloseBox:
          box.close();
      }
    });
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
  GuiUser user{backend};

 private:
  static Rect R(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

  QElapsedTimer clock_;
  QPointer<QWidget> pointed_;
};

}  // namespace quorel::testing
