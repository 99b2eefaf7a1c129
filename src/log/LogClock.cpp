#include "log/LogClock.h"

#include "base/Strings.h"
#include "platform/Time.h"

void CLogClock::Set(std::int64_t offsetMs, int zoneSeconds) {
    offsetMs_ = offsetMs;
    lastUpdateMs_.reset();
    zone_ = logclock::FormatZone(zoneSeconds);
}

const std::string& CLogClock::Text() {
    return TextAt(plat::GetUtcMs());
}

const std::string& CLogClock::TextAt(std::int64_t nowUtcMs) {
    if (lastUpdateMs_ && *lastUpdateMs_ == nowUtcMs)
        return text_;
    lastUpdateMs_ = nowUtcMs;
    text_ = logclock::BuildText(nowUtcMs, offsetMs_, zone_);
    return text_;
}

namespace logclock {

std::string FormatZone(int zoneSeconds) {
    if (zoneSeconds == 0)
        return {};
    const long long bias = zoneSeconds < 0 ? -static_cast<long long>(zoneSeconds) : zoneSeconds;
    std::string zone = base::Format("GMT%c%lld", zoneSeconds <= 0 ? '+' : '-', bias / 3600);
    const long long minutes = (bias % 3600) / 60;
    if (minutes != 0)
        zone += base::Format(":%lld", minutes);
    if (zone.size() > CLogClock::kMaxZone)
        zone.resize(CLogClock::kMaxZone);
    return zone;
}

std::string FormatSpan(std::uint64_t seconds) {
    struct Unit {
        std::uint64_t seconds;
        const char* letter;
    };
    static constexpr std::uint64_t kDay = 24 * 3600;
    static constexpr Unit kUnits[] = {
        {365 * kDay, "y"}, {30 * kDay, "m"}, {7 * kDay, "w"}, {kDay, "d"},
        {3600, "h"},       {60, "m"},        {1, "s"},
    };
    std::string text;
    for (const Unit& unit : kUnits) {
        const std::uint64_t count = seconds / unit.seconds;
        seconds %= unit.seconds;
        if (count == 0)
            continue;
        if (!text.empty())
            text += ' ';
        text += base::Format("%llu %s", static_cast<unsigned long long>(count), unit.letter);
    }
    return text;
}

std::string FormatOffset(std::int64_t offsetMs) {
    if (offsetMs == 0)
        return {};
    const std::uint64_t size = offsetMs < 0 ? 0 - static_cast<std::uint64_t>(offsetMs)
                                            : static_cast<std::uint64_t>(offsetMs);
    const bool belowSecond = size < 1000;
    std::string text = "[";
    text += (offsetMs < 0 || belowSecond) ? '+' : '-';
    text += belowSecond ? std::string("0") : FormatSpan(size / 1000);
    text += "]L S";
    return text;
}

std::string BuildText(std::int64_t nowUtcMs, std::int64_t offsetMs, const std::string& zone) {
    const std::int64_t shown = nowUtcMs + offsetMs;
    const plat::SystemTime t = plat::LocalTimeFromUtcMs(shown);
    std::string text(1, ' ');
    text += FormatOffset(offsetMs);
    text.push_back('[');
    if (!zone.empty())
        text += zone + " ";
    const int milliseconds = static_cast<int>(((shown % 1000) + 1000) % 1000);
    text += base::Format("%02d.%02d.%d %02d:%02d:%02d.%03d]", t.day, t.month, t.year, t.hour,
                         t.minute, t.second, milliseconds);
    if (text.size() > CLogClock::kMaxText)
        text.resize(CLogClock::kMaxText);
    return text;
}

} // namespace logclock
