#include "config/LangSource.h"
#include "config/LauncherLang.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace config;

namespace {

using Strings = std::vector<std::string>;
using Placeholders = std::vector<std::string>;

TEST(LangSource, LinesBecomeStrings) {
    const std::string source = "\xEF\xBB\xBF# a comment\r\n"
                               "0\t\n"
                               "\n"
                               "2\tTab\\there\\nnext \\\\n line\r\n"
                               "1\tPlain text\twith a raw tab\n"
                               "3\t#not a comment";
    Strings strings;
    std::string error;
    ASSERT_TRUE(ParseLangSource(source, &strings, &error)) << error;
    const Strings expected{"", "Plain text\twith a raw tab", "Tab\there\nnext \\n line",
                           "#not a comment"};
    EXPECT_EQ(strings, expected);

    // Escaping gives back a line that reads the same.
    Strings again;
    ASSERT_TRUE(ParseLangSource("0\t" + EscapeLangText(expected[2]), &again, &error)) << error;
    EXPECT_EQ(again, Strings{expected[2]});
}

TEST(LangSource, MalformedSourcesNameTheFault) {
    const struct {
        const char* source;
        const char* fault;
    } cases[] = {
        {"0\ta\n1 b\n", "line 2: no tab"},
        {"0\ta\nx\tb\n", "line 2: \"x\" is not an id"},
        {"0\ta\n-1\tb\n", "not an id"},
        {"0\ta\n70000\tb\n", "not an id"},
        {"0\ta\n0\tb\n", "id 0 appears twice"},
        {"0\ta\n2\tc\n", "id 1 is missing"},
        {"0\tbad \\q escape\n", "unknown escape \\q"},
        {"0\tends in \\", "backslash at the end"},
        {"0\t\xC3\x28\n", "invalid UTF-8"},
        {"# only a comment\n", "no strings"},
    };
    for (const auto& c : cases) {
        Strings strings{"stale"};
        std::string error;
        EXPECT_FALSE(ParseLangSource(c.source, &strings, &error)) << c.source;
        EXPECT_NE(error.find(c.fault), std::string::npos) << c.source << " -> " << error;
        EXPECT_TRUE(strings.empty());
    }
}

TEST(LangSource, PlaceholdersAreTheConversions) {
    EXPECT_EQ(ExtractPlaceholders("%.1f%% (Pause)"), Placeholders{"%.1f"});
    EXPECT_EQ(ExtractPlaceholders("%d%s completed..."), (Placeholders{"%d", "%s"}));
    EXPECT_EQ(ExtractPlaceholders("%%%d%%"), Placeholders{"%d"});
    EXPECT_EQ(ExtractPlaceholders("%-08.3lf|%*d|%lld|%zu|%c"),
              (Placeholders{"%-08.3lf", "%*d", "%lld", "%zu", "%c"}));
    EXPECT_EQ(ExtractPlaceholders("no conversions"), Placeholders{});
    // Broken ones stay visible so a comparison notices them.
    EXPECT_EQ(ExtractPlaceholders("100%"), Placeholders{"%"});
    EXPECT_EQ(ExtractPlaceholders("%y and %"), (Placeholders{"%y", "%"}));
    // "% s" is a real conversion (space flag): printf would read an argument.
    EXPECT_EQ(ExtractPlaceholders("50% sure"), Placeholders{"% s"});
    EXPECT_EQ(FormatPlaceholders({"%d", "%s"}), "[%d %s]");
}

TEST(LangSource, TranslationsKeepIdsAndConversions) {
    const Strings reference{"", "Unpacking %d%s", "%.1f%%", "STEP %d/%d", "Plain"};
    Strings translation{"", "Entpacken %d%s", "%.1f %%", "SCHRITT %d/%d", "Schlicht"};
    std::vector<std::string> problems;
    EXPECT_TRUE(CheckTranslation(reference, translation, &problems));
    EXPECT_TRUE(problems.empty());

    const struct {
        int id;
        const char* text;
        const char* listed;
    } faults[] = {
        {1, "Entpacken %s%d", "id 1: placeholders differ: reference [%d %s], translation [%s %d]"},
        {1, "Entpacken %d", "translation [%d]"},
        {1, "Entpacken %d%d", "translation [%d %d]"},
        {2, "%.1f%", "translation [%.1f %]"},
        {2, "%.2f%%", "reference [%.1f], translation [%.2f]"},
        {3, "SCHRITT %d von %d %s", "translation [%d %d %s]"},
        {4, "100% sicher", "reference [], translation [% s]"},
    };
    for (const auto& f : faults) {
        Strings bad = translation;
        bad[static_cast<std::size_t>(f.id)] = f.text;
        problems.clear();
        EXPECT_FALSE(CheckTranslation(reference, bad, &problems)) << f.text;
        ASSERT_EQ(problems.size(), 1u) << f.text;
        EXPECT_NE(problems[0].find(f.listed), std::string::npos) << problems[0];
    }

    // A missing or additional id is reported even when the rest agrees.
    problems.clear();
    translation.push_back("extra");
    EXPECT_FALSE(CheckTranslation(reference, translation, &problems));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("ids differ"), std::string::npos) << problems[0];
}

// The sources of the default distribution, found from this file's place in
// the source tree.
std::wstring ShippedSource(const char* code) {
    std::string here = __FILE__;
    const std::size_t tests = here.rfind("tests/config/");
    return std::wstring(here.begin(), here.begin() + static_cast<long>(tests)) +
           L"dist/default/lang/" + std::wstring(code, code + 2) + L".txt";
}

TEST(LangSource, ShippedLanguagesAgree) {
    constexpr int kShippedCount = 119;
    Strings tables[3];
    const char* codes[3] = {"en", "de", "ru"};
    CLauncherLangTable table;
    for (int i = 0; i < 3; ++i) {
        const std::string text = testsupport::ReadTestFile(ShippedSource(codes[i]));
        ASSERT_FALSE(text.empty()) << codes[i];
        std::string error;
        ASSERT_TRUE(ParseLangSource(text, &tables[i], &error)) << codes[i] << ": " << error;
        ASSERT_EQ(tables[i].size(), static_cast<std::size_t>(kShippedCount)) << codes[i];
        EXPECT_TRUE(tables[i][0].empty());
        // The uninstall file name and the help address are not translated.
        EXPECT_EQ(tables[i][110], tables[0][110]);
        EXPECT_EQ(tables[i][118], tables[0][118]);
        ASSERT_EQ(table.AddLanguageBytes(WriteLso(tables[i]), codes[i], codes[i], "", i), i);
    }
    EXPECT_EQ(tables[0][110], "uninstall.dat");
    EXPECT_EQ(tables[0][118].rfind("https://", 0), 0u);

    for (int i = 1; i < 3; ++i) {
        std::vector<std::string> problems;
        EXPECT_TRUE(CheckTranslation(tables[0], tables[i], &problems)) << codes[i];
        for (const std::string& problem : problems)
            ADD_FAILURE() << codes[i] << ": " << problem;
        // A translation, not a copy: only names, symbols and addresses may
        // read the same as in English.
        int same = 0;
        for (int id = 1; id < kShippedCount; ++id)
            same +=
                tables[i][static_cast<std::size_t>(id)] == tables[0][static_cast<std::size_t>(id)];
        EXPECT_LT(same, 10) << codes[i];
    }
}

} // namespace
