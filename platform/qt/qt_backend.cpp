#include "platform/qt/qt_backend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <algorithm>
#include <stdexcept>

#include "platform/desktop/accessible_names.h"
#include "platform/qt/artwork.h"
#include "platform/qt/backend_common.h"
#include "platform/qt/widgets.h"

namespace quorel::qt {

using namespace Qt::Literals::StringLiterals;
using platform::ControlDescription;
using platform::ControlKind;
using platform::FormDescription;
using platform::desktop::BackendEvents;
using platform::desktop::kNoWindow;
using platform::desktop::WindowId;

namespace {

// The layouts were made for a narrow sans serif of about eight points; the desktop's own face
// at seven points takes the same room. Staying with its family spares the start-up a second
// font lookup.
QFont FormFont() {
  QFont font(QApplication::font());
  font.setPointSizeF(7.0);
  return font;
}

}  // namespace

QtBackend::QtBackend() {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    throw std::runtime_error("Die Fensteroberfläche ist nicht gestartet (keine QApplication)");
  filter_ = MakeFilter();
  wake_.setSingleShot(true);
  wake_.setTimerType(Qt::PreciseTimer);
  QApplication::setQuitOnLastWindowClosed(false);
  if (QApplication::windowIcon().isNull()) QApplication::setWindowIcon(Icon(u"quorel"));
}

QtBackend::~QtBackend() {
  for (auto& [key, timer] : timers_)
    delete timer.release();
  if (pointerOverridden_) QGuiApplication::restoreOverrideCursor();
  // Owned windows are Qt children of their owner: take them out first, then delete each once.
  for (auto& [id, w] : windows_) {
    if (w.top && w.top->parentWidget()) w.top->setParent(nullptr);
  }
  for (auto& [id, w] : windows_)
    delete w.top.data();
  windows_.clear();
}

QtBackend::Window* QtBackend::Find(WindowId window) {
  auto it = windows_.find(window);
  return it == windows_.end() || !it->second.top ? nullptr : &it->second;
}

const QtBackend::Window* QtBackend::Find(WindowId window) const {
  return const_cast<QtBackend*>(this)->Find(window);
}

QtBackend::Window& QtBackend::At(WindowId window) {
  Window* w = Find(window);
  if (!w) throw std::logic_error("Fenster existiert nicht: #" + std::to_string(window));
  return *w;
}

const QtBackend::Window& QtBackend::At(WindowId window) const {
  return const_cast<QtBackend*>(this)->At(window);
}

WindowId QtBackend::IdOf(std::u16string_view form) const {
  for (const auto& [id, w] : windows_)
    if (w.form->name == form && w.top) return id;
  return kNoWindow;
}

QWidget* QtBackend::Widget(const Window& w, std::u16string_view control) const {
  for (const auto& c : w.controls)
    if (c.description->name == control && c.widget) return c.widget;
  return nullptr;
}

QWidget* QtBackend::TopLevel(std::u16string_view form) const {
  const Window* w = Find(IdOf(form));
  return w ? w->top.data() : nullptr;
}

QWidget* QtBackend::ClientArea(std::u16string_view form) const {
  const Window* w = Find(IdOf(form));
  return w ? w->client.data() : nullptr;
}

QWidget* QtBackend::ControlWidget(std::u16string_view form, std::u16string_view control) const {
  const Window* w = Find(IdOf(form));
  return w ? Widget(*w, control) : nullptr;
}

void QtBackend::Post(std::function<void(BackendEvents&)> report) {
  QMetaObject::invokeMethod(
      this,
      [this, report = std::move(report)] {
        if (events_) report(*events_);
      },
      Qt::QueuedConnection);
}

WindowId QtBackend::CreateWindow(const FormDescription& form) {
  const WindowId id = nextId_++;
  Window w;
  w.form = std::make_unique<FormDescription>(form);
  auto* top = new QMainWindow(nullptr, FlagsFor(w, false));
  top->setObjectName(Q(form.name));
  top->setProperty(kWindowProperty, id);
  top->setWindowTitle(Title(form.caption));
  if (!form.icon.empty()) top->setWindowIcon(Icon(form.icon));
  auto* client = new QWidget(top);
  client->setFont(FormFont());  // the menu bar and message boxes keep the desktop's font
  client->setObjectName(u"client"_s);
  client->setProperty(kWindowProperty, id);
  top->setCentralWidget(client);
  w.top = top;
  w.client = client;
  top->installEventFilter(filter_.get());
  client->installEventFilter(filter_.get());
  BuildMenus(w, id);
  BuildControls(w);
  for (auto& c : w.controls) {
    c.widget->setProperty(kWindowProperty, id);
    c.widget->installEventFilter(filter_.get());
  }

  // The client area has exactly the designed size; the menu bar comes on top of it.
  const QSize clientSize(Px(form.clientWidth), Px(form.clientHeight));
  const int menuHeight = form.menus.empty() ? 0 : top->menuBar()->sizeHint().height();
  const QSize size(clientSize.width(), clientSize.height() + menuHeight);
  if (form.frame == platform::FrameKind::FixedDialog)
    top->setFixedSize(size);
  else
    top->resize(size);
  windows_.emplace(id, std::move(w));
  return id;
}

void QtBackend::Reparent(Window& w, QWidget* owner) {
  const Qt::WindowFlags flags = FlagsFor(w, owner != nullptr);
  if (w.top->parentWidget() == owner && w.top->windowFlags() == flags) return;
  const QRect geometry = w.top->geometry();
  w.top->setParent(owner, flags);
  w.top->setGeometry(geometry);
}

void QtBackend::Place(Window& w) {
  QWidget* top = w.top;
  const FormDescription& f = *w.form;
  const Window* owner = Find(w.owner);
  const bool overOwner = f.position == platform::StartPosition::CenterOwner && owner &&
                         owner->top->isVisible() && !owner->top->isMinimized();
  QScreen* screen = overOwner ? owner->top->screen() : top->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  QRect frame = top->frameGeometry();
  const QPoint inset = top->geometry().topLeft() - frame.topLeft();
  // On the work area: a sizable window larger than it is made smaller.
  if (f.frame == platform::FrameKind::Sizable) {
    const QSize around = frame.size() - top->size();
    const QSize size = top->size().boundedTo(area.size() - around);
    if (size != top->size()) top->resize(size);
    frame.setSize(size + around);
  }
  QPoint pos = frame.topLeft();
  if (f.position == platform::StartPosition::Manual) {
    // The stored position is that of the client area.
    pos = QPoint(Px(f.left), Px(f.top)) - w.client->pos() - inset;
  } else if (f.position == platform::StartPosition::CenterOwner) {
    const QRect reference = overOwner ? owner->top->frameGeometry() : area;
    pos = reference.center() - QPoint(frame.width() / 2, frame.height() / 2);
  }
  // A window that would leave the work area is moved just as far as it must.
  const QPoint far =
      area.topLeft() + QPoint(area.width(), area.height()) - QPoint(frame.width(), frame.height());
  pos.setX(std::clamp(pos.x(), area.left(), std::max(area.left(), far.x())));
  pos.setY(std::clamp(pos.y(), area.top(), std::max(area.top(), far.y())));
  top->move(pos);
}

void QtBackend::Stack(WindowId window) {
  std::erase(zOrder_, window);
  zOrder_.push_back(window);
}

void QtBackend::ActivateFront() {
  for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it) {
    if (Window* w = Find(*it); w && w->top->isVisible()) {
      Raise(w->top);
      w->top->activateWindow();
      return;
    }
  }
}

