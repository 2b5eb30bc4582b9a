#include "text/LocalTime.h"

#include <chrono>
#include <ctime>

namespace quillon::text {

LocalTime LocalTime::now() {
    const auto clock = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(clock);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(clock.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,           local.tm_hour,
                     local.tm_min,         local.tm_sec,     static_cast<int>(millis)};
}

std::string unixStampText(bool milliseconds) {
    return unixStampText(milliseconds, LocalTime::now());
}

std::string unixStampText(bool milliseconds, const LocalTime& when) {
    // The wall-clock fields read as if they were UTC, less the eight hours by
    // which the local clock is taken to be ahead.
    const std::chrono::sys_days day{std::chrono::year{when.year} / std::chrono::month(when.month) /
                                    std::chrono::day(when.day)};
    const long long seconds = static_cast<long long>(day.time_since_epoch().count()) * 86400 +
                              when.hour * 3600LL + when.minute * 60LL + when.second - 8 * 3600LL;
    if (!milliseconds)
        return std::to_string(seconds);
    return std::to_string(seconds * 1000 + when.millisecond);
}

} // namespace quillon::text
