// The scripted user of the in-memory desktop: every call adds one step that runs when the
// program next waits for the user, and acts only where a person could (a visible window that
// no modal window blocks, an enabled control).
#include "platform/headless/headless_backend.h"
#include "platform/text.h"

namespace quorel::platform::headless {

using desktop::kNoWindow;
using desktop::WindowId;

namespace {

std::string Describe(std::string_view verb, std::u16string_view form,
                     std::u16string_view control = {}) {
  std::string s(verb);
  s.append(" ").append(text::ToUtf8(form));
  if (!control.empty()) s.append(".").append(text::ToUtf8(control));
  return s;
}

}  // namespace

void HeadlessBackend::AddStep(std::string what, std::function<void()> act) {
  script_.push_back(Step{std::move(what), std::move(act)});
}

WindowId HeadlessBackend::Reachable(std::u16string_view form) const {
  const WindowId id = Find(form);
  if (id == kNoWindow || !At(id).visible)
    throw ScriptError{"the user cannot reach " + text::ToUtf8(form) + ": it is not shown"};
  // Windows below the topmost modal window take no input.
  auto self = std::find(zOrder_.begin(), zOrder_.end(), id);
  for (auto it = self + 1; it != zOrder_.end(); ++it) {
    if (At(*it).modal)
      throw ScriptError{"the user cannot reach " + text::ToUtf8(form) + ": modal window " +
                        Name(*it) + " is in front"};
  }
  return id;
}

void HeadlessBackend::Type(std::u16string_view form, std::u16string_view control,
                           std::u16string_view typed) {
  AddStep(Describe("types \"" + text::ToUtf8(typed) + "\" into", form, control),
          [this, form = std::u16string(form), control = std::u16string(control),
           typed = std::u16string(typed)] {
            const WindowId id = Reachable(form);
            Window& w = At(id);
            const ControlDescription* c = w.form.Control(control);
            if (!c || c->kind != ControlKind::TextBox || !w.enabled[control])
              throw ScriptError{Describe("cannot type into", form, control)};
            MoveFocus(id, control);
            // The keyboard enters no more than the field's maximum length.
            const std::size_t limit = c->maxLength > 0 ? c->maxLength : typed.size();
            w.texts[control] = typed.substr(0, limit);
          });
}

void HeadlessBackend::Focus(std::u16string_view form, std::u16string_view control) {
  AddStep(Describe("focuses", form, control),
          [this, form = std::u16string(form), control = std::u16string(control)] {
            const WindowId id = Reachable(form);
            Window& w = At(id);
            const ControlDescription* c = w.form.Control(control);
            if (!c || !TakesFocus(*c) || !w.enabled[control])
              throw ScriptError{Describe("cannot focus", form, control)};
            MoveFocus(id, control);
          });
}

void HeadlessBackend::Click(std::u16string_view form, std::u16string_view control) {
  AddStep(Describe("clicks", form, control),
          [this, form = std::u16string(form), control = std::u16string(control)] {
            const WindowId id = Reachable(form);
            Window& w = At(id);
            const ControlDescription* c = w.form.Control(control);
            if (!c || !w.enabled[control])
              throw ScriptError{Describe("cannot click", form, control)};
            // A click on a button that takes the focus moves the focus there first.
            if (c->tabIndex >= 0 &&
                (c->kind == ControlKind::PushButton || c->kind == ControlKind::CommandButton))
              MoveFocus(id, control);
            Post([this, id, control] { events_->Clicked(id, control); });
          });
}

void HeadlessBackend::PressEnter(std::u16string_view form) {
  AddStep(Describe("presses Enter in", form), [this, form = std::u16string(form)] {
    const WindowId id = Reachable(form);
    Post([this, id] { events_->KeyPressed(id, desktop::Key::Enter); });
  });
}

void HeadlessBackend::PressEscape(std::u16string_view form) {
  AddStep(Describe("presses Escape in", form), [this, form = std::u16string(form)] {
    const WindowId id = Reachable(form);
    Post([this, id] { events_->KeyPressed(id, desktop::Key::Escape); });
  });
}

void HeadlessBackend::PressF1(std::u16string_view form) {
  AddStep(Describe("presses F1 in", form), [this, form = std::u16string(form)] {
    const WindowId id = Reachable(form);
    Post([this, id] { events_->KeyPressed(id, desktop::Key::F1); });
  });
}

void HeadlessBackend::ChooseMenu(std::u16string_view form, std::u16string_view item) {
  AddStep(Describe("chooses menu", form, item),
          [this, form = std::u16string(form), item = std::u16string(item)] {
            const WindowId id = Reachable(form);
            const auto& menus = At(id).form.menus;
            auto it = std::find_if(menus.begin(), menus.end(),
                                   [&](const auto& m) { return m.name == item; });
            if (it == menus.end() || it->caption == u"-")
              throw ScriptError{Describe("no menu item", form, item)};
            Post([this, id, item] { events_->MenuChosen(id, item); });
          });
}

void HeadlessBackend::CloseBox(std::u16string_view form) {
  AddStep(Describe("uses the close box of", form), [this, form = std::u16string(form)] {
    const WindowId id = Reachable(form);
    Post([this, id] { events_->CloseRequested(id); });
  });
}

void HeadlessBackend::Activate(std::u16string_view form) {
  AddStep(Describe("activates", form), [this, form = std::u16string(form)] {
    const WindowId id = Reachable(form);
    std::erase(zOrder_, id);
    zOrder_.push_back(id);
    ActivateTop();
  });
}

void HeadlessBackend::Answer(int answer) {
  Step step;
  step.what = "answer " + std::to_string(answer);
  step.isAnswer = true;
  step.answer = answer;
  script_.push_back(std::move(step));
}

void HeadlessBackend::Wait(std::chrono::milliseconds duration) {
  AddStep("waits " + std::to_string(duration.count()) + " ms",
          [this, duration] { AdvanceTo(clock_.NowMs() + duration.count()); });
}

void HeadlessBackend::Check(const std::string& what, std::function<void()> check) {
  AddStep("check: " + what, std::move(check));
}

}  // namespace quorel::platform::headless
