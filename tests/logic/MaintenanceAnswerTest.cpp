#include "logic/MaintenanceAnswer.h"

#include "EnglishStrings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using logic::Build503Message;
using logic::LocalClock;
using logic::MaintenanceNotice;
using logic::MaintenancePage;
using logic::ParseHttx503Answer;
using logic::ReadMaintenancePage;
using logic::UtcFieldsToMs;

constexpr std::uint32_t kEnUs = 1033;
constexpr std::uint32_t kPlPl = 1045;
// 2030-06-15 12:00 UTC, a Saturday.
constexpr std::int64_t kNow = 1907755200000;
constexpr int kMoscow = 3 * 3600;
constexpr int kNewYork = -5 * 3600;

LocalClock FixedZone(int offsetSeconds) {
    return LocalClock{kNow, [offsetSeconds](std::int64_t) { return offsetSeconds; }};
}

std::string Page(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>503</title></head><body>" +
           body + "</body></html>";
}

std::string TimeBlock(int year, int month, int day, int hour, int minute) {
    return "<div id=\"time\"><span class=\"year\">" + std::to_string(year) +
           "</span><span class=\"month\">" + std::to_string(month) + "</span><span class=\"day\">" +
           std::to_string(day) + "</span><span class=\"hour\">" + std::to_string(hour) +
           "</span><span class=\"minute\">" + std::to_string(minute) + "</span></div>";
}

std::string LangBlock(const std::string& code,
                      const std::string& line2 = "Back at <b class=\"time\">soon</b> sharp.") {
    return "<div id=\"" + code + "\"><h1 class=\"title\">Maintenance " + code +
           "</h1><p class=\"line1\">Servers of " + code + " are down.</p><p class=\"line2\">" +
           line2 + "</p></div>";
}

// Two hours after the clock's present.
const std::string kFutureTime = TimeBlock(2030, 6, 15, 14, 0);
const std::string kPastTime = TimeBlock(2030, 6, 15, 11, 59);

MaintenancePage Read(const std::string& answer, const std::string& code = "en") {
    MaintenancePage page;
    EXPECT_TRUE(ReadMaintenancePage(answer, code, &page));
    return page;
}

TEST(MaintenanceAnswer, UtcCalendarFields) {
    std::int64_t ms = -1;
    ASSERT_TRUE(UtcFieldsToMs(2030, 6, 15, 12, 0, &ms));
    EXPECT_EQ(ms, kNow);
    EXPECT_TRUE(UtcFieldsToMs(2024, 2, 29, 23, 59, &ms));
    ms = 7;
    const int invalid[][5] = {{2023, 2, 29, 0, 0}, {2100, 2, 29, 0, 0},  {2030, 4, 31, 0, 0},
                              {2030, 1, 1, 24, 0}, {1600, 12, 31, 0, 0}, {0, 0, 0, 0, 0}};
    for (const auto& f : invalid)
        EXPECT_FALSE(UtcFieldsToMs(f[0], f[1], f[2], f[3], f[4], &ms)) << f[0] << "-" << f[1];
    EXPECT_EQ(ms, 7);
}

TEST(MaintenanceAnswer, BlocksAreFoundByTheirFirstAttribute) {
    // A div with class before id is no block, but its children are searched.
    MaintenancePage page = Read(Page("<div class=\"box\" id=\"en\"><div id=\"time\">"
                                     "<i class=\"year\">2031</i><i class=\"month\">2</i>"
                                     "<i class=\"day\">3</i><i class=\"hour\">4</i></div>" +
                                     LangBlock("de") + "</div>"));
    EXPECT_TRUE(page.title.empty());
    EXPECT_TRUE(page.line1.empty());
    std::int64_t expected = 0;
    ASSERT_TRUE(UtcFieldsToMs(2031, 2, 3, 4, 0, &expected)); // a missing minute is 0
    EXPECT_EQ(page.endTimeMs, expected);

    // Another language's block is searched; a matching block's is not.
    page = Read(Page("<div id=\"de\">" + LangBlock("en") + "</div>"));
    EXPECT_EQ(page.title, "Maintenance en");
    page = Read(
        Page("<div id=\"en\"><p class=\"line1\">x</p>" + kFutureTime + LangBlock("en") + "</div>"));
    EXPECT_EQ(page.endTimeMs, 0);
    EXPECT_EQ(page.line1, "x");
    EXPECT_TRUE(page.title.empty());

    // Names and values compare exactly.
    EXPECT_TRUE(Read(Page("<DIV id=\"en\"><h1 class=\"title\">t</h1></DIV>")).title.empty());
    EXPECT_TRUE(Read(Page(LangBlock("EN"))).title.empty());
}

TEST(MaintenanceAnswer, BlockTextsAndTimeFields) {
    MaintenancePage page = Read(
        Page("<div id=\"en\"><h1 class=\"title\">first</h1><h1 class=\"title\">second</h1>"
             "<p class=\"line1\">one</p><p class=\"line1\"><b>no text first</b>tail</p>"
             "<p class=\"line2\">a<i>x</i>b<span class=\"time\"/>c<span class=\"time\">d</span></p>"
             "<p class=\"line2\">e<span class=\"time\"/>f</p></div>"));
    EXPECT_EQ(page.title, "second");
    EXPECT_EQ(page.line1, "one"); // an element without leading text keeps the last text
    EXPECT_EQ(page.line2, "abcef");
    EXPECT_TRUE(page.timeMarker);
    EXPECT_EQ(page.markerOffset, 2u); // only the first marker counts

    // A field that does not read as a number leaves it 0: no valid time.
    page = Read(Page("<div id=\"time\"><b class=\"year\">2031</b><b class=\"month\">May</b>"
                     "<b class=\"day\">1</b></div>"));
    EXPECT_EQ(page.endTimeMs, 0);
    // A later valid time block replaces an earlier one; an invalid one does not.
    page = Read(Page(kPastTime + kFutureTime + TimeBlock(2030, 2, 30, 0, 0)));
    EXPECT_EQ(page.endTimeMs, kNow + 2 * 3600 * 1000);

    EXPECT_FALSE(ReadMaintenancePage("<html><body>", "en", &page));
    EXPECT_FALSE(page.wellFormed);
}

