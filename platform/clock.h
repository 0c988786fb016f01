// The wall clock as the program reads it.
#pragma once

namespace quorel::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since local midnight with a fractional part; wraps to 0 at midnight.
  virtual float SecondsSinceMidnight() = 0;
};

}  // namespace quorel::platform
