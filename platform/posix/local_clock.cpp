#include "platform/posix/local_clock.h"

#include <ctime>

namespace quorel::posix {

namespace {
constexpr double kSecondsPerDay = 86400.0;
}

float LocalClock::SecondsSinceMidnight() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                   static_cast<double>(now.tv_nsec) / 1e9;
  // A leap second (tm_sec 60) belongs to the next day already.
  if (seconds >= kSecondsPerDay) seconds -= kSecondsPerDay;
  auto result = static_cast<float>(seconds);
  // Just before midnight the float rounds up to a full day; that is the next day's start.
  if (result >= static_cast<float>(kSecondsPerDay)) result = 0.0f;
  return result;
}

}  // namespace quorel::posix
