// The wall clock read from the operating system in local time.
#pragma once

#include "platform/clock.h"

namespace quorel::posix {

class LocalClock : public platform::Clock {
 public:
  float SecondsSinceMidnight() override;
};

}  // namespace quorel::posix
