// A user in front of the real Qt windows: steps that each wait until their moment has come (a
// window active, a message box shown), then type, press or click with QTest. Waiting is
// bounded: a step that cannot be taken, or a program that keeps running after the last step,
// ends the test process with a message (the event loop cannot be left any other way).
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>

#include "platform/qt/qt_backend.h"
#include "platform/text.h"

namespace quorel::testing {

class GuiUser {
 public:
  static constexpr int kStepTimeoutMs = 10000;

  explicit GuiUser(qt::QtBackend& backend) : backend_(backend) {
    poll_.setInterval(10);
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
  }

  // Acts once ready() has held on two polls in a row, so that the events it caused are through.
  void When(std::string what, std::function<bool()> ready, std::function<void()> act) {
    steps_.push_back({std::move(what), std::move(ready), std::move(act)});
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
    clock_.start();
    poll_.start();
    struct Stop {
      QTimer& t;
      ~Stop() { t.stop(); }
    } stop{poll_};
    return code();
  }
  bool Done() const { return steps_.empty(); }

  bool IsVisible(std::u16string_view form) const {
    QWidget* top = backend_.TopLevel(form);
    return top && top->isVisible();
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
    if (!w) Abort("no control " + text::ToUtf8(form) + "." + text::ToUtf8(control));
    return w;
  }

 private:
  struct Step {
    std::string what;
    std::function<bool()> ready;
    std::function<void()> act;
  };

  [[noreturn]] static void Abort(const std::string& why) {
    QWidget* active = QApplication::activeWindow();
    std::fprintf(stderr, "GUI test aborted: %s (active window: %s)\n", why.c_str(),
                 active ? active->objectName().toUtf8().constData() : "none");
    std::fflush(stderr);
    std::_Exit(3);
  }

  void Poll() {
    if (busy_) return;
    busy_ = true;
    if (steps_.empty()) {
      if (clock_.elapsed() > kStepTimeoutMs)
        Abort("the program still runs " + std::to_string(kStepTimeoutMs) +
              " ms after the last step");
    } else if (steps_.front().ready()) {
      if (++stable_ >= 2) {
        Step step = std::move(steps_.front());
        steps_.pop_front();
        stable_ = 0;
        step.act();
        clock_.restart();
      }
    } else {
      stable_ = 0;
      if (clock_.elapsed() > kStepTimeoutMs)
        Abort("step not possible in time: " + steps_.front().what);
    }
    busy_ = false;
  }

  qt::QtBackend& backend_;
  std::deque<Step> steps_;
  QTimer poll_;
  QElapsedTimer clock_;
  int stable_ = 0;
  bool busy_ = false;
};

}  // namespace quorel::testing
