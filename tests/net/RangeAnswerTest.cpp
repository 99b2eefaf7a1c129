// What an answer to a byte-range request may be taken as.

#include "net/RangeAnswer.h"

#include <gtest/gtest.h>

namespace {

using NetEx::ContentRange;
using NetEx::JudgeRangeAnswer;
using NetEx::ParseContentRange;
using NetEx::RangeAsked;
using NetEx::RangeVerdict;

TEST(RangeAnswerTest, ContentRangeHeaders) {
    ContentRange range;
    ASSERT_TRUE(ParseContentRange("bytes 100-199/1000", &range));
    EXPECT_EQ(range.first, 100u);
    EXPECT_EQ(range.last, 199u);
    EXPECT_TRUE(range.totalKnown);
    EXPECT_EQ(range.total, 1000u);
    ASSERT_TRUE(ParseContentRange("  Bytes 0-0/*  ", &range));
    EXPECT_FALSE(range.totalKnown);
    ASSERT_TRUE(ParseContentRange("bytes 4294967296-8589934591/8589934592", &range));
    EXPECT_EQ(range.last, 8589934591u);

    const char* refused[] = {
        "",
        "bytes",
        "bytes 100-199",                  // no total
        "bytes 200-100/1000",             // backwards
        "bytes 100-1000/1000",            // past the total
        "bytes */1000",                   // an unsatisfied range
        "items 0-9/10",                   // another unit
        "bytes=0-9/10",                   // a request's form
        "bytes -1-9/10",                  // a sign
        "bytes 0-9/10 extra",             // trailing text
        "bytes 0-18446744073709551616/*", // past 64 bits
        "bytes 0-9/1x",
    };
    for (const char* text : refused)
        EXPECT_FALSE(ParseContentRange(text, &range)) << text;
}

TEST(RangeAnswerTest, PartialContentMustStartAtTheOffsetAndStayInTheFile) {
    const RangeAsked fromMiddle{400, 600};
    auto answer = JudgeRangeAnswer(206, "bytes 400-999/1000", fromMiddle, 1000);
    EXPECT_EQ(answer.verdict, RangeVerdict::Accept);
    EXPECT_EQ(answer.start, 400u);
    EXPECT_EQ(answer.limit, 600u);
    // A shorter piece from the right offset is fine: the rest is asked for
    // again.
    answer = JudgeRangeAnswer(206, "bytes 400-499/1000", fromMiddle, 1000);
    EXPECT_EQ(answer.verdict, RangeVerdict::Accept);
    EXPECT_EQ(answer.limit, 100u);
    // An unknown total is taken, as long as the range stays inside the file.
    EXPECT_EQ(JudgeRangeAnswer(206, "bytes 400-999/*", fromMiddle, 1000).verdict,
              RangeVerdict::Accept);

    const char* wrong[] = {
        "bytes 0-999/1000",    // another offset
        "bytes 401-999/1000",  // another offset
        "bytes 400-1000/1001", // past the file, and another file's total
        "bytes 400-999/2000",  // another file
        "bytes 400-1099/*",    // past the file
        "",                    // no range at all
    };
    for (const char* text : wrong)
        EXPECT_EQ(JudgeRangeAnswer(206, text, fromMiddle, 1000).verdict, RangeVerdict::Unexpected)
            << text;
    // Longer than asked.
    EXPECT_EQ(JudgeRangeAnswer(206, "bytes 400-999/1000", RangeAsked{400, 100}, 1000).verdict,
              RangeVerdict::Unexpected);
    // Without a known file size only the offset and the asked length bound it.
    answer = JudgeRangeAnswer(206, "bytes 400-999/5000", RangeAsked{400, 0}, 0);
    EXPECT_EQ(answer.verdict, RangeVerdict::Accept);
    EXPECT_EQ(answer.limit, 600u);
}

TEST(RangeAnswerTest, WholeFileAnswers) {
    // From byte 0 a 200 is the asked bytes.
    auto answer = JudgeRangeAnswer(200, "", RangeAsked{0, 1000}, 1000);
    EXPECT_EQ(answer.verdict, RangeVerdict::Accept);
    EXPECT_EQ(answer.start, 0u);
    EXPECT_EQ(answer.limit, 1000u);
    // Further on it means the server cannot resume: the file starts again.
    answer = JudgeRangeAnswer(200, "bytes 400-999/1000", RangeAsked{400, 600}, 1000);
    EXPECT_EQ(answer.verdict, RangeVerdict::Restart);
    EXPECT_EQ(answer.start, 0u);
    EXPECT_EQ(answer.limit, 1000u);
    // Other successes are no answer to a range.
    for (std::uint32_t status : {201u, 202u, 203u, 204u, 205u, 207u, 299u})
        EXPECT_EQ(JudgeRangeAnswer(status, "bytes 0-999/1000", RangeAsked{0, 0}, 1000).verdict,
                  RangeVerdict::Unexpected)
            << status;
}

} // namespace
