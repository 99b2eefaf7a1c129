#include "platform/Time.h"

#include <ctime>

namespace plat {

namespace {

SystemTime FromTm(const std::tm& tm, int ms) {
    SystemTime st;
    st.year = tm.tm_year + 1900;
    st.month = tm.tm_mon + 1;
    st.dayOfWeek = tm.tm_wday;
    st.day = tm.tm_mday;
    st.hour = tm.tm_hour;
    st.minute = tm.tm_min;
    st.second = tm.tm_sec;
    st.milliseconds = ms;
    return st;
}

// Floor division so instants before 1970 split into seconds correctly.
void SplitMs(std::int64_t utcMs, time_t* seconds, int* ms) {
    std::int64_t s = utcMs / 1000;
    std::int64_t rest = utcMs % 1000;
    if (rest < 0) {
        rest += 1000;
        --s;
    }
    *seconds = static_cast<time_t>(s);
    *ms = static_cast<int>(rest);
}

} // namespace

std::int64_t GetUtcMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

SystemTime LocalTimeFromUtcMs(std::int64_t utcMs) {
    time_t seconds;
    int ms;
    SplitMs(utcMs, &seconds, &ms);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    return FromTm(tm, ms);
}

SystemTime GetLocalTime() { return LocalTimeFromUtcMs(GetUtcMs()); }

SystemTime GetUtcTime() {
    time_t seconds;
    int ms;
    SplitMs(GetUtcMs(), &seconds, &ms);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    return FromTm(tm, ms);
}

int LocalUtcOffsetSeconds(std::int64_t utcMs) {
    time_t seconds;
    int ms;
    SplitMs(utcMs, &seconds, &ms);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    return static_cast<int>(tm.tm_gmtoff);
}

std::uint64_t GetTickCount64() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000 +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000;
}

} // namespace plat
