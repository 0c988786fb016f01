#include "platform/headless/headless_backend.h"

#include <algorithm>
#include <limits>

#include "platform/desktop.h"
#include "platform/text.h"

namespace quorel::platform::headless {

using desktop::kNoWindow;
using desktop::WindowId;

namespace {}  // namespace

HeadlessBackend::HeadlessBackend(VirtualClock& clock, EventLog& log) : clock_(clock), log_(log) {}

HeadlessBackend::Window& HeadlessBackend::At(WindowId window) {
  auto it = windows_.find(window);
  if (it == windows_.end()) throw ScriptError{"no window #" + std::to_string(window)};
  return it->second;
}

const HeadlessBackend::Window& HeadlessBackend::At(WindowId window) const {
  return const_cast<HeadlessBackend*>(this)->At(window);
}

std::string HeadlessBackend::Name(WindowId window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? "#" + std::to_string(window) : text::ToUtf8(it->second.form.name);
}

WindowId HeadlessBackend::CreateWindow(const FormDescription& form) {
  const WindowId id = nextId_++;
  Window w;
  w.form = form;
  w.caption = form.caption;
  for (const auto& c : form.controls) {
    w.texts.emplace(c.name, c.text);
    w.enabled.emplace(c.name, c.enabled);
  }
  windows_.emplace(id, std::move(w));
  log_.Add("create " + Name(id));
  return id;
}

void HeadlessBackend::DestroyWindow(WindowId window) {
  log_.Add("destroy " + Name(window));
  std::erase_if(timers_, [&](const auto& t) { return t.first.first == window; });
  std::erase(zOrder_, window);
  windows_.erase(window);
  ActivateTop();
}

void HeadlessBackend::ShowWindow(WindowId window, WindowId owner, bool modal) {
  Window& w = At(window);
  w.visible = true;
  w.modal = modal;
  w.owner = owner;
  std::string entry = "show " + Name(window) + (modal ? " modal" : " modeless");
  if (owner != kNoWindow) entry += " owner=" + Name(owner);
  log_.Add(entry);
  if (w.focused.empty()) {
    // The first control in tab order that can take the focus gets it.
    const ControlDescription* first = nullptr;
    for (const auto& c : w.form.controls) {
      if (TakesFocus(c) && w.enabled[c.name] && (!first || c.tabIndex < first->tabIndex))
        first = &c;
    }
    if (first) w.focused = first->name;
  }
  std::erase(zOrder_, window);
  zOrder_.push_back(window);
  ActivateTop();
}

void HeadlessBackend::RaiseWindow(WindowId window) {
  log_.Add("raise " + Name(window));
  std::erase(zOrder_, window);
  zOrder_.push_back(window);
  ActivateTop();
}

void HeadlessBackend::HideWindow(WindowId window) {
  Window& w = At(window);
  w.visible = false;
  w.modal = false;
  log_.Add("hide " + Name(window));
  std::erase(zOrder_, window);
  ActivateTop();
}

void HeadlessBackend::ActivateTop() {
  const WindowId top = zOrder_.empty() ? kNoWindow : zOrder_.back();
  if (top == active_) return;
  active_ = top;
  if (top == kNoWindow) return;
  log_.Add("activate " + Name(top));
  Post([this, top] { events_->Activated(top); });
}

void HeadlessBackend::SetCaption(WindowId window, std::u16string_view caption) {
  At(window).caption = caption;
  log_.Add("caption " + Name(window) + ": " + text::ToUtf8(caption));
}

std::u16string HeadlessBackend::ControlText(WindowId window, std::u16string_view control) const {
  const Window& w = At(window);
  auto it = w.texts.find(control);
  return it == w.texts.end() ? std::u16string() : it->second;
}

void HeadlessBackend::SetControlText(WindowId window, std::u16string_view control,
                                     std::u16string_view text) {
  At(window).texts.insert_or_assign(std::u16string(control), std::u16string(text));
}

void HeadlessBackend::SetControlEnabled(WindowId window, std::u16string_view control, bool on) {
  Window& w = At(window);
  w.enabled.insert_or_assign(std::u16string(control), on);
  if (!on && w.focused == control) w.focused.clear();
}

void HeadlessBackend::MoveFocus(WindowId window, std::u16string_view control) {
  Window& w = At(window);
  if (w.focused == control) return;
  const std::u16string previous = w.focused;
  w.focused = control;
  log_.Add("focus " + Name(window) + "." + text::ToUtf8(control));
  if (!previous.empty()) Post([this, window, previous] { events_->FocusLost(window, previous); });
}

void HeadlessBackend::SetFocus(WindowId window, std::u16string_view control) {
  MoveFocus(window, control);
}

std::u16string HeadlessBackend::FocusedControl(WindowId window) const {
  return At(window).focused;
}

void HeadlessBackend::StartTimer(WindowId window, std::u16string_view timer, int intervalMs) {
  log_.Add("timer on " + Name(window) + "." + text::ToUtf8(timer));
  if (intervalMs <= 0) return;
  timers_[{window, std::u16string(timer)}] = {intervalMs, clock_.NowMs() + intervalMs};
}

void HeadlessBackend::StopTimer(WindowId window, std::u16string_view timer) {
  log_.Add("timer off " + Name(window) + "." + text::ToUtf8(timer));
  timers_.erase({window, std::u16string(timer)});
}

int HeadlessBackend::MessageBox(std::u16string_view prompt, int style, std::u16string_view title) {
  const std::string entry = "msgbox style=" + std::to_string(style) +
                            " title=" + text::ToUtf8(title) + ": " + text::ToUtf8(prompt);
  log_.Add(entry);
  DeliverPosted();
  if (script_.empty()) throw ScriptError{"nothing scripted to answer: " + entry};
  Step step = std::move(script_.front());
  script_.pop_front();
  if (!step.isAnswer)
    throw ScriptError{"the program shows a message box (" + entry +
                      ") but the next step is: " + step.what};
  const bool yesNo = (style & kMsgBoxButtons) == vbYesNo;
  const bool valid = yesNo ? (step.answer == vbYes || step.answer == vbNo) : step.answer == vbOK;
  if (!valid)
    throw ScriptError{"answer " + std::to_string(step.answer) + " is not offered by: " + entry};
  log_.Add("answer " + std::to_string(step.answer));
  return step.answer;
}

void HeadlessBackend::SetMousePointer(int shape) {
  pointer_ = shape;
  log_.Add("pointer " + std::to_string(shape));
}

bool HeadlessBackend::DeliverPosted() {
  bool any = false;
  while (!posted_.empty()) {
    auto event = std::move(posted_.front());
    posted_.pop_front();
    event();
    any = true;
  }
  return any;
}

void HeadlessBackend::AdvanceTo(std::int64_t targetMs) {
  for (;;) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->second.dueMs <= targetMs &&
          (next == timers_.end() || it->second.dueMs < next->second.dueMs))
        next = it;
    }
    if (next == timers_.end()) break;
    const auto [window, timer] = next->first;
    clock_.SetMs(std::max(clock_.NowMs(), next->second.dueMs));
    next->second.dueMs += next->second.intervalMs;
    log_.Add("tick " + Name(window) + "." + text::ToUtf8(timer));
    events_->TimerFired(window, timer);
    DeliverPosted();
  }
  if (targetMs > clock_.NowMs()) clock_.SetMs(targetMs);
}

