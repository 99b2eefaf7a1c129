#pragma once
// The maintenance notice a server sends with a 502 or 503 answer: a small
// XHTML page with one block of text per language and the end of the
// maintenance in UTC. These functions read it and build the text the
// launcher shows in the current language, with the end time in the user's
// local date and time. Pure apart from the clock passed in; any thread (the
// launcher calls them on the window thread).
//
// The page parts read, wherever they stand:
//   <div id="time"> with children of class year, month, day, hour, minute;
//   <div id="LANG"> with children of class title, line1 and line2, where a
//   child of line2 with class "time" marks the place of the end time.
// A div counts only when its first attribute is "id".

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace logic {

// The text of a language string by its id, in the current language.
using LangLookup = std::function<std::wstring(int id)>;

// Language string ids of the maintenance texts.
enum : int {
    kLangMaintenanceDefault = 32, // the notice when the page has none
    kLangMaintenanceBack = 33,    // added when no end time is shown
};

// The present and the local time zone, as the notice needs them. Tests pass
// their own.
struct LocalClock {
    std::int64_t nowUtcMs = 0;
    // Offset of local time from UTC, in seconds east, at a UTC instant.
    std::function<int(std::int64_t utcMs)> utcOffsetAt;
};

// The system clock and time zone.
LocalClock SystemLocalClock();

// What a page holds for one language, as read; texts in UTF-8.
struct MaintenancePage {
    bool wellFormed = false;
    std::int64_t endTimeMs = 0;   // since 1970 UTC; 0 when there is no valid time block
    std::string title;            // the last title text
    std::string line1;            // the last line1 text
    std::string line2;            // the text of every line2, in order
    bool timeMarker = false;      // a line2 child of class "time" was seen
    std::size_t markerOffset = 0; // where in line2 the end time goes
};

// Walks the page (the launcher's C503Visitor over the XML document) for the
// block of `langCode`. False only when the page is not well-formed XML.
bool ReadMaintenancePage(std::string_view answer, const std::string& langCode,
                         MaintenancePage* page);

// The milliseconds since 1970 of a UTC calendar time; false for a field out
// of range (month 1..12, day within the month, hour 0..23, minute 0..59,
// year 1601..30827).
bool UtcFieldsToMs(int year, int month, int day, int hour, int minute, std::int64_t* ms);

// What a page gives for one language; texts in UTF-8.
struct MaintenanceNotice {
    std::string title;
    std::string text;
    bool timeShown = false; // text carries line2 with the end time
};

// Reads the page `answer` for the language `langCode`. False when the answer
// or the code is empty, when the language has no block with a title and a
// first line, or when a future end time cannot be formatted. A page that is
// not well-formed XML gives true and leaves `notice` unchanged. The text is
// line1; with an end time later than the clock's present, an empty line and
// line2 with that time (local date and time through the pictures of `lcid`)
// at the marker follow, and every no-break space becomes two blanks.
bool ParseHttx503Answer(std::string_view answer, const std::string& langCode, std::uint32_t lcid,
                        std::wstring_view datePicture, std::wstring_view timePicture,
                        const LocalClock& clock, MaintenanceNotice* notice);

// Replaces `text` with the notice of the page `body` in the current language
// (code and locale id): the page's text, or string 32 when it has none, and
// string 33 after an empty line unless the end time is shown. Leaves `text`
// as it was and returns false when the locale has no date or time picture.
bool Build503Message(std::string_view body, const std::string& langCode, std::uint32_t lcid,
                     const LangLookup& lang, const LocalClock& clock, std::wstring* text);

} // namespace logic
