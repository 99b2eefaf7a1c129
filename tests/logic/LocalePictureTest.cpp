#include "logic/LocalePicture.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using logic::FilterTimePicture;
using logic::FormatLocalTime;
using logic::GetLocalePicture;
using logic::PictureFilter;
using logic::PictureKind;
using logic::PictureLength;

constexpr std::uint32_t kEnUs = 1033;
constexpr std::uint32_t kDeDe = 1031;
constexpr std::uint32_t kRuRu = 1049;
constexpr std::uint32_t kPlPl = 1045; // a locale without pictures here

// 2024-03-05 22:30:15 UTC, a Tuesday.
constexpr std::int64_t kTuesdayEvening = 1709677815000;
constexpr int kMoscow = 3 * 3600;
constexpr int kNewYork = -5 * 3600;

std::wstring Format(std::int64_t ms, int offset, std::uint32_t lcid, std::wstring_view date,
                    std::wstring_view time) {
    std::wstring text;
    EXPECT_TRUE(FormatLocalTime(ms, offset, lcid, date, time, &text));
    return text;
}

std::wstring NoticePicture(std::uint32_t lcid, PictureKind kind) {
    return kind == PictureKind::kDate
               ? GetLocalePicture(lcid, kind, PictureLength::kLong, PictureFilter::kNone)
               : GetLocalePicture(lcid, kind, PictureLength::kShort,
                                  PictureFilter::kHoursMinutesAmPm);
}

std::wstring Notice(std::int64_t ms, int offset, std::uint32_t lcid) {
    return Format(ms, offset, lcid, NoticePicture(lcid, PictureKind::kDate),
                  NoticePicture(lcid, PictureKind::kTime));
}

TEST(LocalePicture, TimeFilterKeepsHoursMinutesAndDesignator) {
    const struct {
        const wchar_t* picture;
        const wchar_t* filtered;
    } cases[] = {
        {L"HH:mm:ss", L"HH:mm"},
        {L"h:mm:ss tt", L"h:mm tt"},
        {L"ss:HH.mm", L"HH.mm"},                 // leading text of a dropped run goes
        {L"H 'h' mm 'min' ss 's'", L"H 'h' mm"}, // quoted letters are text
        {L"hhh:mm", L"mm"},                      // runs longer than two are dropped
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilterTimePicture(c.picture), c.filtered) << c.picture;
}

TEST(LocalePicture, KnownLocalesAndTheirFamilies) {
    // The filtered full time picture is the short one of the same locale.
    for (std::uint32_t lcid : {kEnUs, kDeDe, kRuRu, 2057u}) {
        EXPECT_EQ(GetLocalePicture(lcid, PictureKind::kTime, PictureLength::kLong,
                                   PictureFilter::kHoursMinutesAmPm),
                  NoticePicture(lcid, PictureKind::kTime))
            << lcid;
    }
    // A neutral identifier and another country use the language's formats;
    // 0 is the user's default locale.
    EXPECT_EQ(NoticePicture(0x0007, PictureKind::kDate), NoticePicture(kDeDe, PictureKind::kDate));
    EXPECT_EQ(NoticePicture(0x0C07, PictureKind::kDate), NoticePicture(kDeDe, PictureKind::kDate));
    EXPECT_EQ(NoticePicture(0, PictureKind::kTime), NoticePicture(kEnUs, PictureKind::kTime));
    EXPECT_TRUE(NoticePicture(kPlPl, PictureKind::kDate).empty());
}

TEST(LocalePicture, NoticeTimeInTwoTimeZones) {
    EXPECT_EQ(Notice(kTuesdayEvening, 0, kEnUs), L"Tuesday, March 5, 2024 10:30 PM");
    EXPECT_EQ(Notice(kTuesdayEvening, kMoscow, kEnUs), L"Wednesday, March 6, 2024 1:30 AM");
    EXPECT_EQ(Notice(kTuesdayEvening, kNewYork, kEnUs), L"Tuesday, March 5, 2024 5:30 PM");
    EXPECT_EQ(Notice(kTuesdayEvening, kMoscow, kDeDe), L"Mittwoch, 6. M\u00e4rz 2024 01:30");
    // Russian months follow a day number in their genitive form.
    EXPECT_EQ(Notice(kTuesdayEvening, kMoscow, kRuRu),
              L"6 \u043c\u0430\u0440\u0442\u0430 2024 \u0433. 1:30");
    EXPECT_EQ(Format(kTuesdayEvening, kMoscow, kRuRu, L"MMMM yyyy", L"H"),
              L"\u043c\u0430\u0440\u0442 2024 1");
    // A year boundary.
    EXPECT_EQ(Format(1704078000000, kNewYork, kEnUs, L"yyyy-MM-dd dddd", L"HH:mm"),
              L"2023-12-31 Sunday 22:00");
}

TEST(LocalePicture, PictureLettersAndLiterals) {
    EXPECT_EQ(
        Format(kTuesdayEvening, 0, kEnUs, L"ddd d/dd MMM M/MM yy y", L"hh h HH H mm m ss s tt t"),
        L"Tue 5/05 Mar 3/03 24 24 10 10 22 22 30 30 15 15 PM P");
    EXPECT_EQ(
        Format(kTuesdayEvening, 0, kEnUs, L"'day' d 'of the year''s' MMMM", L"'at' h 'o''clock'"),
        L"day 5 of the year's March at 10 o'clock");
    // Empty pictures stand for the locale's short date and full time.
    EXPECT_EQ(Format(kTuesdayEvening, 0, kEnUs, L"", L""), L"3/5/2024 10:30:15 PM");
    // Before 1970 the weekday still comes out right: 1969-12-31 was a Wednesday.
    EXPECT_EQ(Format(-86400000, 0, kEnUs, L"dddd yyyy", L"HH"), L"Wednesday 1969 00");

    // Failures: an unknown locale, a year before 1601, more than 127 characters.
    std::wstring text;
    EXPECT_FALSE(FormatLocalTime(kTuesdayEvening, 0, kPlPl, L"d", L"H", &text));
    EXPECT_FALSE(FormatLocalTime(-14818723200000, 0, kEnUs, L"d", L"H", &text));
    EXPECT_FALSE(
        FormatLocalTime(kTuesdayEvening, 0, kEnUs, std::wstring(122, L'x'), L"HH:mm", &text));
    EXPECT_TRUE(FormatLocalTime(kTuesdayEvening, 0, kEnUs, std::wstring(122, L'x'), L"HH", &text));
}

} // namespace
