#include "platform/desktop/form_desktop.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "platform/text.h"

namespace quorel::platform::desktop {

namespace {

std::logic_error UsageError(std::string_view what, std::u16string_view form,
                            std::u16string_view control = {}) {
  std::string message(what);
  message += ": " + text::ToUtf8(form);
  if (!control.empty()) message += "." + text::ToUtf8(control);
  return std::logic_error(message);
}

const char16_t* KeyName(Key key) {
  switch (key) {
    case Key::Enter:
      return u"Enter";
    case Key::Escape:
      return u"Escape";
    case Key::F1:
      return u"F1";
  }
  return u"";
}

}  // namespace

FormDesktop::FormDesktop(Backend& backend, std::u16string appTitle)
    : backend_(backend), appTitle_(std::move(appTitle)) {
  backend_.SetEvents(*this);
}

FormDesktop::~FormDesktop() = default;

void FormDesktop::Register(const FormDescription& form, FormHandlers& handlers) {
  Entry entry;
  entry.description = form;
  entry.handlers = &handlers;
  forms_.insert_or_assign(form.name, std::move(entry));
}

FormDesktop::Entry& FormDesktop::Find(std::u16string_view form) {
  auto it = forms_.find(form);
  if (it == forms_.end()) throw UsageError("Unbekanntes Formular", form);
  return it->second;
}

const FormDesktop::Entry* FormDesktop::FindOrNull(std::u16string_view form) const {
  auto it = forms_.find(form);
  return it == forms_.end() ? nullptr : &it->second;
}

bool FormDesktop::Exists(std::u16string_view form) const {
  const Entry* e = FindOrNull(form);
  return e && e->instance;
}

bool FormDesktop::Visible(std::u16string_view form) const {
  const Entry* e = FindOrNull(form);
  return e && e->instance && e->instance->visible;
}

WindowId FormDesktop::WindowOf(std::u16string_view form) const {
  const Entry* e = FindOrNull(form);
  return e && e->instance ? e->instance->window : kNoWindow;
}

std::u16string FormDesktop::FormOf(WindowId window) const {
  auto it = byWindow_.find(window);
  return it == byWindow_.end() ? std::u16string() : it->second;
}

FormDesktop::Entry& FormDesktop::Touch(std::u16string_view form) {
  Entry& entry = Find(form);
  if (entry.instance) return entry;
  if (ended_) throw ProgramEnd{endStatus_};
  Instance instance;
  instance.window = backend_.CreateWindow(entry.description);
  instance.generation = ++generations_;
  instance.caption = entry.description.caption;
  for (const auto& c : entry.description.controls) {
    ControlState state;
    state.enabled = c.enabled;
    state.value = c.initialValue;
    instance.controls.emplace(c.name, state);
  }
  byWindow_[instance.window] = entry.description.name;
  const WindowId window = instance.window;
  entry.instance = std::move(instance);
  // Timers enabled at design time run from creation.
  for (const auto& c : entry.description.controls) {
    if (c.kind == ControlKind::Timer && c.enabled && c.interval > 0) {
      entry.instance->controls[c.name].timerOn = true;
      backend_.StartTimer(window, c.name, c.interval);
    }
  }
  entry.handlers->Load();
  if (!entry.instance) throw UsageError("Formular hat sich beim Laden selbst entladen", form);
  return entry;
}

FormDesktop::ControlState& FormDesktop::State(Entry& entry, std::u16string_view control) {
  auto it = entry.instance->controls.find(control);
  if (it == entry.instance->controls.end())
    throw UsageError("Unbekanntes Steuerelement", entry.description.name, control);
  return it->second;
}

bool FormDesktop::Alive(const Entry& entry, unsigned generation) const {
  return entry.instance && entry.instance->generation == generation;
}

void FormDesktop::Load(std::u16string_view form) {
  Touch(form);
}

void FormDesktop::Show(std::u16string_view form, ShowMode mode, std::u16string_view owner) {
  Entry& entry = Touch(form);
  const WindowId ownerWindow = owner.empty() ? kNoWindow : Touch(owner).instance->window;
  if (!entry.instance) return;  // the owner's load unloaded it again
  Instance& instance = *entry.instance;
  if (instance.visible) {
    if (mode == ShowMode::Modal)
      throw UsageError("Formular wird bereits angezeigt, modale Anzeige nicht möglich", form);
    backend_.RaiseWindow(instance.window);
    return;
  }
  instance.visible = true;
  const unsigned generation = instance.generation;
  backend_.ShowWindow(instance.window, ownerWindow, mode == ShowMode::Modal);
  if (mode != ShowMode::Modal) return;
  while (Alive(entry, generation) && entry.instance->visible) {
    backend_.WaitForEvents(true);
    RethrowPending();
  }
}

void FormDesktop::Hide(std::u16string_view form) {
  Entry& entry = Touch(form);
  if (!entry.instance->visible) return;
  entry.instance->visible = false;
  backend_.HideWindow(entry.instance->window);
}

void FormDesktop::Unload(std::u16string_view form) {
  Entry& entry = Find(form);
  if (!entry.instance) return;
  const unsigned generation = entry.instance->generation;
  entry.handlers->Unload();
  if (Alive(entry, generation)) Destroy(entry);
}

void FormDesktop::Destroy(Entry& entry) {
  Instance& instance = *entry.instance;
  for (const auto& c : entry.description.controls) {
    if (c.kind == ControlKind::Timer && instance.controls[c.name].timerOn)
      backend_.StopTimer(instance.window, c.name);
  }
  byWindow_.erase(instance.window);
  const WindowId window = instance.window;
  entry.instance.reset();
  backend_.DestroyWindow(window);
}

std::u16string FormDesktop::Caption(std::u16string_view form) {
  return Touch(form).instance->caption;
}

void FormDesktop::SetCaption(std::u16string_view form, std::u16string_view caption) {
  Entry& entry = Touch(form);
  entry.instance->caption = caption;
  backend_.SetCaption(entry.instance->window, caption);
}

std::u16string FormDesktop::Text(std::u16string_view form, std::u16string_view control) {
  Entry& entry = Touch(form);
  State(entry, control);
  return backend_.ControlText(entry.instance->window, control);
}

void FormDesktop::SetText(std::u16string_view form, std::u16string_view control,
                          std::u16string_view text) {
  Entry& entry = Touch(form);
  State(entry, control);
  backend_.SetControlText(entry.instance->window, control, text);
}

bool FormDesktop::Enabled(std::u16string_view form, std::u16string_view control) {
  Entry& entry = Touch(form);
  return State(entry, control).enabled;
}

void FormDesktop::SetEnabled(std::u16string_view form, std::u16string_view control, bool on) {
  Entry& entry = Touch(form);
  State(entry, control).enabled = on;
  backend_.SetControlEnabled(entry.instance->window, control, on);
}

bool FormDesktop::Value(std::u16string_view form, std::u16string_view control) {
  Entry& entry = Touch(form);
  return State(entry, control).value;
}

void FormDesktop::SetValue(std::u16string_view form, std::u16string_view control, bool value) {
  Entry& entry = Touch(form);
  State(entry, control).value = value;
}

void FormDesktop::SetFocus(std::u16string_view form, std::u16string_view control) {
  Entry& entry = Touch(form);
  // As on the original platform, focus can only go to an enabled control of a visible window.
  if (!entry.instance->visible || !State(entry, control).enabled)
    throw UsageError("Fokus kann nicht gesetzt werden", form, control);
  backend_.SetFocus(entry.instance->window, control);
}

bool FormDesktop::TimerEnabled(std::u16string_view form, std::u16string_view timer) {
  Entry& entry = Touch(form);
  return State(entry, timer).timerOn;
}

void FormDesktop::SetTimerEnabled(std::u16string_view form, std::u16string_view timer, bool on) {
  Entry& entry = Touch(form);
  ControlState& state = State(entry, timer);
  const ControlDescription* c = entry.description.Control(timer);
  if (c->kind != ControlKind::Timer) throw UsageError("Kein Zeitgeber", form, timer);
  state.timerOn = on;
  if (on && c->interval > 0)
    backend_.StartTimer(entry.instance->window, timer, c->interval);
  else
    backend_.StopTimer(entry.instance->window, timer);
}

int FormDesktop::MsgBox(std::u16string_view prompt, int style, std::u16string_view title) {
  const int answer = backend_.MessageBox(prompt, style, title.empty() ? appTitle_ : title);
  RethrowPending();
  return answer;
}

void FormDesktop::SetMousePointer(int shape) {
  pointer_ = shape;
  backend_.SetMousePointer(shape);
}

void FormDesktop::DoEvents(std::chrono::milliseconds maxWait) {
  backend_.ProcessEvents(maxWait);
  RethrowPending();
}

void FormDesktop::Run() {
  for (;;) {
    backend_.WaitForEvents(false);
    RethrowPending();
  }
}

void FormDesktop::CloseAll() {
  // Newest first, so that dialogs go before the windows that own them.
  std::vector<std::pair<WindowId, std::u16string>> windows(byWindow_.rbegin(), byWindow_.rend());
  for (const auto& [window, form] : windows) {
    Entry& entry = Find(form);
    if (entry.instance) Destroy(entry);
  }
}

void FormDesktop::End(int status) {
  ended_ = true;
  endStatus_ = status;
  pending_ = nullptr;
  CloseAll();
  throw ProgramEnd{status};
}

void FormDesktop::RethrowPending() {
  if (!pending_) return;
  std::exception_ptr error = pending_;
  pending_ = nullptr;
  std::rethrow_exception(error);
}

void FormDesktop::Dispatch(WindowId window, const std::function<void(Entry&)>& reaction,
                           bool onlyWhileVisible) {
  if (ended_ || pending_) return;  // after an error nothing else runs until it is reported
  auto it = byWindow_.find(window);
  if (it == byWindow_.end()) return;  // the window is already gone
  Entry& entry = Find(it->second);
  // What the user does reaches only a window that is shown; a late event of a window that
  // was hidden meanwhile is dropped.
  if (onlyWhileVisible && !entry.instance->visible) return;
  try {
    reaction(entry);
  } catch (...) {
    pending_ = std::current_exception();
  }
}

void FormDesktop::Press(Entry& entry, const ControlDescription& control) {
  ControlState& state = State(entry, control.name);
  if (!state.enabled) return;
  if (control.twoState) state.value = !state.value;
  entry.handlers->Click(control.name);
}

void FormDesktop::Clicked(WindowId window, std::u16string_view control) {
  Dispatch(window, [&](Entry& entry) {
    if (const ControlDescription* c = entry.description.Control(control)) Press(entry, *c);
  });
}

void FormDesktop::MenuChosen(WindowId window, std::u16string_view item) {
  Dispatch(window, [&](Entry& entry) { entry.handlers->Menu(item); });
}

void FormDesktop::KeyPressed(WindowId window, Key key) {
  Dispatch(window, [&](Entry& entry) {
    const auto& controls = entry.description.controls;
    if (key == Key::Enter || key == Key::Escape) {
      const ControlDescription* target = nullptr;
      if (key == Key::Enter) {
        // A focused button takes Enter itself; otherwise the default button gets it.
        const ControlDescription* focused =
            entry.description.Control(backend_.FocusedControl(entry.instance->window));
        if (focused && IsButton(*focused)) target = focused;
      }
      if (!target) {
        auto it = std::find_if(controls.begin(), controls.end(), [&](const auto& c) {
          return key == Key::Enter ? c.isDefault : c.isCancel;
        });
        if (it != controls.end()) target = &*it;
      }
      if (target) Press(entry, *target);
      return;
    }
    for (const auto& m : entry.description.menus) {
      if (m.shortcut == KeyName(key)) {
        entry.handlers->Menu(m.name);
        return;
      }
    }
  });
}

void FormDesktop::CloseRequested(WindowId window) {
  Dispatch(window, [&](Entry& entry) {
    if (entry.description.closeBox == CloseBoxAction::Hide)
      Hide(entry.description.name);
    else
      Unload(entry.description.name);
  });
}

void FormDesktop::Activated(WindowId window) {
  Dispatch(window, [&](Entry& entry) { entry.handlers->Activate(); });
}

void FormDesktop::FormFocused(WindowId window) {
  Dispatch(window, [&](Entry& entry) { entry.handlers->GotFocus(); });
}

void FormDesktop::FocusLost(WindowId window, std::u16string_view control) {
  Dispatch(
      window, [&](Entry& entry) { entry.handlers->LostFocus(control); }, false);
}

void FormDesktop::TimerFired(WindowId window, std::u16string_view timer) {
  Dispatch(
      window,
      [&](Entry& entry) {
        if (State(entry, timer).timerOn) entry.handlers->Timer(timer);
      },
      false);
}

}  // namespace quorel::platform::desktop
