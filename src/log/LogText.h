#pragma once
// Text shapes of the launcher log: the banner line, the time prefix and the
// time banner. Pure functions, callable from any thread.

#include "platform/Time.h"

#include <string>
#include <string_view>

namespace logtext {

// Width of a banner or separator line.
inline constexpr std::size_t kBannerWidth = 80;

// The text centred in a line of 80 "=" with a blank on each side; a text of
// 76 characters or more gives "=== text ===" instead.
std::wstring BuildBannerLine(std::wstring_view text);

// "day/month/year -- hh:mm:ss" of a local time.
std::wstring FormatTimeText(const plat::SystemTime& time);

// The time text followed by "  :", put in front of a line.
std::wstring FormatTimePrefix(const plat::SystemTime& time);

} // namespace logtext