void HeadlessBackend::ProcessEvents(std::chrono::milliseconds maxWait) {
  DeliverPosted();
  AdvanceTo(clock_.NowMs() + maxWait.count());
  DeliverPosted();
}

void HeadlessBackend::WaitForEvents(bool modal) {
  if (DeliverPosted()) return;
  if (script_.empty()) {
    if (!modal) throw ScriptDone{};
    std::string waiting;
    for (WindowId id : zOrder_)
      if (At(id).modal) waiting = Name(id);
    throw ScriptError{"the program waits for the user in modal window " + waiting +
                      " and nothing more is scripted"};
  }
  Step step = std::move(script_.front());
  script_.pop_front();
  if (step.isAnswer) throw ScriptError{"scripted " + step.what + " but no message box is shown"};
  log_.Add("user " + step.what);
  step.act();
  DeliverPosted();
}

// What is on the screen.

WindowId HeadlessBackend::Find(std::u16string_view form) const {
  for (const auto& [id, w] : windows_)
    if (w.form.name == form) return id;
  return kNoWindow;
}

bool HeadlessBackend::HasWindow(std::u16string_view form) const {
  return Find(form) != kNoWindow;
}

bool HeadlessBackend::IsVisible(std::u16string_view form) const {
  const WindowId id = Find(form);
  return id != kNoWindow && At(id).visible;
}

bool HeadlessBackend::IsModal(std::u16string_view form) const {
  const WindowId id = Find(form);
  return id != kNoWindow && At(id).modal;
}

std::u16string HeadlessBackend::OwnerOf(std::u16string_view form) const {
  const WindowId id = Find(form);
  if (id == kNoWindow || At(id).owner == kNoWindow) return {};
  return text::FromUtf8(Name(At(id).owner));
}

std::u16string HeadlessBackend::CaptionOf(std::u16string_view form) const {
  const WindowId id = Find(form);
  return id == kNoWindow ? std::u16string() : At(id).caption;
}

std::u16string HeadlessBackend::TextOf(std::u16string_view form,
                                       std::u16string_view control) const {
  const WindowId id = Find(form);
  if (id == kNoWindow) throw ScriptError{"no window " + text::ToUtf8(form)};
  return ControlText(id, control);
}

bool HeadlessBackend::IsEnabled(std::u16string_view form, std::u16string_view control) const {
  const WindowId id = Find(form);
  if (id == kNoWindow) throw ScriptError{"no window " + text::ToUtf8(form)};
  auto it = At(id).enabled.find(control);
  return it != At(id).enabled.end() && it->second;
}

std::u16string HeadlessBackend::FocusOf(std::u16string_view form) const {
  const WindowId id = Find(form);
  return id == kNoWindow ? std::u16string() : At(id).focused;
}

std::u16string HeadlessBackend::ActiveForm() const {
  return active_ == kNoWindow ? std::u16string() : At(active_).form.name;
}

bool HeadlessBackend::TimerRunning(std::u16string_view form, std::u16string_view timer) const {
  return timers_.count({Find(form), std::u16string(timer)}) > 0;
}

}  // namespace quorel::platform::headless
