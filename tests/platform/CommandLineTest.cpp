#include "platform/CommandLine.h"
#include "platform/Unicode.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::wstring>;
using plat::JoinArguments;
using plat::QuoteArgument;
using plat::SplitArguments;

TEST(SplitArgumentsTest, BlanksSeparateAndQuotesGroup) {
    EXPECT_EQ(SplitArguments(L"  a\tb   c  "), (Args{L"a", L"b", L"c"}));
    EXPECT_EQ(SplitArguments(L"\"a b\" c\"d e\"f"), (Args{L"a b", L"cd ef"}));
    EXPECT_EQ(SplitArguments(L"\"\" a \"\""), (Args{L"", L"a", L""}));
    EXPECT_EQ(SplitArguments(L"\"open to the end "), (Args{L"open to the end "}));
    EXPECT_EQ(SplitArguments(L"a\nb"), (Args{L"a\nb"}));
    EXPECT_TRUE(SplitArguments(L"").empty());
    EXPECT_TRUE(SplitArguments(L" \t ").empty());
}

TEST(SplitArgumentsTest, BackslashesCountOnlyBeforeQuotes) {
    EXPECT_EQ(SplitArguments(L"a\\\\\\b d\"e f\"g h"), (Args{L"a\\\\\\b", L"de fg", L"h"}));
    EXPECT_EQ(SplitArguments(L"a\\\\\\\"b c d"), (Args{L"a\\\"b", L"c", L"d"}));
    EXPECT_EQ(SplitArguments(L"a\\\\\\\\\"b c\" d e"), (Args{L"a\\\\b c", L"d", L"e"}));
    EXPECT_EQ(SplitArguments(L"C:\\dir\\ \"x\\\\\""), (Args{L"C:\\dir\\", L"x\\"}));
    EXPECT_EQ(SplitArguments(L"\\\"q\\\""), (Args{L"\"q\""}));
}

TEST(SplitArgumentsTest, DoubledQuoteInsideQuotesIsALiteralQuoteThatCloses) {
    EXPECT_EQ(SplitArguments(L"\"a\"\"b\""), (Args{L"a\"b"}));
    EXPECT_EQ(SplitArguments(L"\"a\"\"b c\""), (Args{L"a\"b", L"c"}));
    EXPECT_EQ(SplitArguments(L"a\"b\"\" c d"), (Args{L"ab\"", L"c", L"d"}));
    EXPECT_EQ(SplitArguments(L"\"\"\"\""), (Args{L"\""}));
    EXPECT_EQ(SplitArguments(L"\"\"\"a b\"\"\""), (Args{L"\"a", L"b\""}));
}

TEST(QuoteArgumentTest, PlainArgumentsStayUnquoted) {
    for (const wchar_t* plain : {L"/fast", L"C:\\dir\\file.exe", L"trailing\\", L"-x=1"})
        EXPECT_EQ(QuoteArgument(plain), plain);
    EXPECT_EQ(QuoteArgument(L""), L"\"\"");
}

TEST(QuoteArgumentTest, JoinedArgumentsSplitBackUnchanged) {
    Args tricky = {L"",
                   L"a b",
                   L"tab\there",
                   L"end\\",
                   L"end with blank\\",
                   L"\\\\",
                   L"say \"hi\"",
                   L"\\\"",
                   L"\"",
                   L"\"\"",
                   L" ",
                   L"line\nend",
                   L"C:\\Program Files\\Game\\",
                   L"\x00e9t\x00e9 \x4e2d"};
    EXPECT_EQ(SplitArguments(JoinArguments(tricky)), tricky);
    for (const std::wstring& argument : tricky)
        EXPECT_EQ(SplitArguments(JoinArguments({argument, argument})), (Args{argument, argument}))
            << plat::WideToUtf8(argument);
}

// Every text of up to five characters over the characters the splitting rules
// single out, between neighbours that would absorb a misplaced quote.
TEST(QuoteArgumentTest, EveryShortTextOfTrickyCharactersRoundTrips) {
    const std::wstring alphabet = L"a \t\\\"";
    std::vector<std::wstring> texts = {L""};
    for (std::size_t begin = 0, length = 0; length < 5; ++length) {
        std::size_t end = texts.size();
        for (std::size_t i = begin; i < end; ++i)
            for (wchar_t c : alphabet)
                texts.push_back(texts[i] + c);
        begin = end;
    }
    int failures = 0;
    for (const std::wstring& text : texts) {
        Args args = {L"x\\", text, L""};
        if (SplitArguments(JoinArguments(args)) != args && ++failures <= 5)
            ADD_FAILURE() << "no round trip for [" << plat::WideToUtf8(text) << "]";
    }
    EXPECT_EQ(failures, 0);
}

TEST(SplitProgramTokenTest, QuotedTokenEndsAtItsClosingQuote) {
    std::wstring program, rest;
    plat::SplitProgramToken(L"  \"/opt/my game/Launcher.exe\" /fast  x", &program, &rest);
    EXPECT_EQ(program, L"/opt/my game/Launcher.exe");
    EXPECT_EQ(rest, L"/fast  x");

    plat::SplitProgramToken(L"\"/a b\"", &program, &rest);
    EXPECT_EQ(program, L"/a b");
    EXPECT_EQ(rest, L"");

    plat::SplitProgramToken(L"\"/never closed /x", &program, &rest);
    EXPECT_EQ(program, L"/never closed /x");
    EXPECT_EQ(rest, L"");
}

TEST(SplitProgramTokenTest, UnquotedTokenIsTheLongestExistingFile) {
    testsupport::TempDir dir;
    testsupport::WriteTestFile(dir.File(L"my game/Launcher.exe"), "x");
    testsupport::WriteTestFile(dir.File(L"my"), "x");
    std::wstring program, rest;

    plat::SplitProgramToken(dir.File(L"my game/Launcher.exe") + L" /fast \"a b\"", &program, &rest);
    EXPECT_EQ(program, dir.File(L"my game/Launcher.exe"));
    EXPECT_EQ(rest, L"/fast \"a b\"");

    plat::SplitProgramToken(dir.File(L"my game/Launcher.exe"), &program, &rest);
    EXPECT_EQ(program, dir.File(L"my game/Launcher.exe"));
    EXPECT_EQ(rest, L"");

    plat::SplitProgramToken(dir.File(L"my") + L"\tgame/missing.exe /x", &program, &rest);
    EXPECT_EQ(program, dir.File(L"my"));
    EXPECT_EQ(rest, L"game/missing.exe /x");

    // Nothing exists: the first word, whatever follows.
    plat::SplitProgramToken(L"/nowhere/my game/Launcher.exe /fast", &program, &rest);
    EXPECT_EQ(program, L"/nowhere/my");
    EXPECT_EQ(rest, L"game/Launcher.exe /fast");
}

TEST(BuildCommandLineTest, ProgramAndTailComeBackUnchanged) {
    for (const wchar_t* tail : {L"", L"/fast", L" leading blank", L"\"quoted tail\" \\\"x\\\""}) {
        std::wstring program, rest;
        plat::SplitProgramToken(plat::BuildCommandLine(L"/opt/my game/Launcher.exe", tail),
                                &program, &rest);
        EXPECT_EQ(program, L"/opt/my game/Launcher.exe");
        EXPECT_EQ(rest, tail);
    }
}

} // namespace
