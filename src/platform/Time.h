#pragma once
// Wall-clock time: local calendar time and UTC milliseconds since 1970.

#include <cstdint>

namespace plat {

// Same fields as the Windows SYSTEMTIME record.
struct SystemTime {
    int year = 0;
    int month = 0;     // 1..12
    int dayOfWeek = 0; // 0 = Sunday
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

SystemTime GetLocalTime();
SystemTime GetUtcTime();
// Milliseconds since 1970-01-01 UTC.
std::int64_t GetUtcMs();
// Local calendar time of a UTC instant.
SystemTime LocalTimeFromUtcMs(std::int64_t utcMs);
// Offset of local time from UTC in seconds at the given instant (east positive).
int LocalUtcOffsetSeconds(std::int64_t utcMs);
// Milliseconds of a monotonic clock, for intervals.
std::uint64_t GetTickCount64();

} // namespace plat