void QtBackend::DestroyWindow(WindowId window) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  Window w = std::move(it->second);
  windows_.erase(it);
  std::erase_if(timers_, [&](const auto& t) { return t.first.first == window; });
  std::erase(zOrder_, window);
  if (!w.top) return;
  // Windows it owns live on without it; Qt must not delete them with their parent.
  for (auto& [id, other] : windows_) {
    if (other.owner != window) continue;
    other.owner = kNoWindow;
    if (other.top && other.top->parentWidget() == w.top) {
      const bool visible = other.top->isVisible();
      Reparent(other, nullptr);
      if (visible) other.top->show();
    }
  }
  const bool wasActive = w.top->isActiveWindow();
  w.top->setProperty(kWindowProperty, QVariant());
  w.top->hide();
  // It may be in the middle of one of its own events; Qt deletes it once that is done.
  w.top->deleteLater();
  if (wasActive) ActivateFront();
}

void QtBackend::ShowWindow(WindowId window, WindowId owner, bool modal) {
  Window& w = At(window);
  const Window* ownerWindow = owner == window ? nullptr : Find(owner);
  if (w.top->isVisible()) w.top->hide();  // parent and modality change only while hidden
  w.owner = ownerWindow ? owner : kNoWindow;
  w.modal = modal;
  Reparent(w, ownerWindow ? ownerWindow->top.data() : nullptr);
  w.top->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  // Shown again, a minimised window comes back.
  w.top->setWindowState(w.top->windowState() & ~Qt::WindowMinimized);
  if (!w.top->focusWidget()) {
    // The first control in tab order that can take the focus gets it.
    const Control* first = nullptr;
    for (const auto& c : w.controls) {
      if (TakesFocus(*c.description) && c.widget->isEnabled() &&
          (!first || c.description->tabIndex < first->description->tabIndex))
        first = &c;
    }
    if (first) first->widget->setFocus(Qt::OtherFocusReason);
  }
  Place(w);
  w.top->show();
  // Some platforms frame a window only when it is shown: placed again with its frame.
  Place(w);
  Stack(window);
  w.top->activateWindow();
}

