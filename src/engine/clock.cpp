// The system clock's local time.
#include "engine/clock.h"

#include <ctime>

namespace kolvane {

SLocalTime CSystemClock::Now() const {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return SLocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                      tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

}  // namespace kolvane
