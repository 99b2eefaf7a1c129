#pragma once
// The clock shown at the end of each HTTP log section header: the server
// clock offset in calendar units, the zone and the corrected local time with
// milliseconds. Belongs to one CLog and lives on the transport thread.

#include <cstdint>
#include <optional>
#include <string>

class CLogClock {
public:
    // Longest clock and zone texts kept.
    static constexpr std::size_t kMaxText = 63;
    static constexpr std::size_t kMaxZone = 15;

    // Stores the offset and the zone and forgets the last update, so the next
    // text is built afresh. zoneSeconds is a bias (seconds west of UTC);
    // 0 clears the zone text.
    void Set(std::int64_t offsetMs, int zoneSeconds);

    // The text for the current time; rebuilt only when the millisecond clock
    // has moved since the last call.
    const std::string& Text();
    const std::string& TextAt(std::int64_t nowUtcMs);

    const std::string& Zone() const { return zone_; }
    std::int64_t OffsetMs() const { return offsetMs_; }

private:
    std::string text_;
    std::string zone_;
    std::optional<std::int64_t> lastUpdateMs_;
    std::int64_t offsetMs_ = 0;
};

namespace logclock {

// "GMT+3", "GMT-5:30" for a bias in seconds west of UTC; empty for 0.
std::string FormatZone(int zoneSeconds);

// "[+0]L S" for an offset below one second, "[-1 d 2 h]L S" and the like
// above; empty for a zero offset.
std::string FormatOffset(std::int64_t offsetMs);

// Whole seconds broken into "1 y 2 m 3 w 4 d 5 h 6 m 7 s", zero units left
// out. Years count 365 days, months 30 days and weeks 7 days: fixed lengths,
// since an offset is a span and not a calendar date.
std::string FormatSpan(std::uint64_t seconds);

// The whole clock text: a blank, the offset part, then "[zone dd.mm.yyyy
// hh:mm:ss.mmm]" of the local time of now + offset.
std::string BuildText(std::int64_t nowUtcMs, std::int64_t offsetMs, const std::string& zone);

} // namespace logclock
