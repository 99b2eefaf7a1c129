#include "logic/LocalePicture.h"

#include "platform/Time.h"

#include <array>

namespace logic {

namespace {

using Names12 = std::array<const wchar_t*, 12>;
using Names7 = std::array<const wchar_t*, 7>;

// Calendar words of one language. Month names come in the form that stands
// alone and in the form that follows a day number (they differ in Russian).
struct CalendarWords {
    Names12 months;
    Names12 monthsAfterDay;
    Names12 monthsShort;
    Names7 days; // Sunday first
    Names7 daysShort;
};

constexpr CalendarWords kEnglish = {
    {L"January", L"February", L"March", L"April", L"May", L"June", L"July", L"August", L"September",
     L"October", L"November", L"December"},
    {L"January", L"February", L"March", L"April", L"May", L"June", L"July", L"August", L"September",
     L"October", L"November", L"December"},
    {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun", L"Jul", L"Aug", L"Sep", L"Oct", L"Nov",
     L"Dec"},
    {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"},
    {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"},
};

constexpr CalendarWords kGerman = {
    {L"Januar", L"Februar", L"M\u00e4rz", L"April", L"Mai", L"Juni", L"Juli", L"August",
     L"September", L"Oktober", L"November", L"Dezember"},
    {L"Januar", L"Februar", L"M\u00e4rz", L"April", L"Mai", L"Juni", L"Juli", L"August",
     L"September", L"Oktober", L"November", L"Dezember"},
    {L"Jan", L"Feb", L"M\u00e4r", L"Apr", L"Mai", L"Jun", L"Jul", L"Aug", L"Sep", L"Okt", L"Nov",
     L"Dez"},
    {L"Sonntag", L"Montag", L"Dienstag", L"Mittwoch", L"Donnerstag", L"Freitag", L"Samstag"},
    {L"So", L"Mo", L"Di", L"Mi", L"Do", L"Fr", L"Sa"},
};

constexpr CalendarWords kRussian = {
    {L"\u044f\u043d\u0432\u0430\u0440\u044c", L"\u0444\u0435\u0432\u0440\u0430\u043b\u044c",
     L"\u043c\u0430\u0440\u0442", L"\u0430\u043f\u0440\u0435\u043b\u044c", L"\u043c\u0430\u0439",
     L"\u0438\u044e\u043d\u044c", L"\u0438\u044e\u043b\u044c",
     L"\u0430\u0432\u0433\u0443\u0441\u0442", L"\u0441\u0435\u043d\u0442\u044f\u0431\u0440\u044c",
     L"\u043e\u043a\u0442\u044f\u0431\u0440\u044c", L"\u043d\u043e\u044f\u0431\u0440\u044c",
     L"\u0434\u0435\u043a\u0430\u0431\u0440\u044c"},
    {L"\u044f\u043d\u0432\u0430\u0440\u044f", L"\u0444\u0435\u0432\u0440\u0430\u043b\u044f",
     L"\u043c\u0430\u0440\u0442\u0430", L"\u0430\u043f\u0440\u0435\u043b\u044f",
     L"\u043c\u0430\u044f", L"\u0438\u044e\u043d\u044f", L"\u0438\u044e\u043b\u044f",
     L"\u0430\u0432\u0433\u0443\u0441\u0442\u0430",
     L"\u0441\u0435\u043d\u0442\u044f\u0431\u0440\u044f",
     L"\u043e\u043a\u0442\u044f\u0431\u0440\u044f", L"\u043d\u043e\u044f\u0431\u0440\u044f",
     L"\u0434\u0435\u043a\u0430\u0431\u0440\u044f"},
    {L"\u044f\u043d\u0432", L"\u0444\u0435\u0432", L"\u043c\u0430\u0440", L"\u0430\u043f\u0440",
     L"\u043c\u0430\u0439", L"\u0438\u044e\u043d", L"\u0438\u044e\u043b", L"\u0430\u0432\u0433",
     L"\u0441\u0435\u043d", L"\u043e\u043a\u0442", L"\u043d\u043e\u044f", L"\u0434\u0435\u043a"},
    {L"\u0432\u043e\u0441\u043a\u0440\u0435\u0441\u0435\u043d\u044c\u0435",
     L"\u043f\u043e\u043d\u0435\u0434\u0435\u043b\u044c\u043d\u0438\u043a",
     L"\u0432\u0442\u043e\u0440\u043d\u0438\u043a", L"\u0441\u0440\u0435\u0434\u0430",
     L"\u0447\u0435\u0442\u0432\u0435\u0440\u0433", L"\u043f\u044f\u0442\u043d\u0438\u0446\u0430",
     L"\u0441\u0443\u0431\u0431\u043e\u0442\u0430"},
    {L"\u0412\u0441", L"\u041f\u043d", L"\u0412\u0442", L"\u0421\u0440", L"\u0427\u0442",
     L"\u041f\u0442", L"\u0421\u0431"},
};

// The pictures and words of one locale.
struct LocaleFormats {
    const wchar_t* longDate;
    const wchar_t* shortDate;
    const wchar_t* timeFormat;
    const wchar_t* shortTime;
    const CalendarWords* words;
};

constexpr LocaleFormats kEnUs = {L"dddd, MMMM d, yyyy", L"M/d/yyyy", L"h:mm:ss tt", L"h:mm tt",
                                 &kEnglish};
constexpr LocaleFormats kEnGb = {L"dd MMMM yyyy", L"dd/MM/yyyy", L"HH:mm:ss", L"HH:mm", &kEnglish};
constexpr LocaleFormats kDeDe = {L"dddd, d. MMMM yyyy", L"dd.MM.yyyy", L"HH:mm:ss", L"HH:mm",
                                 &kGerman};
constexpr LocaleFormats kRuRu = {L"d MMMM yyyy '\u0433.'", L"dd.MM.yyyy", L"H:mm:ss", L"H:mm",
                                 &kRussian};

constexpr std::uint32_t kLcidEnGb = 0x0809;
constexpr std::uint32_t kPrimaryMask = 0x03FF;
constexpr std::uint32_t kPrimaryEnglish = 0x09;
constexpr std::uint32_t kPrimaryGerman = 0x07;
constexpr std::uint32_t kPrimaryRussian = 0x19;

// Every sublanguage of a known language uses the formats of its main
// country; British English is the exception worth keeping.
const LocaleFormats* FindLocale(std::uint32_t lcid) {
    if (lcid == 0)
        return &kEnUs;
    if (lcid == kLcidEnGb)
        return &kEnGb;
    switch (lcid & kPrimaryMask) {
    case kPrimaryEnglish:
        return &kEnUs;
    case kPrimaryGerman:
        return &kDeDe;
    case kPrimaryRussian:
        return &kRuRu;
    default:
        return nullptr;
    }
}

bool IsTimeLetter(wchar_t c) {
    return c == L'H' || c == L'h' || c == L'm' || c == L's' || c == L't';
}

std::size_t RunLength(std::wstring_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && text[end] == text[at])
        ++end;
    return end - at;
}

// The end of the quoted literal that starts at `at` (just after its closing
// quote, or the end of the text when it is never closed).
std::size_t QuotedEnd(std::wstring_view text, std::size_t at) {
    if (at + 1 < text.size() && text[at + 1] == L'\'')
        return at + 2;
    std::size_t i = at + 1;
    while (i < text.size()) {
        if (text[i] == L'\'') {
            if (i + 1 < text.size() && text[i + 1] == L'\'') {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return text.size();
}

void AppendNumber(std::wstring* out, int value, int minDigits) {
    std::wstring digits = std::to_wstring(value);
    if (static_cast<int>(digits.size()) < minDigits)
        digits.insert(0, static_cast<std::size_t>(minDigits) - digits.size(), L'0');
    *out += digits;
}

// A month name follows a day number when the picture has a "d" or "dd"
// outside quotes.
bool PictureHasDayNumber(std::wstring_view picture) {
    for (std::size_t i = 0; i < picture.size();) {
        if (picture[i] == L'\'') {
            i = QuotedEnd(picture, i);
            continue;
        }
        const std::size_t run = RunLength(picture, i);
        if (picture[i] == L'd' && run <= 2)
            return true;
        i += run;
    }
    return false;
}

// Appends the text of one picture letter run. Letters of the other kind
// (time letters in a date picture and the reverse) are copied as text.
void AppendField(std::wstring* out, wchar_t letter, std::size_t run, bool date,
                 const plat::SystemTime& t, const CalendarWords& words, bool monthAfterDay) {
    const std::size_t month = static_cast<std::size_t>(t.month - 1);
    const std::size_t weekday = static_cast<std::size_t>(t.dayOfWeek);
    if (date) {
        switch (letter) {
        case L'd':
            if (run <= 2)
                AppendNumber(out, t.day, static_cast<int>(run));
            else
                *out += run == 3 ? words.daysShort[weekday] : words.days[weekday];
            return;
        case L'M':
            if (run <= 2)
                AppendNumber(out, t.month, static_cast<int>(run));
            else if (run == 3)
                *out += words.monthsShort[month];
            else
                *out += monthAfterDay ? words.monthsAfterDay[month] : words.months[month];
            return;
        case L'y':
            if (run <= 2)
                AppendNumber(out, t.year % 100, static_cast<int>(run));
            else
                AppendNumber(out, t.year, 4);
            return;
        case L'g':
            *out += L"A.D.";
            return;
        default:
            break;
        }
    } else {
        const int digits = run >= 2 ? 2 : 1;
        switch (letter) {
        case L'h':
            AppendNumber(out, t.hour % 12 == 0 ? 12 : t.hour % 12, digits);
            return;
        case L'H':
            AppendNumber(out, t.hour, digits);
            return;
        case L'm':
            AppendNumber(out, t.minute, digits);
            return;
        case L's':
            AppendNumber(out, t.second, digits);
            return;
        case L't': {
            const wchar_t* designator = t.hour < 12 ? L"AM" : L"PM";
            *out += run >= 2 ? std::wstring(designator) : std::wstring(1, designator[0]);
            return;
        }
        default:
            break;
        }
    }
    out->append(run, letter);
}

// Appends the literal that starts with the quote at `at` and returns the
// place after it. A doubled quote stands for a quote, inside a literal and
// outside; an unclosed literal runs to the end.
std::size_t AppendLiteral(std::wstring_view picture, std::size_t at, std::wstring* out) {
    if (at + 1 < picture.size() && picture[at + 1] == L'\'') {
        *out += L'\'';
        return at + 2;
    }
    std::size_t i = at + 1;
    while (i < picture.size()) {
        if (picture[i] == L'\'') {
            if (i + 1 < picture.size() && picture[i + 1] == L'\'') {
                *out += L'\'';
                i += 2;
                continue;
            }
            return i + 1;
        }
        *out += picture[i++];
    }
    return i;
}

bool IsFieldLetter(wchar_t c, bool date) {
    return date ? (c == L'd' || c == L'M' || c == L'y' || c == L'g') : IsTimeLetter(c);
}

std::wstring ApplyPicture(std::wstring_view picture, bool date, const plat::SystemTime& t,
                          const CalendarWords& words) {
    const bool monthAfterDay = date && PictureHasDayNumber(picture);
    std::wstring out;
    for (std::size_t i = 0; i < picture.size();) {
        const wchar_t c = picture[i];
        if (c == L'\'') {
            i = AppendLiteral(picture, i, &out);
            continue;
        }
        if (!IsFieldLetter(c, date)) {
            out += c;
            ++i;
            continue;
        }
        const std::size_t run = RunLength(picture, i);
        AppendField(&out, c, run, date, t, words, monthAfterDay);
        i += run;
    }
    return out;
}

// Days since 1970-01-01 to the proleptic Gregorian calendar.
void CivilFromDays(std::int64_t days, plat::SystemTime* t) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    t->day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    t->month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t->year = static_cast<int>(yearOfEra + era * 400 + (t->month <= 2 ? 1 : 0));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30827;
constexpr std::size_t kMaxTextLength = 127;
constexpr std::int64_t kMsPerDay = 86400000;

} // namespace

std::wstring FilterTimePicture(std::wstring_view picture) {
    std::wstring out;
    std::wstring between; // the text since the last run, kept or dropped
    bool keptAny = false;
    for (std::size_t i = 0; i < picture.size();) {
        const wchar_t c = picture[i];
        if (c == L'\'') {
            const std::size_t end = QuotedEnd(picture, i);
            between.append(picture.substr(i, end - i));
            i = end;
            continue;
        }
        if (!IsTimeLetter(c)) {
            between += c;
            ++i;
            continue;
        }
        const std::size_t run = RunLength(picture, i);
        if (c != L's' && run <= 2) {
            if (keptAny)
                out += between;
            out.append(run, c);
            keptAny = true;
        }
        between.clear();
        i += run;
    }
    return out;
}

std::wstring GetLocalePicture(std::uint32_t lcid, PictureKind kind, PictureLength length,
                              PictureFilter filter) {
    const LocaleFormats* locale = FindLocale(lcid);
    if (!locale)
        return {};
    const bool longForm = length == PictureLength::kLong;
    std::wstring picture;
    if (kind == PictureKind::kDate)
        picture = longForm ? locale->longDate : locale->shortDate;
    else
        picture = longForm ? locale->timeFormat : locale->shortTime;
    if (filter == PictureFilter::kHoursMinutesAmPm)
        return FilterTimePicture(picture);
    return picture;
}

bool FormatLocalTime(std::int64_t utcMs, int utcOffsetSeconds, std::uint32_t lcid,
                     std::wstring_view datePicture, std::wstring_view timePicture,
                     std::wstring* text) {
    const LocaleFormats* locale = FindLocale(lcid);
    // About 29000 years either way keeps every sum below in range.
    constexpr std::int64_t kLimitMs = 1000000000000000LL;
    if (!locale || utcMs > kLimitMs || utcMs < -kLimitMs)
        return false;
    const std::int64_t localMs = utcMs + static_cast<std::int64_t>(utcOffsetSeconds) * 1000;
    const std::int64_t days = FloorDiv(localMs, kMsPerDay);
    const std::int64_t msOfDay = localMs - days * kMsPerDay;
    plat::SystemTime t;
    CivilFromDays(days, &t);
    if (t.year < kFirstYear || t.year > kLastYear)
        return false;
    t.dayOfWeek = static_cast<int>(((days + 4) % 7 + 7) % 7); // 1970-01-01 was a Thursday
    t.hour = static_cast<int>(msOfDay / 3600000);
    t.minute = static_cast<int>(msOfDay / 60000 % 60);
    t.second = static_cast<int>(msOfDay / 1000 % 60);
    t.milliseconds = static_cast<int>(msOfDay % 1000);

    const std::wstring_view date = datePicture.empty() ? locale->shortDate : datePicture;
    const std::wstring_view time = timePicture.empty() ? locale->timeFormat : timePicture;
    std::wstring result = ApplyPicture(date, true, t, *locale->words);
    result += L' ';
    result += ApplyPicture(time, false, t, *locale->words);
    if (result.size() > kMaxTextLength)
        return false;
    *text = std::move(result);
    return true;
}

} // namespace logic
