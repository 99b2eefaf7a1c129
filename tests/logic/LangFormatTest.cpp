// Language texts used as formats: each shipped translation of every text the
// launcher formats with a name shows the whole name.

#include "logic/LangFormat.h"
#include "config/LangSource.h"
#include "platform/Unicode.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using logic::FormatLangNumber;
using logic::FormatLangText;

std::vector<std::string> ShippedTable(const std::string& code) {
    const std::string here = __FILE__;
    const std::string root = here.substr(0, here.rfind("tests/logic/"));
    std::vector<std::string> strings;
    std::string error;
    config::ParseLangSource(
        testsupport::ReadTestFile(plat::Utf8ToWide(root + "dist/default/lang/" + code + ".txt")),
        &strings, &error);
    return strings;
}

TEST(LangFormat, EveryShippedTextThatTakesANameShowsItWhole) {
    const std::wstring names[] = {L"D Game Client", L"\u00C4gypten Online \u041C\u0438\u0440"};
    for (const char* code : {"en", "de", "ru"}) {
        const std::vector<std::string> table = ShippedTable(code);
        ASSERT_GT(table.size(), 109u) << code;
        for (int id : {logic::kLangClientStartTooLong, logic::kLangCannotCreateFile,
                       logic::kLangMaxClientsReached}) {
            const std::wstring format = plat::Utf8ToWide(table[static_cast<std::size_t>(id)]);
            const std::size_t at = format.find(L"%s");
            ASSERT_NE(at, std::wstring::npos) << code << " " << id;
            for (const std::wstring& name : names) {
                const std::wstring text = FormatLangText(format, name);
                SCOPED_TRACE(plat::WideToUtf8(text));
                // The text around the name stays as written.
                EXPECT_EQ(text, format.substr(0, at) + name + format.substr(at + 2));
            }
        }
    }
}

TEST(LangFormat, ATranslationIsNeverAPrintfFormat) {
    // Only the first "%s" takes the name and "%%" is a percent sign; other
    // conversions of a faulty translation stay as they stand.
    EXPECT_EQ(FormatLangText(L"100%% %s %s %d %n %ls %", L"Game"), L"100% Game %s %d %n %ls %");
    EXPECT_EQ(FormatLangText(L"no name", L"Game"), L"no name");
    EXPECT_EQ(FormatLangText(L"", L"Game"), L"");
}

TEST(LangFormat, TheTrayPercentageTakesOnlyItsNumber) {
    for (const char* code : {"en", "de", "ru"}) {
        const std::vector<std::string> table = ShippedTable(code);
        const std::wstring format =
            plat::Utf8ToWide(table[static_cast<std::size_t>(logic::kLangTrayProgress)]);
        EXPECT_EQ(FormatLangNumber(format, 42.26), L"42.3%") << code;
        EXPECT_EQ(FormatLangNumber(format, 100.0), L"100.0%") << code;
    }
    // Other conversions of a faulty translation stay as they stand, and only
    // the first number conversion takes the value.
    EXPECT_EQ(FormatLangNumber(L"%s %d %n %.1f %.2f %f %%", 7.5), L"%s %d %n 7.5 %.2f %f %");
    EXPECT_EQ(FormatLangNumber(L"%f|%.0f", 2.5), L"2.500000|%.0f");
    EXPECT_EQ(FormatLangNumber(L"%.1f", 1e300), L"1000000000000000.0");
    EXPECT_EQ(FormatLangNumber(L"%.", 1.0), L"%.");
}

TEST(LangFormat, FormattedTextsTakeTheirValuesOnlyWhenTheyFit) {
    using logic::FormatLangArgs;
    using logic::LangArg;
    const LangArg real{LangArg::Real, 0, 812345.6, {}};
    const LangArg integer{LangArg::Integer, 42, 0, {}};
    const LangArg percent{LangArg::Text, 0, 0, L"%"};
    std::wstring out;
    // Every shipped text the wizard formats, in every language, fits.
    for (const char* code : {"en", "de", "ru"}) {
        const std::vector<std::string> table = ShippedTable(code);
        auto text = [&](int id) { return plat::Utf8ToWide(table[static_cast<std::size_t>(id)]); };
        EXPECT_TRUE(FormatLangArgs(text(4), {real, real}, &out)) << code;
        EXPECT_NE(out.find(L"812345.6"), std::wstring::npos) << code;
        EXPECT_TRUE(FormatLangArgs(text(5), {real}, &out)) << code;
        EXPECT_TRUE(FormatLangArgs(text(16), {integer, percent}, &out)) << code;
        EXPECT_NE(out.find(L"42%"), std::wstring::npos) << code;
        EXPECT_TRUE(FormatLangArgs(text(17), {integer, percent}, &out)) << code;
        EXPECT_TRUE(FormatLangArgs(text(37), {integer}, &out)) << code;
        EXPECT_TRUE(FormatLangArgs(text(41), {integer, integer}, &out)) << code;
    }
    EXPECT_TRUE(FormatLangArgs(L"%5.1f|%-4d|%03x|%%", {real, integer, integer}, &out));
    EXPECT_EQ(out, L"812345.6|42  |02a|%");

    // A conversion of another kind, a missing value, an unknown conversion
    // and an oversized width leave the text as it stands.
    EXPECT_FALSE(FormatLangArgs(L"%s of %s", {real, real}, &out));
    EXPECT_EQ(out, L"%s of %s");
    EXPECT_FALSE(FormatLangArgs(L"%d %d", {integer}, &out));
    EXPECT_EQ(out, L"%d %d");
    EXPECT_FALSE(FormatLangArgs(L"%n", {integer}, &out));
    EXPECT_FALSE(FormatLangArgs(L"%999999d", {integer}, &out));
    EXPECT_EQ(out, L"%999999d");
    EXPECT_FALSE(FormatLangArgs(L"100%", {}, &out));
    EXPECT_EQ(out, L"100%");
    // Fewer conversions than values are fine; a text value keeps its width.
    EXPECT_TRUE(FormatLangArgs(L"[%-6s]", {LangArg{LangArg::Text, 0, 0, L"ab"}, integer}, &out));
    EXPECT_EQ(out, L"[ab    ]");
    // Huge reals are bounded before they are printed.
    EXPECT_TRUE(FormatLangArgs(L"%.1f", {LangArg{LangArg::Real, 0, 1e300, {}}}, &out));
    EXPECT_EQ(out, L"1000000000000000.0");
}

} // namespace
