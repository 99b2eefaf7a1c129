#include "config/LsoFile.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace config;

namespace {

std::string Le(std::uint64_t value, int size) {
    std::string out;
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

std::string Record(const std::string& text) {
    return Le(text.size(), 4) + text;
}

// Leaves a marker in the output so a test sees that a failed read clears it.
std::vector<std::string> Stale() {
    return {"stale"};
}

TEST(LsoFile, RecordsFollowEachOtherInIdOrder) {
    // An empty record is only its length field: the next one starts right after.
    const std::string bytes = Le(4, 8) + Record("") + Record("ab") + Record("") + Record("x\ny");
    std::vector<std::string> strings = Stale();
    ASSERT_EQ(ReadLso(bytes, &strings), kLsoOk);
    EXPECT_EQ(strings, (std::vector<std::string>{"", "ab", "", "x\ny"}));

    // The writer produces exactly that layout.
    EXPECT_EQ(WriteLso(strings), bytes);

    // Bytes after the last record are not part of the table.
    ASSERT_EQ(ReadLso(bytes + "junk", &strings), kLsoOk);
    EXPECT_EQ(strings.size(), 4u);
}

TEST(LsoFile, CountFieldMustBeUsable) {
    std::vector<std::string> strings = Stale();
    EXPECT_EQ(ReadLso("", &strings), kLsoTooShort);
    EXPECT_EQ(ReadLso(Le(1, 7), &strings), kLsoTooShort);
    EXPECT_EQ(ReadLso(Le(0, 8), &strings), kLsoZeroCount);
    EXPECT_EQ(ReadLso(WriteLso({}), &strings), kLsoZeroCount);
    // A count that only fits in 64 bits, even with a valid record after it.
    EXPECT_EQ(ReadLso(Le((1ull << 32) | 1, 8) + Record("a"), &strings), kLsoCountTooLarge);
    EXPECT_EQ(ReadLso(Le(1ull << 63, 8) + Record("a"), &strings), kLsoCountTooLarge);
    EXPECT_TRUE(strings.empty());
}

TEST(LsoFile, TruncatedOrOverclaimingDataIsRejected) {
    std::vector<std::string> strings = Stale();
    // One record short.
    EXPECT_EQ(ReadLso(Le(2, 8) + Record("a"), &strings), kLsoTruncated);
    // The length field itself is cut.
    EXPECT_EQ(ReadLso(Le(1, 8) + Le(1, 3), &strings), kLsoTruncated);
    // The text is one byte shorter than its length.
    EXPECT_EQ(ReadLso(Le(1, 8) + Le(3, 4) + "ab", &strings), kLsoTruncated);
    // Hostile sizes: the largest count and length the format allows, backed
    // by a few bytes. Under AddressSanitizer a gigabyte reservation would show.
    EXPECT_EQ(ReadLso(Le(0xFFFFFFFFu, 8) + Record("a"), &strings), kLsoTruncated);
    EXPECT_EQ(ReadLso(Le(1, 8) + Le(0xFFFFFFFFu, 4) + "abc", &strings), kLsoTruncated);
    EXPECT_TRUE(strings.empty());
    EXPECT_STRNE(LsoResultText(kLsoTruncated), LsoResultText(kLsoZeroCount));
}

} // namespace
