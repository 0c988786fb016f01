// The thin interface a toolkit implements so that the window semantics of FormDesktop work on it:
// it creates, shows and destroys real windows, holds what the user types, and reports what the
// user does. It decides nothing about forms, handlers or lifetimes.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/form.h"

namespace quorel::platform::desktop {

using WindowId = int;
inline constexpr WindowId kNoWindow = 0;

enum class Key { Enter, Escape, F1 };

// What the backend reports; FormDesktop implements it.
class BackendEvents {
 public:
  virtual ~BackendEvents() = default;
  virtual void Clicked(WindowId window, std::u16string_view control) = 0;
  virtual void MenuChosen(WindowId window, std::u16string_view item) = 0;
  virtual void KeyPressed(WindowId window, Key key) = 0;
  virtual void CloseRequested(WindowId window) = 0;
  virtual void Activated(WindowId window) = 0;
  virtual void FormFocused(WindowId window) = 0;
  virtual void FocusLost(WindowId window, std::u16string_view control) = 0;
  virtual void TimerFired(WindowId window, std::u16string_view timer) = 0;
};

class Backend {
 public:
  virtual ~Backend() = default;

  virtual void SetEvents(BackendEvents& events) = 0;

  // A hidden window with the form's design-time captions, texts and enabled states.
  virtual WindowId CreateWindow(const FormDescription& form) = 0;
  virtual void DestroyWindow(WindowId window) = 0;
  // owner is kNoWindow for a window without owner. A modal window blocks input to the others.
  virtual void ShowWindow(WindowId window, WindowId owner, bool modal) = 0;
  virtual void RaiseWindow(WindowId window) = 0;
  virtual void HideWindow(WindowId window) = 0;
  virtual void SetCaption(WindowId window, std::u16string_view caption) = 0;

  virtual std::u16string ControlText(WindowId window, std::u16string_view control) const = 0;
  virtual void SetControlText(WindowId window, std::u16string_view control,
                              std::u16string_view text) = 0;
  virtual void SetControlEnabled(WindowId window, std::u16string_view control, bool on) = 0;
  virtual void SetFocus(WindowId window, std::u16string_view control) = 0;
  // The control of the window that has the keyboard focus, or empty text.
  virtual std::u16string FocusedControl(WindowId window) const = 0;

  // A repeating timer; starting a running timer starts a new interval.
  virtual void StartTimer(WindowId window, std::u16string_view timer, int intervalMs) = 0;
  virtual void StopTimer(WindowId window, std::u16string_view timer) = 0;

  // Shows a modal message box (events go on) and returns the answer: vbOK, vbYes or vbNo.
  virtual int MessageBox(std::u16string_view prompt, int style, std::u16string_view title) = 0;
  virtual void SetMousePointer(int shape) = 0;

  // Processes the pending events; when there are none, waits up to maxWait for one first.
  virtual void ProcessEvents(std::chrono::milliseconds maxWait) = 0;
  // Waits until an event has been processed. modal tells whether a modal window is waited for.
  virtual void WaitForEvents(bool modal) = 0;
};

}  // namespace quorel::platform::desktop
