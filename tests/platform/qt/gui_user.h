// A user in front of the real Qt windows who types, presses or clicks with QTest; the steps
// (tests/support/gui_steps.h) run from a timer of the event loop.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

#include "platform/qt/qt_backend.h"
#include "platform/text.h"
#include "tests/support/gui_steps.h"

namespace quorel::testing {

class GuiUser : public GuiSteps {
 public:
  explicit GuiUser(qt::QtBackend& backend) : backend_(backend) {
    poll_.setInterval(10);
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(ActiveWindow); });
  }

  // Acts once the form's window is shown and active.
  void In(std::u16string form, std::string what, std::function<void()> act) {
    When(
        text::ToUtf8(form) + ": " + what, [this, form] { return IsActive(form); }, std::move(act));
  }
  // Acts on the message box once one is shown.
  void OnMessageBox(std::string what, std::function<void(QMessageBox&)> act) {
    When(
        "message box: " + what, [] { return MessageBoxShown() != nullptr; },
        [act = std::move(act)] { act(*MessageBoxShown()); });
  }

  // Runs code (the program) while the steps are taken, and returns what it returns.
  template <typename F>
  auto Drive(F&& code) {
    Start();
    poll_.start();
    struct Stop {
      QTimer& t;
      ~Stop() { t.stop(); }
    } stop{poll_};
    return code();
  }

  bool IsActive(std::u16string_view form) const {
    QWidget* top = backend_.TopLevel(form);
    return top && top->isVisible() && QApplication::activeWindow() == top;
  }
  static QMessageBox* MessageBoxShown() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    return box && box->isVisible() ? box : nullptr;
  }

  // The keyboard goes where the focus is, as with a real keyboard.
  static QWidget* KeyboardTarget() {
    if (QWidget* popup = QApplication::activePopupWidget()) return popup;
    if (QWidget* w = QApplication::focusWidget()) return w;
    return QApplication::activeWindow();
  }
  static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(KeyboardTarget(), key, modifiers);
  }
  static void Type(const QString& text) { QTest::keyClicks(KeyboardTarget(), text); }
  void Click(std::u16string_view form, std::u16string_view control) const {
    QTest::mouseClick(Widget(form, control), Qt::LeftButton);
  }
  QWidget* Widget(std::u16string_view form, std::u16string_view control) const {
    QWidget* w = backend_.ControlWidget(form, control);
    if (!w) Abort("no control " + text::ToUtf8(form) + "." + text::ToUtf8(control), ActiveWindow());
    return w;
  }

 private:
  static std::string ActiveWindow() {
    QWidget* active = QApplication::activeWindow();
    return " (active window: " + (active ? active->objectName().toStdString() : "none") + ")";
  }

  qt::QtBackend& backend_;
  QTimer poll_;
};

}  // namespace quorel::testing
