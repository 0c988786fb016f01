// The wall clock read from Windows in local time.
#pragma once

#include "platform/clock.h"

namespace quorel::win32 {

class LocalClock : public platform::Clock {
 public:
  float SecondsSinceMidnight() override;
};

}  // namespace quorel::win32
