#include "net/PicoHttpParser.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using NetEx::CPicoHttpParser;

int Parse(CPicoHttpParser& parser, const std::string& head) {
    return parser.Parse(head.data(), head.size());
}

TEST(PicoHttpParserTest, ResponseHeadWithHeadersAndContinuation) {
    const std::string head = "HTTP/1.1 206 Partial Content\r\n"
                             "content-length: 42\r\n"
                             "X-Long: first\r\n"
                             "\tsecond  \r\n"
                             "Server:nginx\n"
                             "\r\n";
    CPicoHttpParser parser;
    ASSERT_EQ(Parse(parser, head), CPicoHttpParser::kComplete);
    EXPECT_EQ(parser.MinorVersion(), 1);
    EXPECT_EQ(parser.Status(), 206);
    EXPECT_EQ(parser.Reason(), "Partial Content");
    ASSERT_EQ(parser.HeaderCount(), 4u);
    EXPECT_EQ(parser.HeaderAt(1).Name(), "X-Long");
    EXPECT_EQ(parser.HeaderAt(2).name, nullptr);
    EXPECT_EQ(parser.HeaderAt(2).Value(), "second");
    EXPECT_EQ(parser.HeaderAt(3).Value(), "nginx");
    ASSERT_TRUE(parser.ContentLength().has_value());
    EXPECT_EQ(*parser.ContentLength(), "42");
}

TEST(PicoHttpParserTest, ContentLengthLookupNeedsTheWholeName) {
    CPicoHttpParser parser;
    ASSERT_EQ(Parse(parser, "HTTP/1.0 200 OK\r\nContent: 5\r\n\r\n"), 0);
    EXPECT_FALSE(parser.ContentLength().has_value());
}

TEST(PicoHttpParserTest, TruncatedHeadsAreIncomplete) {
    const std::string head = "HTTP/1.1 200 OK\r\nA: b\r\n\r\n";
    CPicoHttpParser parser;
    for (std::size_t cut = 0; cut < head.size(); ++cut)
        EXPECT_EQ(parser.Parse(head.data(), cut), CPicoHttpParser::kIncomplete) << cut;
}

TEST(PicoHttpParserTest, MalformedHeads) {
    const char* cases[] = {
        "HTTP/2.0 200 OK\r\n\r\n",  // not HTTP/1.x
        "HTTP/1.1 20 OK\r\n\r\n",   // two-digit status
        "HTTP/1.1 2000 OK\r\n\r\n", // four digits
        "HTTP/1.1 200 OK\r\nBad Name: x\r\n\r\n",
        "HTTP/1.1 200 OK\r\n: empty\r\n\r\n",
        "HTTP/1.1 200 OK\rX\r\n\r\n", // CR without LF
    };
    CPicoHttpParser parser;
    for (const char* head : cases)
        EXPECT_EQ(Parse(parser, head), CPicoHttpParser::kMalformed) << head;
}

TEST(PicoHttpParserTest, HeaderTableLimitAndReset) {
    std::string head = "HTTP/1.1 200 OK\r\n";
    for (std::size_t i = 0; i < CPicoHttpParser::kMaxHeaders; ++i)
        head.append(1, 'H').append(std::to_string(i)).append(": v\r\n");
    CPicoHttpParser parser;
    ASSERT_EQ(Parse(parser, head + "\r\n"), 0);
    EXPECT_EQ(parser.HeaderCount(), CPicoHttpParser::kMaxHeaders);
    EXPECT_EQ(Parse(parser, head + "One: more\r\n\r\n"), CPicoHttpParser::kMalformed);
    // A new parse starts from an empty table.
    ASSERT_EQ(Parse(parser, "HTTP/1.1 404 Not Found\r\n\r\n"), 0);
    EXPECT_EQ(parser.HeaderCount(), 0u);
    EXPECT_EQ(parser.Status(), 404);
}

} // namespace
