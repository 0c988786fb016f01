// The window semantics of the program, written once over any toolkit backend: forms addressed
// by name, created hidden on first touch (load handler included), kept with their texts while
// hidden, destroyed by unload; modal showing as a nested event loop; default and cancel buttons,
// shortcuts, two-state buttons, timers, and the end of the program.
#pragma once

#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/desktop.h"
#include "platform/desktop/backend.h"

namespace quorel::platform::desktop {

class FormDesktop final : public platform::Desktop, private BackendEvents {
 public:
  FormDesktop(Backend& backend, std::u16string appTitle);
  FormDesktop(const FormDesktop&) = delete;
  FormDesktop& operator=(const FormDesktop&) = delete;
  ~FormDesktop() override;

  void Register(const FormDescription& form, FormHandlers& handlers) override;
  bool Exists(std::u16string_view form) const override;
  bool Visible(std::u16string_view form) const override;
  void Load(std::u16string_view form) override;
  void Show(std::u16string_view form, ShowMode mode, std::u16string_view owner) override;
  void Hide(std::u16string_view form) override;
  void Unload(std::u16string_view form) override;
  std::u16string Caption(std::u16string_view form) override;
  void SetCaption(std::u16string_view form, std::u16string_view caption) override;
  std::u16string Text(std::u16string_view form, std::u16string_view control) override;
  void SetText(std::u16string_view form, std::u16string_view control,
               std::u16string_view text) override;
  bool Enabled(std::u16string_view form, std::u16string_view control) override;
  void SetEnabled(std::u16string_view form, std::u16string_view control, bool on) override;
  bool Value(std::u16string_view form, std::u16string_view control) override;
  void SetValue(std::u16string_view form, std::u16string_view control, bool value) override;
  void SetFocus(std::u16string_view form, std::u16string_view control) override;
  bool TimerEnabled(std::u16string_view form, std::u16string_view timer) override;
  void SetTimerEnabled(std::u16string_view form, std::u16string_view timer, bool on) override;
  int MsgBox(std::u16string_view prompt, int style, std::u16string_view title) override;
  int MousePointer() const override { return pointer_; }
  void SetMousePointer(int shape) override;
  void DoEvents(std::chrono::milliseconds maxWait) override;
  void Run() override;
  void CloseAll() override;
  [[noreturn]] void End(int status) override;

  // The window of a form, or kNoWindow while it does not exist.
  WindowId WindowOf(std::u16string_view form) const;
  // The form a window belongs to, or empty text.
  std::u16string FormOf(WindowId window) const;

 private:
  struct ControlState {
    bool enabled = true;
    bool value = false;
    bool timerOn = false;
  };
  struct Instance {
    WindowId window = kNoWindow;
    unsigned generation = 0;
    bool visible = false;
    std::u16string caption;
    std::map<std::u16string, ControlState, std::less<>> controls;
  };
  struct Entry {
    FormDescription description;
    FormHandlers* handlers = nullptr;
    std::optional<Instance> instance;
  };

  Entry& Find(std::u16string_view form);
  const Entry* FindOrNull(std::u16string_view form) const;
  // Creates the form on first touch.
  Entry& Touch(std::u16string_view form);
  ControlState& State(Entry& entry, std::u16string_view control);
  bool Alive(const Entry& entry, unsigned generation) const;
  void Destroy(Entry& entry);
  void Press(Entry& entry, const ControlDescription& control);
  void RethrowPending();
  // Runs a reaction to a backend event; an error is kept and rethrown where the program waits.
  void Dispatch(WindowId window, const std::function<void(Entry&)>& reaction,
                bool onlyWhileVisible = true);

  void Clicked(WindowId window, std::u16string_view control) override;
  void MenuChosen(WindowId window, std::u16string_view item) override;
  void KeyPressed(WindowId window, Key key) override;
  void CloseRequested(WindowId window) override;
  void Activated(WindowId window) override;
  void FormFocused(WindowId window) override;
  void FocusLost(WindowId window, std::u16string_view control) override;
  void TimerFired(WindowId window, std::u16string_view timer) override;

  Backend& backend_;
  std::u16string appTitle_;
  std::map<std::u16string, Entry, std::less<>> forms_;
  std::map<WindowId, std::u16string> byWindow_;
  unsigned generations_ = 0;
  int pointer_ = vbDefault;
  bool ended_ = false;
  int endStatus_ = 0;
  std::exception_ptr pending_;
};

}  // namespace quorel::platform::desktop
