#pragma once

#include <string>

namespace quillon::text {

// A reading of the local clock, split into its fields.
struct LocalTime {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    static LocalTime now();
};

// Unix time stamp text. The local clock is taken to show UTC+8, so the epoch
// is 1970-01-01 08:00:00 local. Seconds give 10 digits today, milliseconds 13.
std::string unixStampText(bool milliseconds);
std::string unixStampText(bool milliseconds, const LocalTime& when);

} // namespace quillon::text
