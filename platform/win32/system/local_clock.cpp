#include "platform/win32/system/local_clock.h"

#include <windows.h>

namespace quorel::win32 {

float LocalClock::SecondsSinceMidnight() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const double seconds =
      now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
  auto result = static_cast<float>(seconds);
  // Just before midnight the float rounds up to a full day; that is the next day's start.
  if (result >= 86400.0f) result = 0.0f;
  return result;
}

}  // namespace quorel::win32
