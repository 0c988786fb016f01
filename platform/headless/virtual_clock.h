// A clock that moves only when told to: tests decide what time it is.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/clock.h"

namespace quorel::platform::headless {

class VirtualClock final : public platform::Clock {
 public:
  // Starts at the given number of milliseconds since midnight (08:00 by default).
  explicit VirtualClock(std::int64_t startMs = 8LL * 3600 * 1000) : nowMs_(startMs) {}

  float SecondsSinceMidnight() override {
    constexpr std::int64_t kDayMs = 86400LL * 1000;
    return static_cast<float>(static_cast<double>(nowMs_ % kDayMs) / 1000.0);
  }
  // Milliseconds since the day the clock started on began; never wraps.
  std::int64_t NowMs() const { return nowMs_; }
  void SetMs(std::int64_t ms) { nowMs_ = ms; }

 private:
  std::int64_t nowMs_;
};

}  // namespace quorel::platform::headless