TEST(MaintenanceAnswer, FutureEndTimeInLocalTime) {
    const std::string answer = Page(LangBlock("de") + kFutureTime + LangBlock("en"));
    MaintenanceNotice notice;
    ASSERT_TRUE(ParseHttx503Answer(answer, "en", kEnUs, L"dddd, MMMM d, yyyy", L"h:mm tt",
                                   FixedZone(kMoscow), &notice));
    EXPECT_EQ(notice.title, "Maintenance en");
    EXPECT_EQ(notice.text,
              "Servers of en are down.\n\nBack at Saturday, June 15, 2030 5:00 PM sharp.");
    EXPECT_TRUE(notice.timeShown);

    notice = {};
    ASSERT_TRUE(ParseHttx503Answer(answer, "en", kEnUs, L"yyyy-MM-dd", L"HH:mm",
                                   FixedZone(kNewYork), &notice));
    EXPECT_EQ(notice.text, "Servers of en are down.\n\nBack at 2030-06-15 09:00 sharp.");

    // The zone's offset is the one at the end time, not at the present.
    const LocalClock summer{kNow, [](std::int64_t ms) { return ms > kNow ? 7200 : 3600; }};
    notice = {};
    ASSERT_TRUE(ParseHttx503Answer(answer, "en", kEnUs, L"d", L"HH:mm", summer, &notice));
    EXPECT_EQ(notice.text, "Servers of en are down.\n\nBack at 15 16:00 sharp.");
}

TEST(MaintenanceAnswer, UnusableAnswers) {
    MaintenanceNotice notice;
    const std::pair<std::string, std::string> unusable[] = {
        {"", "en"},
        {Page(LangBlock("en")), ""},
        {Page("<div id=\"en\"><p class=\"title\">t</p></div>"), "en"},
        {Page("<div id=\"en\"><p class=\"line1\">l</p></div>"), "en"},
        // A future time the locale cannot write.
        {Page(kFutureTime + LangBlock("pl")), "pl"}};
    for (const auto& [answer, code] : unusable) {
        EXPECT_FALSE(ParseHttx503Answer(answer, code, kPlPl, L"d", L"H", FixedZone(0), &notice))
            << answer;
    }
    // Without an end time, or without its marker, the notice is line1 alone.
    for (const std::string& answer :
         {Page(LangBlock("en")), Page(kFutureTime + LangBlock("en", "no marker"))}) {
        ASSERT_TRUE(ParseHttx503Answer(answer, "en", kEnUs, L"d", L"H", FixedZone(0), &notice));
        EXPECT_EQ(notice.text, "Servers of en are down.");
        EXPECT_FALSE(notice.timeShown);
    }
}

TEST(MaintenanceAnswer, NoBreakSpacesBecomeTwoBlanks) {
    // U+0420 is D0 A0 in UTF-8: only the C2 A0 pair is a no-break space.
    const std::string answer =
        Page(kFutureTime + LangBlock("ru", "\xD0\xA0\xC2\xA0<b class=\"time\"/>\xC2\xA0!"));
    MaintenanceNotice notice;
    ASSERT_TRUE(
        ParseHttx503Answer(answer, "ru", 1049, L"d\u00a0MMMM", L"H:mm", FixedZone(0), &notice));
    EXPECT_EQ(notice.text, "Servers of ru are down.\n\n\xD0\xA0  15  "
                           "\xD0\xB8\xD1\x8E\xD0\xBD\xD1\x8F 14:00  !");
}

TEST(MaintenanceAnswer, MessagesInTheUserLanguage) {
    const logic::LangLookup lang = logictest::EnglishLang();
    ASSERT_FALSE(lang(32).empty());
    const std::wstring back = L"\n\n" + lang(33);
    std::wstring text = L"plain";

    ASSERT_TRUE(Build503Message(Page(kFutureTime + LangBlock("de")), "en", kEnUs, lang,
                                FixedZone(0), &text));
    EXPECT_EQ(text, lang(32) + back);

    ASSERT_TRUE(Build503Message(Page(kFutureTime + LangBlock("en")), "en", kEnUs, lang,
                                FixedZone(kMoscow), &text));
    EXPECT_EQ(text, L"Servers of en are down.\n\nBack at Saturday, June 15, 2030 5:00 PM sharp.");

    ASSERT_TRUE(
        Build503Message(Page(kPastTime + LangBlock("en")), "en", kEnUs, lang, FixedZone(0), &text));
    EXPECT_EQ(text, L"Servers of en are down." + back);

    ASSERT_TRUE(Build503Message("not xml <", "en", kEnUs, lang, FixedZone(0), &text));
    EXPECT_EQ(text, back);

    // Without pictures for the locale the text stays as it was.
    text = L"plain";
    EXPECT_FALSE(Build503Message(Page(LangBlock("en")), "en", kPlPl, lang, FixedZone(0), &text));
    EXPECT_EQ(text, L"plain");
}

} // namespace
