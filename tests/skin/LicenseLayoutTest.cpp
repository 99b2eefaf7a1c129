// The licence renderer's line layout against hand-made documents: word
// wrapping, line breaks, headings, lists, entities, comments, unknown tags,
// and the bounds a hostile document meets.

#include "SkinTestSupport.h"
#include "skin/LicenseRenderer.h"
#include "skin/SkinListBox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace skintest {
namespace {

using Lines = std::vector<std::wstring>;
const std::wstring kBullet = L"\u2022 ";

Lines Layout(const std::string& text, int width = 57) {
    return skin::LayoutTextLines(text, width);
}

TEST(LicenseLayoutTest, WordsWrapBeforeTheWidth) {
    // The space that would start the second line is dropped.
    EXPECT_EQ(Layout("aaaa bbbb cccc", 10), (Lines{L"aaaa bbbb", L"cccc"}));
    // Every line stays strictly shorter than the width; a trailing blank may
    // stay on a line.
    EXPECT_EQ(Layout("aaaaaaaa bb", 10), (Lines{L"aaaaaaaa ", L"bb"}));
    EXPECT_EQ(Layout("The quick brown fox jumps over the lazy dog", 16),
              (Lines{L"The quick brown", L"fox jumps over ", L"the lazy dog"}));
    // Leading blanks of a line go.
    EXPECT_EQ(Layout("   word", 10), (Lines{L"word"}));
    // Text in another script counts characters, not bytes.
    EXPECT_EQ(
        Layout("\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 \xd0\xbc\xd0\xb8\xd1\x80", 11),
        (Lines{L"\u041f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440"}));
}

TEST(LicenseLayoutTest, ALongWordStandsAlone) {
    const std::string word(30, 'x');
    EXPECT_EQ(Layout("ab " + word + " cd", 10), (Lines{L"ab ", std::wstring(30, L'x'), L"cd"}));
    // At the start of the text there is no empty line before it.
    EXPECT_EQ(Layout(word, 10), (Lines{std::wstring(30, L'x')}));
}

TEST(LicenseLayoutTest, LineBreaksAndLineFeeds) {
    // Two breaks leave an empty line; two line feeds do not.
    EXPECT_EQ(Layout("one<br><br>two"), (Lines{L"one", L"", L"two"}));
    EXPECT_EQ(Layout("one<br/><BR>two"), (Lines{L"one", L"", L"two"}));
    EXPECT_EQ(Layout("one\n\ntwo"), (Lines{L"one", L"two"}));
    // A paragraph starts a line even when the one before is empty.
    EXPECT_EQ(Layout("<p class=\"x\">first</p><p>second</p>"),
              (Lines{L"", L"first", L"", L"second"}));
}

TEST(LicenseLayoutTest, HeadingsAreFollowedByAnEmptyLine) {
    EXPECT_EQ(Layout("<h2>Terms</h2>Text follows"), (Lines{L"Terms", L"", L"Text follows"}));
    EXPECT_EQ(Layout("before<h1>Title</h1>"), (Lines{L"before", L"Title", L""}));
    // A heading without text adds nothing.
    EXPECT_EQ(Layout("<h3></h3>x"), (Lines{L"x"}));
}

TEST(LicenseLayoutTest, OrderedListsCountFromTheirStart) {
    EXPECT_EQ(Layout("<ol start=3><li>first</li><li>second</li></ol>"),
              (Lines{L"  3. first", L"", L"  4. second", L""}));
    EXPECT_EQ(Layout("<ol start=\"7\"><li value=\"-2\">a</li><li>b</li></ol>"),
              (Lines{L"  -2. a", L"", L"  -1. b", L""}));
    // A start that is no number counts from 0.
    EXPECT_EQ(Layout("<ol start=x3><li>a</li></ol>"), (Lines{L"  0. a", L""}));
}

TEST(LicenseLayoutTest, UnorderedListsAndTheirBullets) {
    const Lines plain = Layout("<ul><li>one</li><li>two</li></ul>");
    EXPECT_EQ(plain, (Lines{L"  " + kBullet + L"one", L"", L"  " + kBullet + L"two", L""}));
    // Square and circle bullets look like the default one.
    EXPECT_EQ(Layout("<ul type=square><li>one</li><li>two</li></ul>"), plain);
    EXPECT_EQ(Layout("<ul type=\"circle\"><li>one</li><li>two</li></ul>"), plain);
    // No bullet at all.
    EXPECT_EQ(Layout("<ul style=\"list-style: none;\"><li>one</li></ul>"), (Lines{L"  one", L""}));
}

TEST(LicenseLayoutTest, NestedListsIndentAndContinueUnderTheIndent) {
    const Lines lines =
        Layout("<ul><li>outer item<ul><li>inner item text that wraps</li></ul></li></ul>", 20);
    EXPECT_EQ(lines, (Lines{L"  " + kBullet + L"outer item", L"    " + kBullet + L"inner item ",
                            L"    text that wraps", L""}));
    // A bare bullet does not end at a line feed.
    EXPECT_EQ(Layout("<ul><li>\nx</li></ul>"), (Lines{L"  " + kBullet + L"x", L""}));
    // An item outside a list is no item, and its tag leaves nothing behind.
    EXPECT_EQ(Layout("<li>loose"), (Lines{L"loose"}));
}

TEST(LicenseLayoutTest, EntitiesTagsAndComments) {
    EXPECT_EQ(Layout("&lt;b&gt;"), (Lines{L"<b>"}));
    EXPECT_EQ(Layout("&quot;q&quot;"), (Lines{L"\"q\""}));
    // An unregistered tag goes, its text stays.
    EXPECT_EQ(Layout("a <b>bold</b> word"), (Lines{L"a bold word"}));
    // Other entities stay as written.
    EXPECT_EQ(Layout("fish &amp; chips"), (Lines{L"fish &amp; chips"}));
    EXPECT_EQ(Layout("x<!-- hidden <b> text -->y"), (Lines{L"xy"}));
    // Quoted text keeps its quotation marks.
    EXPECT_EQ(Layout("say \"hello world\" now"), (Lines{L"say \"hello world\" now"}));
    // Unterminated tags, quotes and comments run to the end.
    EXPECT_EQ(Layout("a<b c d"), (Lines{L"a"}));
    EXPECT_EQ(Layout("a <!-- b"), (Lines{L"a "}));
    EXPECT_EQ(Layout("a \"b c"), (Lines{L"a \"b c\""}));
    // Centring indents by three blanks.
    EXPECT_EQ(Layout("<center>x"), (Lines{L"   x"}));
}

TEST(LicenseLayoutTest, HostileDocumentsStayBounded) {
    // Nesting far beyond the bound keeps the indent at the deepest level.
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<ul><li>x";
    const Lines deepLines = Layout(deep);
    ASSERT_FALSE(deepLines.empty());
    for (const std::wstring& line : deepLines) {
        if (!line.empty()) {
            EXPECT_LE(line.find_first_not_of(L' '), 16u) << "indent beyond eight levels";
        }
    }

    // Huge list numbers saturate instead of overflowing.
    EXPECT_EQ(Layout("<ol start=99999999999999999999999><li>a</li><li>b</li></ol>"),
              (Lines{L"  999999. a", L"", L"  999999. b", L""}));

    // A flood of breaks stops at the line bound.
    std::string breaks;
    for (int i = 0; i < 50000; ++i)
        breaks += "<br>";
    skin::TextLayoutLimits limits;
    EXPECT_EQ(skin::LayoutTextLines(breaks, 57).size(), limits.maxLines);

    // A word of a megabyte is cut.
    const Lines wide = Layout(std::string(1 << 20, 'w'));
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0].size(), limits.maxWordChars);

    // Centring without text never grows a line past the width.
    std::string centres;
    for (int i = 0; i < 100000; ++i)
        centres += "<center>\n";
    EXPECT_TRUE(Layout(centres + "end", 57).size() == 1u);
}

class LicenseListTest : public DialogTest {};

TEST_F(LicenseListTest, RenderingAppendsToTheList) {
    ASSERT_TRUE(LoadStep("<listbox func='terms' pt='20,20' size='200,72' fontName='Arial' "
                         "fontSize='-13' fontColor='255,255,255'/>"));
    auto* list = StepControl<skin::CSkinListBox>(0);
    ASSERT_NE(list, nullptr);
    list->AddItem(L"kept");
    skin::RenderTextToList(list, "aaaa bbbb cccc", 10, nullptr);
    ASSERT_EQ(list->GetItemCount(), 3);
    EXPECT_EQ(list->GetItem(0), L"kept");
    EXPECT_EQ(list->GetItem(1), L"aaaa bbbb");
    EXPECT_EQ(list->GetItem(2), L"cccc");
}

} // namespace
} // namespace skintest
