#pragma once
// Date and time pictures of the launcher's locales and the formatting of an
// instant with them, the way the maintenance notice writes its end time.
// Pure functions; any thread.
//
// Pictures use the Windows letters: d dd ddd dddd, M MM MMM MMMM, y yy yyyy,
// g gg for dates; h hh H HH m mm s ss t tt for times; text in single quotes
// is literal ('' is a quote). The locale is named by its numeric identifier;
// 0 stands for the user's default locale, which is en-US here. The locales
// known are the English, German and Russian ones; any other identifier has
// no pictures and cannot format.

#include <cstdint>
#include <string>
#include <string_view>

namespace logic {

enum class PictureKind { kDate, kTime };
enum class PictureLength { kLong, kShort };
enum class PictureFilter {
    kNone,
    kHoursMinutesAmPm, // time pictures: keep hours, minutes and AM/PM only
};

// The locale's picture of that kind and length, filtered; empty for an
// unknown locale.
std::wstring GetLocalePicture(std::uint32_t lcid, PictureKind kind, PictureLength length,
                              PictureFilter filter);

// Keeps the runs of one or two of H, h, m or t and drops runs of s and
// longer runs, with the text between kept runs: "HH:mm:ss" -> "HH:mm",
// "h:mm:ss tt" -> "h:mm tt". Text before the first and after the last kept
// run goes.
std::wstring FilterTimePicture(std::wstring_view picture);

// The date picture, a blank and the time picture applied to the instant
// `utcMs` moved by `utcOffsetSeconds` into local time. An empty picture
// stands for the locale's short date or its time format. Fails for an
// unknown locale, an instant outside the years 1601..30827, or a text longer
// than 127 characters.
bool FormatLocalTime(std::int64_t utcMs, int utcOffsetSeconds, std::uint32_t lcid,
                     std::wstring_view datePicture, std::wstring_view timePicture,
                     std::wstring* text);

} // namespace logic
