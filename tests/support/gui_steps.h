// What a user in front of real windows does next: steps that each wait until their moment has
// come (a window active, a message box shown). A timer of the toolkit polls them, so they are
// also taken inside the modal loops of dialogs and message boxes. Waiting is bounded: a step
// that cannot be taken in time, or a program that keeps running after the last step, ends the
// test process with a message (the event loop cannot be left any other way).
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <utility>

namespace quorel::testing {

class GuiSteps {
 public:
  static constexpr std::chrono::milliseconds kStepTimeout{10000};

  // Acts once ready() has held on two polls in a row, so that the events it caused are through.
  void When(std::string what, std::function<bool()> ready, std::function<void()> act) {
    steps_.push_back({std::move(what), std::move(ready), std::move(act)});
  }
  bool Done() const { return steps_.empty(); }

 protected:
  // Before the first poll.
  void Start() { last_ = Clock::now(); }
  // One look at the next step; where() tells the state of the windows when it gives up.
  void Poll(const std::function<std::string()>& where = {}) {
    if (std::exchange(busy_, true)) return;
    if (!steps_.empty() && steps_.front().ready()) {
      if (++stable_ >= 2) {
        const Step step = std::move(steps_.front());
        steps_.pop_front();
        stable_ = 0;
        step.act();
        last_ = Clock::now();
      }
    } else if (stable_ = 0; Clock::now() - last_ > kStepTimeout) {
      Abort(steps_.empty() ? "the program still runs after the last step"
                           : "step not possible in time: " + steps_.front().what,
            where ? where() : "");
    }
    busy_ = false;
  }
  // Ends the test process with a message: the event loop cannot be left any other way.
  [[noreturn]] static void Abort(const std::string& why, const std::string& where) {
    std::fprintf(stderr, "GUI test aborted: %s%s\n", why.c_str(), where.c_str());
    std::fflush(stderr);
    std::_Exit(3);
  }

 private:
  using Clock = std::chrono::steady_clock;
  struct Step {
    std::string what;
    std::function<bool()> ready;
    std::function<void()> act;
  };

  std::deque<Step> steps_;
  Clock::time_point last_;
  int stable_ = 0;
  bool busy_ = false;
};

}  // namespace quorel::testing
