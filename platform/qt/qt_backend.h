// The desktop backend on Qt Widgets: every form becomes a real top-level window built from its
// layout table, and what the user does is posted to the window semantics as backend events.
// - Events: a report reaches the window semantics once the current Qt event is done (a timer's
//   tick at once). Events are processed only in ProcessEvents, WaitForEvents and the wait of a
//   message box, never in a loop of Qt's own.
// - Windows: CreateWindow builds a form's window and widgets, hidden (the Win32 backend builds
//   them when first shown). The client area has the designed size, the menu bar comes on top.
//   An owned window is a Qt child of its owner, and lives on without owner when that goes.
// - Modality is Qt's own (application-modal windows), so WaitForEvents needs no modal flag;
//   the Win32 backend disables the windows behind a modal one itself.
// - Z-order: the backend keeps its own order of the visible windows. The front one owns a
//   message box, and is activated when the active window is hidden or destroyed, or when none
//   is active after a hide or a message box.
// - Focus: in a window that is not active Qt moves the focus silently; SetFocus reports the
//   loss itself. A window without a control that can take the focus takes it itself.
// - A modal window that is minimised is brought back; any window is when it is shown again.
// - A focused push button looks like the default button, and the default button does while no
//   other push button has the focus. Alt combinations (not AltGr) never type into a field.
// - Limits: Qt's offscreen platform cannot raise windows, they are only activated there. Under
//   Wayland the compositor places every window: a stored position goes unheeded, and a dialog
//   is centred over its owner only if the compositor does so. Activating a window there only
//   asks the compositor (Qt sends an xdg-activation token of the last input event), which gives
//   the window the focus or, like sway by default, only marks it urgent. The Caps Lock hint of
//   a password field is told from a typed letter's case against the Shift key, so it shows only
//   once a letter is typed.
// - Needs a QApplication, which it keeps from quitting when the last window closes and gives
//   the program's icon unless the program set one.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop/backend.h"

class QStyle;

namespace quorel::qt {

class QtBackend final : public QObject, public platform::desktop::Backend {
 public:
  // Needs a QApplication; throws std::runtime_error when there is none.
  QtBackend();
  QtBackend(const QtBackend&) = delete;
  QtBackend& operator=(const QtBackend&) = delete;
  ~QtBackend() override;

  // Backend.
  void SetEvents(platform::desktop::BackendEvents& events) override { events_ = &events; }
  platform::desktop::WindowId CreateWindow(const platform::FormDescription& form) override;
  void DestroyWindow(platform::desktop::WindowId window) override;
  void ShowWindow(platform::desktop::WindowId window, platform::desktop::WindowId owner,
                  bool modal) override;
  void RaiseWindow(platform::desktop::WindowId window) override;
  void HideWindow(platform::desktop::WindowId window) override;
  void SetCaption(platform::desktop::WindowId window, std::u16string_view caption) override;
  std::u16string ControlText(platform::desktop::WindowId window,
                             std::u16string_view control) const override;
  void SetControlText(platform::desktop::WindowId window, std::u16string_view control,
                      std::u16string_view text) override;
  void SetControlEnabled(platform::desktop::WindowId window, std::u16string_view control,
                         bool on) override;
  void SetFocus(platform::desktop::WindowId window, std::u16string_view control) override;
  std::u16string FocusedControl(platform::desktop::WindowId window) const override;
  void StartTimer(platform::desktop::WindowId window, std::u16string_view timer,
                  int intervalMs) override;
  void StopTimer(platform::desktop::WindowId window, std::u16string_view timer) override;
  int MessageBox(std::u16string_view prompt, int style, std::u16string_view title) override;
  void SetMousePointer(int shape) override;
  void ProcessEvents(std::chrono::milliseconds maxWait) override;
  void WaitForEvents(bool modal) override;

  // The real widgets, for tests and screenshots: the top-level window of a form (nullptr when
  // it has none), the widget of its client area and the widget of a control.
  QWidget* TopLevel(std::u16string_view form) const;
  QWidget* ClientArea(std::u16string_view form) const;
  QWidget* ControlWidget(std::u16string_view form, std::u16string_view control) const;

 private:
  struct Control {
    const platform::ControlDescription* description = nullptr;
    QPointer<QWidget> widget;
  };
  struct Window {
    std::unique_ptr<platform::FormDescription> form;  // stable address for the controls
    QPointer<QWidget> top;
    QPointer<QWidget> client;
    std::vector<Control> controls;
    platform::desktop::WindowId owner = platform::desktop::kNoWindow;
    bool modal = false;
  };

  // Windows, placement and z-order (qt_backend.cpp).
  Window* Find(platform::desktop::WindowId window);
  const Window* Find(platform::desktop::WindowId window) const;
  Window& At(platform::desktop::WindowId window);
  const Window& At(platform::desktop::WindowId window) const;
  platform::desktop::WindowId IdOf(std::u16string_view form) const;
  QWidget* Widget(const Window& w, std::u16string_view control) const;
  void Reparent(Window& w, QWidget* owner);
  void Place(Window& w);
  void Stack(platform::desktop::WindowId window);  // moves it to the front of our z-order
  void ActivateFront();
  // Hands an event to the window semantics once the current Qt event is done.
  void Post(std::function<void(platform::desktop::BackendEvents&)> report);

  // Building and laying out (form_layout.cpp).
  void BuildMenus(Window& w, platform::desktop::WindowId id);
  void BuildControls(Window& w);
  QStyle* PasswordStyle(char16_t mask);
  // Window type and frame hints for showing with or without owner.
  Qt::WindowFlags FlagsFor(const Window& w, bool owned) const;

  // The event filter on our windows and controls (event_filter.cpp): it posts what the
  // program must hear of.
  class Filter;
  std::unique_ptr<QObject> MakeFilter();
  // Reports the activation of a window (and, without a control to focus, its own focus).
  void Activated(platform::desktop::WindowId window);
  // Brings a modal window back when it was minimised.
  void Minimized(platform::desktop::WindowId window);
  // Gives the default look to the focused push button, else to the default button.
  void ShowDefaultLook(platform::desktop::WindowId window, QWidget* focus);

  // Message boxes and the mouse pointer: MessageBox and SetMousePointer (message_box.cpp).

  platform::desktop::BackendEvents* events_ = nullptr;
  std::map<platform::desktop::WindowId, Window> windows_;
  std::vector<platform::desktop::WindowId> zOrder_;  // visible windows, front last
  platform::desktop::WindowId nextId_ = 1;
  // A timer may be stopped from the handler of its own tick: it goes once that tick is done.
  struct DeleteLater {
    void operator()(QTimer* timer) const {
      timer->stop();
      timer->deleteLater();
    }
  };
  std::map<std::pair<platform::desktop::WindowId, std::u16string>,
           std::unique_ptr<QTimer, DeleteLater>>
      timers_;
  std::map<char16_t, std::unique_ptr<QStyle>> passwordStyles_;
  std::unique_ptr<QObject> filter_;  // a Filter
  QTimer wake_;
  bool pointerOverridden_ = false;
};

}  // namespace quorel::qt
