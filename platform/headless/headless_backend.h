// The in-memory desktop: real window state (texts, enabled flags, focus, visibility, z-order,
// modality, timers) without a screen, driven by a scripted user, for the tests.
// - What it does to windows, timers, message boxes and the pointer is written to the event log
//   (texts and enabled states are not). What the windows report is queued and handed to the
//   window semantics when the program waits or processes events.
// - The scripted user: each call adds one step, which runs when the program waits for the user
//   (a modal dialog, a message box, the main loop). A step acts only where a person could (a
//   visible window that no modal window is in front of, an enabled control); else ScriptError.
// - A wait with nothing scripted fails at once: ScriptError in a modal window or a message box,
//   ScriptDone in the main loop. A message box takes only a scripted answer it offers.
// - Time is a virtual clock's, which the tests set: the backend moves it only in ProcessEvents
//   (by maxWait, without waiting) and in a scripted wait, and the timers due by then tick in
//   order.
// - The front visible window is always the active one; a message box changes neither the
//   z-order nor the active window.
// - Typing replaces a field's whole text, cut to the field's maximum length.
// - Not modelled: sizes, places, fonts and pictures; menus beyond the name of the item chosen;
//   shortcuts, access letters and Tab; minimising; the focus of a window without controls (no
//   FormFocused); the Caps Lock hint; the mouse pointer beyond its last shape.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/desktop/backend.h"
#include "platform/headless/event_log.h"
#include "platform/headless/virtual_clock.h"

namespace quorel::platform::headless {

// A step the program could not take as scripted, or a wait with nothing scripted.
// Not a std::exception: the program under test must not be able to swallow it.
struct ScriptError {
  std::string message;
};
// The main loop waits for the user and the script is done.
struct ScriptDone {};

class HeadlessBackend final : public desktop::Backend {
 public:
  HeadlessBackend(VirtualClock& clock, EventLog& log);

  // Backend.
  void SetEvents(desktop::BackendEvents& events) override { events_ = &events; }
  desktop::WindowId CreateWindow(const FormDescription& form) override;
  void DestroyWindow(desktop::WindowId window) override;
  void ShowWindow(desktop::WindowId window, desktop::WindowId owner, bool modal) override;
  void RaiseWindow(desktop::WindowId window) override;
  void HideWindow(desktop::WindowId window) override;
  void SetCaption(desktop::WindowId window, std::u16string_view caption) override;
  std::u16string ControlText(desktop::WindowId window, std::u16string_view control) const override;
  void SetControlText(desktop::WindowId window, std::u16string_view control,
                      std::u16string_view text) override;
  void SetControlEnabled(desktop::WindowId window, std::u16string_view control, bool on) override;
  void SetFocus(desktop::WindowId window, std::u16string_view control) override;
  std::u16string FocusedControl(desktop::WindowId window) const override;
  void StartTimer(desktop::WindowId window, std::u16string_view timer, int intervalMs) override;
  void StopTimer(desktop::WindowId window, std::u16string_view timer) override;
  int MessageBox(std::u16string_view prompt, int style, std::u16string_view title) override;
  void SetMousePointer(int shape) override;
  void ProcessEvents(std::chrono::milliseconds maxWait) override;
  void WaitForEvents(bool modal) override;

  // The scripted user. Each call adds one step to the script.
  void Type(std::u16string_view form, std::u16string_view control, std::u16string_view text);
  void Focus(std::u16string_view form, std::u16string_view control);
  void Click(std::u16string_view form, std::u16string_view control);
  void PressEnter(std::u16string_view form);
  void PressEscape(std::u16string_view form);
  void PressF1(std::u16string_view form);
  void ChooseMenu(std::u16string_view form, std::u16string_view item);
  void CloseBox(std::u16string_view form);
  void Activate(std::u16string_view form);        // brings the window to the front
  void Answer(int answer);                        // the next message box
  void Wait(std::chrono::milliseconds duration);  // the user does nothing for a while
  void Check(const std::string& what, std::function<void()> check);  // runs test code at that point
  bool ScriptEmpty() const { return script_.empty(); }

  // What is on the screen, by form name; none of these creates anything.
  bool HasWindow(std::u16string_view form) const;
  bool IsVisible(std::u16string_view form) const;
  bool IsModal(std::u16string_view form) const;
  std::u16string OwnerOf(std::u16string_view form) const;
  std::u16string CaptionOf(std::u16string_view form) const;
  std::u16string TextOf(std::u16string_view form, std::u16string_view control) const;
  bool IsEnabled(std::u16string_view form, std::u16string_view control) const;
  std::u16string FocusOf(std::u16string_view form) const;
  std::u16string ActiveForm() const;
  int Pointer() const { return pointer_; }
  bool TimerRunning(std::u16string_view form, std::u16string_view timer) const;

 private:
  struct Window {
    FormDescription form;
    std::u16string caption;
    std::map<std::u16string, std::u16string, std::less<>> texts;
    std::map<std::u16string, bool, std::less<>> enabled;
    std::u16string focused;
    bool visible = false;
    bool modal = false;
    desktop::WindowId owner = desktop::kNoWindow;
  };
  struct Step {
    std::string what;
    std::function<void()> act;
    bool isAnswer = false;
    int answer = 0;
  };
  struct TimerState {
    int intervalMs = 0;
    std::int64_t dueMs = 0;
  };

  Window& At(desktop::WindowId window);
  const Window& At(desktop::WindowId window) const;
  desktop::WindowId Find(std::u16string_view form) const;
  // The window the user acts on: it must be visible and not blocked by a modal window.
  desktop::WindowId Reachable(std::u16string_view form) const;
  void Post(std::function<void()> event) { posted_.push_back(std::move(event)); }
  bool DeliverPosted();
  void MoveFocus(desktop::WindowId window, std::u16string_view control);
  void ActivateTop();  // makes the top visible window the active one
  void AdvanceTo(std::int64_t targetMs);
  void AddStep(std::string what, std::function<void()> act);
  std::string Name(desktop::WindowId window) const;

  VirtualClock& clock_;
  EventLog& log_;
  desktop::BackendEvents* events_ = nullptr;
  std::map<desktop::WindowId, Window> windows_;
  std::vector<desktop::WindowId> zOrder_;  // visible windows, topmost last
  desktop::WindowId active_ = desktop::kNoWindow;
  desktop::WindowId nextId_ = 1;
  std::map<std::pair<desktop::WindowId, std::u16string>, TimerState> timers_;
  std::deque<std::function<void()>> posted_;
  std::deque<Step> script_;
  int pointer_ = 0;
};

}  // namespace quorel::platform::headless
