// What a desktop backend reports, recorded as one line per report instead of going to the window
// semantics: "clicked FMPass.BUSpeich", "key FMPass Enter", "activated FMStart", ...
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/desktop/backend.h"
#include "platform/text.h"

namespace quorel::testing {

class BackendRecorder final : public platform::desktop::BackendEvents {
 public:
  using WindowId = platform::desktop::WindowId;

  // The name a window's reports carry, normally its form's.
  void Name(WindowId window, std::string name) { names_[window] = std::move(name); }

  void Clicked(WindowId w, std::u16string_view control) override { Add("clicked", w, control); }
  void MenuChosen(WindowId w, std::u16string_view item) override { Add("menu", w, item); }
  void KeyPressed(WindowId w, platform::desktop::Key key) override {
    using enum platform::desktop::Key;
    lines_.push_back("key " + names_[w] +
                     (key == Enter    ? " Enter"
                      : key == Escape ? " Escape"
                                      : " F1"));
  }
  void CloseRequested(WindowId w) override { Add("close", w); }
  void Activated(WindowId w) override { Add("activated", w); }
  void FormFocused(WindowId w) override { Add("form focused", w); }
  void FocusLost(WindowId w, std::u16string_view control) override {
    Add("focus lost", w, control);
  }
  void TimerFired(WindowId w, std::u16string_view timer) override {
    Add("timer", w, timer);
    if (onTimer) onTimer();
  }
  // Runs inside the tick, as a handler of the timer would.
  std::function<void()> onTimer;

  std::size_t Count() const { return lines_.size(); }
  // The lines recorded since the last call.
  std::vector<std::string> Take() { return std::exchange(lines_, {}); }

 private:
  void Add(const char* what, WindowId w, std::u16string_view detail = {}) {
    std::string line = std::string(what) + " " + names_[w];
    if (!detail.empty()) line += "." + text::ToUtf8(detail);
    lines_.push_back(std::move(line));
  }

  std::map<WindowId, std::string> names_;
  std::vector<std::string> lines_;
};

}  // namespace quorel::testing
