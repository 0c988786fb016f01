// The desktop as the program sees it: windows addressed by name (each at most once per run),
// their controls, modal and modeless showing, message boxes, the mouse pointer, pending events,
// timers and the end of the program.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/form.h"

namespace quorel::platform {

enum class ShowMode { Modeless, Modal };

// Message box styles and answers. A style is the sum of one value from each group: the
// buttons, the icon and the default button (0 the first, 256 the second).
inline constexpr int vbOKOnly = 0;
inline constexpr int vbYesNo = 4;
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
// The bits of each group.
inline constexpr int kMsgBoxButtons = 0x7;
inline constexpr int kMsgBoxIcon = 0x70;
inline constexpr int kMsgBoxDefaultButton = 0x300;

inline constexpr int vbOK = 1;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// Mouse pointer shapes.
inline constexpr int vbDefault = 0;
inline constexpr int vbHourglass = 11;

// Thrown by Desktop::End: every window is gone, nothing more of the program runs.
// Deliberately not a std::exception, so that no handler that catches errors can swallow it.
struct ProgramEnd {
  int status = 0;
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  virtual void Register(const FormDescription& form, FormHandlers& handlers) = 0;

  // These two look without touching: they never create a window.
  virtual bool Exists(std::u16string_view form) const = 0;
  virtual bool Visible(std::u16string_view form) const = 0;

  // Everything below touches the form: the first touch creates it hidden with its design-time
  // texts and runs its load handler.
  virtual void Load(std::u16string_view form) = 0;
  // Modal showing returns once the form is hidden or unloaded; events go on meanwhile.
  // Showing a form that is already shown only brings it forward.
  virtual void Show(std::u16string_view form, ShowMode mode = ShowMode::Modeless,
                    std::u16string_view owner = {}) = 0;
  virtual void Hide(std::u16string_view form) = 0;  // keeps the texts
  // Runs the unload handler and destroys the form; the next touch starts afresh.
  virtual void Unload(std::u16string_view form) = 0;

  virtual std::u16string Caption(std::u16string_view form) = 0;
  virtual void SetCaption(std::u16string_view form, std::u16string_view caption) = 0;
  virtual std::u16string Text(std::u16string_view form, std::u16string_view control) = 0;
  virtual void SetText(std::u16string_view form, std::u16string_view control,
                       std::u16string_view text) = 0;
  virtual bool Enabled(std::u16string_view form, std::u16string_view control) = 0;
  virtual void SetEnabled(std::u16string_view form, std::u16string_view control, bool on) = 0;
  // The truth value of a two-state push button.
  virtual bool Value(std::u16string_view form, std::u16string_view control) = 0;
  virtual void SetValue(std::u16string_view form, std::u16string_view control, bool value) = 0;
  virtual void SetFocus(std::u16string_view form, std::u16string_view control) = 0;
  virtual bool TimerEnabled(std::u16string_view form, std::u16string_view timer) = 0;
  // Enabling starts a new interval, also when the timer was already on.
  virtual void SetTimerEnabled(std::u16string_view form, std::u16string_view timer, bool on) = 0;

  // A modal message box; returns vbOK, vbYes or vbNo. An empty title means the application title.
  virtual int MsgBox(std::u16string_view prompt, int style = vbOKOnly,
                     std::u16string_view title = {}) = 0;

  virtual int MousePointer() const = 0;
  virtual void SetMousePointer(int shape) = 0;

  // Processes the pending events once; with maxWait, first waits up to that long for one.
  virtual void DoEvents(std::chrono::milliseconds maxWait = std::chrono::milliseconds{0}) = 0;

  // Runs the event loop; it is left only through End or an error.
  virtual void Run() = 0;
  // Destroys every window without running any handler.
  virtual void CloseAll() = 0;
  // Ends the program: every window goes without any further handler, then ProgramEnd is thrown.
  [[noreturn]] virtual void End(int status) = 0;
};

// A form addressed by name, for readable handler code: FMPass.Text(u"BUSER").
class Form {
 public:
  Form(Desktop& desktop, std::u16string name) : desktop_(desktop), name_(std::move(name)) {}

  const std::u16string& Name() const { return name_; }
  bool Exists() const { return desktop_.Exists(name_); }
  bool Visible() const { return desktop_.Visible(name_); }
  void Load() { desktop_.Load(name_); }
  void Show(ShowMode mode = ShowMode::Modeless) { desktop_.Show(name_, mode); }
  void Show(ShowMode mode, const Form& owner) { desktop_.Show(name_, mode, owner.name_); }
  void Hide() { desktop_.Hide(name_); }
  void Unload() { desktop_.Unload(name_); }
  std::u16string Caption() { return desktop_.Caption(name_); }
  void SetCaption(std::u16string_view caption) { desktop_.SetCaption(name_, caption); }
  std::u16string Text(std::u16string_view control) { return desktop_.Text(name_, control); }
  void SetText(std::u16string_view control, std::u16string_view text) {
    desktop_.SetText(name_, control, text);
  }
  bool Enabled(std::u16string_view control) { return desktop_.Enabled(name_, control); }
  void SetEnabled(std::u16string_view control, bool on) { desktop_.SetEnabled(name_, control, on); }
  bool Value(std::u16string_view control) { return desktop_.Value(name_, control); }
  void SetValue(std::u16string_view control, bool v) { desktop_.SetValue(name_, control, v); }
  void SetFocus(std::u16string_view control) { desktop_.SetFocus(name_, control); }
  bool TimerEnabled(std::u16string_view timer) { return desktop_.TimerEnabled(name_, timer); }
  void SetTimerEnabled(std::u16string_view timer, bool on) {
    desktop_.SetTimerEnabled(name_, timer, on);
  }

 private:
  Desktop& desktop_;
  std::u16string name_;
};

}  // namespace quorel::platform