void QtBackend::RaiseWindow(WindowId window) {
  Window& w = At(window);
  Stack(window);
  Raise(w.top);
  w.top->activateWindow();
}

void QtBackend::HideWindow(WindowId window) {
  Window& w = At(window);
  const bool wasActive = w.top->isActiveWindow();
  w.top->hide();
  w.top->setWindowModality(Qt::NonModal);
  w.modal = false;
  std::erase(zOrder_, window);
  if (wasActive || !QApplication::activeWindow()) ActivateFront();
}

void QtBackend::SetCaption(WindowId window, std::u16string_view caption) {
  At(window).top->setWindowTitle(Title(caption));
}

std::u16string QtBackend::ControlText(WindowId window, std::u16string_view control) const {
  const Window& w = At(window);
  QWidget* widget = Widget(w, control);
  if (!widget) return {};
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return U(edit->text());
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return U(button->text());
  if (QVariant link = widget->property(kLinkTextProperty); link.isValid())
    return U(link.toString());
  if (auto* label = qobject_cast<QLabel*>(widget)) return U(label->text());
  return {};
}

void QtBackend::SetControlText(WindowId window, std::u16string_view control,
                               std::u16string_view text) {
  Window& w = At(window);
  QWidget* widget = Widget(w, control);
  if (!widget) return;
  const ControlDescription* c = w.form->Control(control);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    if (auto* limit = dynamic_cast<LengthLimit*>(const_cast<QValidator*>(edit->validator())))
      limit->SetByProgram(Q(text));
    edit->setText(Q(text));
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(Q(text));
  } else if (widget->property(kLinkTextProperty).isValid()) {
    auto* link = static_cast<QLabel*>(widget);
    link->setProperty(kLinkTextProperty, Q(text));
    link->setText(LinkMarkup(text, c->target, c->underline));
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(Q(text));
    if (c && c->autoSize) label->adjustSize();
  }
  if (c && c->kind != ControlKind::TextBox)
    widget->setAccessibleName(Q(platform::desktop::AccessibleName(
        *w.form, *c, [&](const ControlDescription&) { return std::u16string(text); })));
}

void QtBackend::SetControlEnabled(WindowId window, std::u16string_view control, bool on) {
  if (QWidget* widget = Widget(At(window), control)) widget->setEnabled(on);
}

void QtBackend::SetFocus(WindowId window, std::u16string_view control) {
  Window& w = At(window);
  QWidget* widget = Widget(w, control);
  if (!widget) return;
  const std::u16string previous = FocusedControl(window);
  widget->setFocus(Qt::OtherFocusReason);
  // In a window that is not active Qt moves the focus silently; the control still lost it.
  if (!w.top->isActiveWindow() && !previous.empty() && previous != control)
    Post([window, previous](BackendEvents& e) { e.FocusLost(window, previous); });
}

std::u16string QtBackend::FocusedControl(WindowId window) const {
  const Window& w = At(window);
  QWidget* focused = w.top->focusWidget();
  for (const auto& c : w.controls)
    if (c.widget && c.widget == focused) return c.description->name;
  return {};
}

void QtBackend::StartTimer(WindowId window, std::u16string_view timer, int intervalMs) {
  At(window);
  if (intervalMs <= 0) return;
  auto& slot = timers_[{window, std::u16string(timer)}];
  if (!slot) {
    slot.reset(new QTimer);
    QObject::connect(slot.get(), &QTimer::timeout, this,
                     [this, window, name = std::u16string(timer)] {
                       if (events_) events_->TimerFired(window, name);
                     });
  }
  slot->start(intervalMs);  // a running timer starts a new interval
}

void QtBackend::StopTimer(WindowId window, std::u16string_view timer) {
  timers_.erase({window, std::u16string(timer)});
}

void QtBackend::ProcessEvents(std::chrono::milliseconds maxWait) {
  if (maxWait.count() > 0) {
    // The timer only wakes the wait; with events pending the wait returns at once.
    wake_.start(
        static_cast<int>(std::min<std::chrono::milliseconds::rep>(maxWait.count(), 1'000'000'000)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    wake_.stop();
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtBackend::WaitForEvents(bool /*modal*/) {
  // Qt keeps the windows behind an application-modal window from taking input.
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace quorel::qt
