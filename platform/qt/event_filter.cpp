// The event filter on our windows and controls: it lets Qt do its work and posts what the
// program must hear of (Enter, Escape and F1, the close box, activation, focus leaving a
// control); it keeps Alt combinations from typing, moves the default look with the focus,
// keeps a minimised modal window in reach and shows the Caps Lock hint of password fields.
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>
#include <algorithm>
#include <optional>

#include "platform/qt/backend_common.h"
#include "platform/qt/qt_backend.h"

namespace quorel::qt {

using platform::desktop::BackendEvents;
using platform::desktop::Key;
using platform::desktop::kNoWindow;
using platform::desktop::WindowId;

namespace {

constexpr char16_t kCapsLockHint[] = u"Feststelltaste ist aktiviert";

WindowId WindowOfObject(const QObject* object) {
  const QVariant v = object->property(kWindowProperty);
  return v.isValid() ? v.toInt() : kNoWindow;
}

}  // namespace

class QtBackend::Filter final : public QObject {
 public:
  explicit Filter(QtBackend& backend) : backend_(backend) {}

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    const WindowId window = WindowOfObject(object);
    if (window == kNoWindow) return false;
    switch (event->type()) {
      case QEvent::KeyPress:
        return KeyPress(window, object, static_cast<QKeyEvent*>(event));
      case QEvent::Close:
        if (object->isWidgetType() && static_cast<QWidget*>(object)->isWindow()) {
          event->ignore();
          backend_.Post([window](BackendEvents& e) { e.CloseRequested(window); });
          return true;
        }
        return false;
      case QEvent::WindowActivate:
        if (object->isWidgetType() && static_cast<QWidget*>(object)->isWindow())
          backend_.Activated(window);
        return false;
      case QEvent::WindowStateChange:
        if (object->isWidgetType() && static_cast<QWidget*>(object)->isMinimized())
          backend_.Minimized(window);
        return false;
      case QEvent::FocusOut:
        FocusOut(window, object, static_cast<QFocusEvent*>(event));
        return false;
      case QEvent::FocusIn:
        if (object->isWidgetType()) backend_.ShowDefaultLook(window, static_cast<QWidget*>(object));
        return false;
      default:
        return false;
    }
  }

 private:
  bool KeyPress(WindowId window, QObject* object, QKeyEvent* event) {
    std::optional<Key> key;
    switch (event->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        key = Key::Enter;
        break;
      case Qt::Key_Escape:
        key = Key::Escape;
        break;
      case Qt::Key_F1:
        key = Key::F1;
        break;
      default:
        break;
    }
    if (key) {
      backend_.Post([window, k = *key](BackendEvents& e) { e.KeyPressed(window, k); });
      return true;
    }
    auto* edit = qobject_cast<QLineEdit*>(object);
    if (!edit) return false;
    // An Alt combination that no menu or access letter took is no text, though Qt would type
    // its letter. AltGr is no Alt: Qt reports it as a group switch, other systems as Ctrl+Alt.
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if ((modifiers & Qt::AltModifier) &&
        !(modifiers & (Qt::ControlModifier | Qt::GroupSwitchModifier)) &&
        !event->text().isEmpty() && event->text()[0].isPrint())
      return true;
    if (edit->echoMode() != QLineEdit::Normal) CapsLockHint(edit, event);
    return false;
  }

  // A letter whose case contradicts the Shift key shows that Caps Lock is on; a letter that
  // agrees with it shows that it is off.
  static void CapsLockHint(QLineEdit* edit, const QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() != 1 || !text[0].isLetter() || text[0].isUpper() == text[0].isLower()) return;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool capsLock = text[0].isUpper() != shift;
    if (capsLock) {
      edit->setToolTip(Q(kCapsLockHint));
      QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), Q(kCapsLockHint), edit);
    } else if (!edit->toolTip().isEmpty()) {
      edit->setToolTip(QString());
      QToolTip::hideText();
    }
  }

  void FocusOut(WindowId window, QObject* object, const QFocusEvent* event) {
    if (!object->isWidgetType() || static_cast<QWidget*>(object)->isWindow()) return;
    // Focus belongs to each window: switching windows or opening a menu does not move it.
    switch (event->reason()) {
      case Qt::ActiveWindowFocusReason:
      case Qt::PopupFocusReason:
      case Qt::MenuBarFocusReason:
        return;
      default:
        break;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(object); edit && !edit->toolTip().isEmpty())
      QToolTip::hideText();
    const std::u16string control = U(object->objectName());
    backend_.Post([window, control](BackendEvents& e) { e.FocusLost(window, control); });
  }

  QtBackend& backend_;
};

std::unique_ptr<QObject> QtBackend::MakeFilter() {
  return std::make_unique<Filter>(*this);
}

void QtBackend::Minimized(WindowId window) {
  const Window* w = Find(window);
  if (!w || !w->modal) return;
  // The program waits for a modal window and nothing else takes input meanwhile: it stays in
  // reach, whatever minimised it (the user, the window manager, a task bar or a script).
  QMetaObject::invokeMethod(
      this,
      [this, window] {
        Window* shown = Find(window);
        if (!shown || !shown->modal || !shown->top->isMinimized()) return;
        shown->top->setWindowState(shown->top->windowState() & ~Qt::WindowMinimized);
        shown->top->show();
        Raise(shown->top);
        shown->top->activateWindow();
      },
      Qt::QueuedConnection);
}

void QtBackend::ShowDefaultLook(WindowId window, QWidget* focus) {
  // As in the system's dialogs: a focused push button looks like the default button, and the
  // default button does while no other push button has the focus.
  const Window* w = Find(window);
  if (!w) return;
  const auto isButton = [&](const Control& c) { return IsButton(*c.description) && c.widget; };
  const bool onButton = std::any_of(w->controls.begin(), w->controls.end(), [&](const auto& c) {
    return isButton(c) && c.widget == focus;
  });
  for (const auto& c : w->controls) {
    if (!isButton(c)) continue;
    static_cast<QPushButton*>(c.widget.data())
        ->setDefault(onButton ? c.widget == focus : c.description->isDefault);
  }
}

void QtBackend::Activated(WindowId window) {
  Post([window](BackendEvents& e) { e.Activated(window); });
  // A window without any control that can take the focus takes it itself.
  const Window* w = Find(window);
  if (!w) return;
  const bool anyFocusable = std::any_of(w->controls.begin(), w->controls.end(), [](const auto& c) {
    return TakesFocus(*c.description) && c.widget && c.widget->isEnabled();
  });
  if (!anyFocusable) Post([window](BackendEvents& e) { e.FormFocused(window); });
}

}  // namespace quorel::qt
