#include "config/LauncherLang.h"
#include "config/LocaleSupport.h"

#include "LangFixtures.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace config;
using langtest::MakeTable;
using langtest::MapMemberSource;

namespace {

constexpr int kShippedCount = 119;

// Puts the process's time locale back after a test that selects languages.
class TimeLocaleGuard {
public:
    TimeLocaleGuard() : saved_(std::setlocale(LC_TIME, nullptr)) {}
    ~TimeLocaleGuard() { std::setlocale(LC_TIME, saved_.c_str()); }

private:
    std::string saved_;
};

std::string CurrentTimeLocale() {
    return std::setlocale(LC_TIME, nullptr);
}

TEST(LauncherLangTable, StringLookupStaysInsideTheTable) {
    CLauncherLangTable table;
    // Nothing loaded: every lookup is empty and nothing can be selected.
    EXPECT_EQ(table.GetString(1), L"");
    EXPECT_EQ(table.CurrentIndex(), -1);
    EXPECT_FALSE(table.Select(0));

    ASSERT_EQ(table.AddLanguageBytes(MakeTable("en", kShippedCount), "English", "en", "", 9), 0);
    EXPECT_EQ(table.GetString(0), L"");
    EXPECT_EQ(table.GetString(1), L"en:1");
    EXPECT_EQ(table.GetString(kShippedCount - 1), L"en:118");
    EXPECT_EQ(table.GetString(kShippedCount), L"");
    EXPECT_EQ(table.GetString(-1), L"");
    EXPECT_EQ(table.Current()->Id(), 9);
}

TEST(LauncherLangTable, FirstLanguageIsDefaultAndCurrent) {
    TimeLocaleGuard guard;
    CLauncherLangTable table;
    ASSERT_EQ(table.AddLanguageBytes(MakeTable("en", 5), "English", "en", "", 1), 0);
    ASSERT_EQ(table.AddLanguageBytes(MakeTable("de", 5), "Deutsch", "de", "", 2), 1);
    EXPECT_EQ(table.DefaultIndex(), 0);
    EXPECT_EQ(table.CurrentIndex(), 0);
    EXPECT_EQ(table.GetString(3), L"en:3");

    EXPECT_TRUE(table.Select(1));
    EXPECT_EQ(table.GetString(3), L"de:3");
    EXPECT_TRUE(table.Select(1)); // already current
    EXPECT_FALSE(table.Select(2));
    EXPECT_FALSE(table.Select(-1));
    EXPECT_EQ(table.CurrentIndex(), 1);
    EXPECT_EQ(table.DefaultIndex(), 0);
}

TEST(LauncherLangTable, EveryLanguageHoldsTheFirstOnesCount) {
    MapMemberSource archive;
    archive.members["en.lso"] = MakeTable("en", kShippedCount);
    archive.members["de.lso"] = MakeTable("de", kShippedCount + 1);
    archive.members["ru.lso"] = MakeTable("ru", kShippedCount);
    archive.members["bad.lso"] = std::string(8, '\0');

    CLauncherLangTable table;
    LangError error = kLangMalformed;
    ASSERT_EQ(table.AddLanguage(archive, "en.lso", "English", "en", "", 1, &error), 0);
    EXPECT_EQ(error, kLangOk);
    EXPECT_EQ(table.AddLanguage(archive, "de.lso", "Deutsch", "de", "", 2, &error), -1);
    EXPECT_EQ(error, kLangCountDiffers);
    EXPECT_EQ(table.AddLanguage(archive, "xx.lso", "None", "xx", "", 3, &error), -1);
    EXPECT_EQ(error, kLangMissingFile);
    EXPECT_EQ(table.AddLanguage(archive, "bad.lso", "Bad", "bd", "", 4, &error), -1);
    EXPECT_EQ(error, kLangMalformed);
    // The rejected ones left no trace: the next language gets index 1.
    EXPECT_EQ(table.AddLanguage(archive, "ru.lso", "Русский", "ru", "", 5), 1);
    EXPECT_EQ(table.Count(), 2);
}

TEST(LauncherLangTable, InvalidUtf8BecomesReplacementCharacters) {
    CLauncherLangTable table;
    const std::string bytes = WriteLso({"",
                                        "a\xFF"
                                        "b",
                                        "\xE2\x82", "\xC3\xA4"});
    ASSERT_EQ(table.AddLanguageBytes(bytes, "Broken", "xx", "", 0), 0);
    EXPECT_EQ(table.GetString(1), L"a\uFFFDb");
    const std::wstring cut = table.GetString(2);
    ASSERT_FALSE(cut.empty());
    EXPECT_EQ(cut.find_first_not_of(L'\uFFFD'), std::wstring::npos);
    EXPECT_EQ(table.GetString(3), L"\u00E4");
    EXPECT_EQ(table.Current()->StringBytes(1), "a\xFF"
                                               "b");
}

TEST(LauncherLangTable, LocaleIsKeptAndSetsTimeFormattingWhenPresent) {
    TimeLocaleGuard guard;
    CLauncherLangTable table;
    ASSERT_EQ(table.AddLanguageBytes(MakeTable("en", 3), "English", "en", "", 1), 0);
    EXPECT_EQ(table.Current()->Lcid(), 0u);
    EXPECT_EQ(table.Current()->RuntimeLocale(), nullptr);

    // A locale this system lacks still makes a usable language; time
    // formatting stays as it was.
    std::setlocale(LC_TIME, "C");
    ASSERT_EQ(table.AddLanguageBytes(MakeTable("xx", 3), "Nowhere", "xx", "xx-YY", 2), 1);
    EXPECT_TRUE(table.Language(1)->RuntimeLocaleName().empty());
    EXPECT_TRUE(table.Select(1));
    EXPECT_EQ(CurrentTimeLocale(), "C");

    ASSERT_EQ(table.AddLanguageBytes(MakeTable("de", 3), "Deutsch", "de", "de-DE", 3), 2);
    EXPECT_EQ(table.Language(2)->Lcid(), 0x0407u);
    EXPECT_EQ(table.Language(2)->LocaleName(), "de-DE");

    const std::string available = FindRuntimeLocale("C.UTF-8");
    if (available.empty())
        GTEST_SKIP() << "no C.UTF-8 locale on this system";
    ASSERT_EQ(table.AddLanguageBytes(MakeTable("cu", 3), "C", "cu", "C.UTF-8", 4), 3);
    ASSERT_NE(table.Language(3)->RuntimeLocale(), nullptr);
    EXPECT_TRUE(table.Select(3));
    EXPECT_EQ(CurrentTimeLocale(), available);
}

TEST(LocaleSupport, LanguageCodeOfALocaleValue) {
    EXPECT_EQ(LanguageCodeFromLocale("de_DE.UTF-8"), "de");
    EXPECT_EQ(LanguageCodeFromLocale("pt@euro"), "pt");
    EXPECT_EQ(LanguageCodeFromLocale("fil_PH"), "fil");
    EXPECT_EQ(LanguageCodeFromLocale("C"), "en");
    EXPECT_EQ(LanguageCodeFromLocale("C.UTF-8"), "en");
    EXPECT_EQ(LanguageCodeFromLocale(""), "");
    EXPECT_EQ(LanguageCodeFromLocale("d3_DE"), "");
    EXPECT_EQ(LanguageCodeFromLocale("/usr/share/locale"), "");
}

} // namespace
