#include "base/Buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace {

TEST(BufferTest, AppendsAndGrowsKeepingEveryByte) {
    CBuffer buffer;
    EXPECT_TRUE(buffer.Empty());
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        std::string piece = std::to_string(i) + ",";
        buffer.Append(piece);
        expected += piece;
    }
    EXPECT_EQ(buffer.View(), expected);
    EXPECT_GE(buffer.Capacity(), buffer.Size());
}

TEST(BufferTest, ResizeClearsBytesThatComeBackAfterShrinking) {
    CBuffer buffer(std::string_view("abcdefgh"));
    buffer.Resize(2);
    buffer.Resize(6);
    EXPECT_EQ(buffer.View(), std::string_view("ab\0\0\0\0", 6));
    buffer.Resize(3000);
    for (std::size_t i = 2; i < buffer.Size(); ++i)
        ASSERT_EQ(buffer.Data()[i], 0) << i;
}

TEST(BufferTest, ResizeForWriteKeepsWhatIsThereAndGivesWritableRoom) {
    CBuffer buffer(std::string_view("head"));
    buffer.Reserve(1 << 20);
    const std::uint8_t* reserved = buffer.Data();
    buffer.ResizeForWrite(4 + 6);
    EXPECT_EQ(buffer.Data(), reserved); // within the reservation nothing moves
    std::memcpy(buffer.Data() + 4, "-tail-", 6);
    EXPECT_EQ(buffer.View(), "head-tail-");
    buffer.ResizeForWrite(4);
    EXPECT_EQ(buffer.View(), "head");
}

TEST(BufferTest, ReserveKeepsTheContent) {
    CBuffer buffer(std::string_view("keep me"));
    buffer.Reserve(64 << 20);
    EXPECT_GE(buffer.Capacity(), std::size_t{64} << 20);
    EXPECT_EQ(buffer.View(), "keep me");
    buffer.Reserve(1); // never shrinks
    EXPECT_GE(buffer.Capacity(), std::size_t{64} << 20);
}

TEST(BufferTest, CopiesAreIndependentAndMovesEmptyTheSource) {
    CBuffer original(std::string_view("payload"));
    CBuffer copy(original);
    copy.Append("!");
    EXPECT_EQ(original.View(), "payload");
    EXPECT_EQ(copy.View(), "payload!");

    CBuffer assigned(std::string_view("something longer than the source"));
    assigned = original;
    EXPECT_EQ(assigned.View(), "payload");
    const CBuffer& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.View(), "payload");

    CBuffer moved(std::move(copy));
    EXPECT_EQ(moved.View(), "payload!");
    EXPECT_TRUE(copy.Empty()); // NOLINT(bugprone-use-after-move): moved-from is empty
    copy.Append("reusable");
    EXPECT_EQ(copy.View(), "reusable");

    assigned = std::move(moved);
    EXPECT_EQ(assigned.View(), "payload!");
    EXPECT_TRUE(moved.Empty()); // NOLINT(bugprone-use-after-move)
}

TEST(BufferTest, ConsumeDropsTheFront) {
    CBuffer buffer(std::string_view("0123456789"));
    buffer.Consume(3);
    EXPECT_EQ(buffer.View(), "3456789");
    buffer.Consume(100);
    EXPECT_TRUE(buffer.Empty());
    buffer.Append("x");
    EXPECT_EQ(buffer.View(), "x");
    buffer.Clear();
    EXPECT_EQ(buffer.Size(), 0u);
}

} // namespace
