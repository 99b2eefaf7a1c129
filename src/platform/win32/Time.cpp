#include "platform/Time.h"
#include "platform/win32/Handle.h"

namespace plat {

namespace {

// 100 ns steps between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochSteps = 116444736000000000LL;

SystemTime FromSystemTime(const SYSTEMTIME& st) {
    SystemTime out;
    out.year = st.wYear;
    out.month = st.wMonth;
    out.dayOfWeek = st.wDayOfWeek;
    out.day = st.wDay;
    out.hour = st.wHour;
    out.minute = st.wMinute;
    out.second = st.wSecond;
    out.milliseconds = st.wMilliseconds;
    return out;
}

FILETIME FileTimeOfUtcMs(std::int64_t utcMs) {
    std::int64_t steps = utcMs * 10000 + kEpochSteps;
    if (steps < 0)
        steps = 0;
    ULARGE_INTEGER value{};
    value.QuadPart = static_cast<std::uint64_t>(steps);
    FILETIME time{};
    time.dwLowDateTime = value.LowPart;
    time.dwHighDateTime = value.HighPart;
    return time;
}

bool LocalOf(std::int64_t utcMs, SYSTEMTIME* local) {
    FILETIME utcTime = FileTimeOfUtcMs(utcMs);
    SYSTEMTIME utc{};
    return ::FileTimeToSystemTime(&utcTime, &utc) &&
           ::SystemTimeToTzSpecificLocalTime(nullptr, &utc, local);
}

} // namespace

std::int64_t GetUtcMs() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value{};
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    return (static_cast<std::int64_t>(value.QuadPart) - kEpochSteps) / 10000;
}

SystemTime LocalTimeFromUtcMs(std::int64_t utcMs) {
    SYSTEMTIME local{};
    if (!LocalOf(utcMs, &local))
        return SystemTime{};
    return FromSystemTime(local);
}

SystemTime GetLocalTime() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    return FromSystemTime(local);
}

SystemTime GetUtcTime() {
    SYSTEMTIME utc{};
    ::GetSystemTime(&utc);
    return FromSystemTime(utc);
}

int LocalUtcOffsetSeconds(std::int64_t utcMs) {
    SYSTEMTIME local{};
    FILETIME localTime{};
    if (!LocalOf(utcMs, &local) || !::SystemTimeToFileTime(&local, &localTime))
        return 0;
    ULARGE_INTEGER value{};
    value.LowPart = localTime.dwLowDateTime;
    value.HighPart = localTime.dwHighDateTime;
    std::int64_t localMs = (static_cast<std::int64_t>(value.QuadPart) - kEpochSteps) / 10000;
    // Whole seconds: the milliseconds of both instants are the same.
    return static_cast<int>((localMs - utcMs) / 1000);
}

std::uint64_t GetTickCount64() {
    return ::GetTickCount64();
}

} // namespace plat
