#include "config/SimpleMemReadStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using config::CSimpleMemReadStream;

const std::string kBytes = "0123456789";

TEST(SimpleMemReadStreamTest, SeekOriginsAndLimits) {
    CSimpleMemReadStream stream(kBytes.data(), kBytes.size());
    EXPECT_TRUE(stream.Seek(3, ISimpleReadStream::kSeekFromStart));
    EXPECT_EQ(stream.Tell(), 3);
    EXPECT_TRUE(stream.Seek(-4, ISimpleReadStream::kSeekFromEnd));
    EXPECT_EQ(stream.Tell(), 6);
    // Any origin other than "end" and "start" counts from the current position.
    EXPECT_TRUE(stream.Seek(2, ISimpleReadStream::kSeekFromCurrent));
    EXPECT_TRUE(stream.Seek(-5, 7));
    EXPECT_EQ(stream.Tell(), 3);

    // The end is a valid position; before the start or past the end is
    // refused and the position stays.
    EXPECT_TRUE(stream.Seek(0, ISimpleReadStream::kSeekFromEnd));
    EXPECT_FALSE(stream.Seek(1, ISimpleReadStream::kSeekFromCurrent));
    EXPECT_FALSE(stream.Seek(-11, ISimpleReadStream::kSeekFromEnd));
    EXPECT_FALSE(stream.Seek(-1, ISimpleReadStream::kSeekFromStart));
    EXPECT_FALSE(stream.Seek(INT64_MAX, ISimpleReadStream::kSeekFromEnd));
    EXPECT_FALSE(stream.Seek(INT64_MIN, ISimpleReadStream::kSeekFromCurrent));
    EXPECT_EQ(stream.Tell(), 10);
}

TEST(SimpleMemReadStreamTest, ReadZeroFillsCopiesAndAdvances) {
    CSimpleMemReadStream stream(kBytes.data(), kBytes.size());
    std::string buffer(4, 'x');
    ASSERT_TRUE(stream.Read(buffer.data(), 4));
    EXPECT_EQ(buffer, "0123");

    // Across the end: what is left, then zeros.
    ASSERT_TRUE(stream.Seek(8, ISimpleReadStream::kSeekFromStart));
    std::string tail(5, 'x');
    ASSERT_TRUE(stream.Read(tail.data(), 5));
    EXPECT_EQ(tail, std::string("89\0\0\0", 5));
    EXPECT_EQ(stream.Tell(), 10);
    EXPECT_FALSE(stream.Read(tail.data(), 1));

    // A null buffer or a length that is not positive reads nothing.
    ASSERT_TRUE(stream.Seek(0, ISimpleReadStream::kSeekFromStart));
    EXPECT_FALSE(stream.Read(nullptr, 2));
    EXPECT_FALSE(stream.Read(buffer.data(), 0));
    EXPECT_FALSE(stream.Read(buffer.data(), -1));
    EXPECT_EQ(buffer, "0123");
    EXPECT_EQ(stream.Tell(), 0);
}

TEST(SimpleMemReadStreamTest, KeepsItsOwnCopyUntilClosed) {
    std::string source = kBytes;
    CSimpleMemReadStream stream(source.data(), source.size());
    source.assign(source.size(), '#');
    std::string buffer(10, '\0');
    ASSERT_TRUE(stream.Read(buffer.data(), 10));
    EXPECT_EQ(buffer, kBytes);

    stream.Close();
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_FALSE(stream.Seek(1, ISimpleReadStream::kSeekFromStart));
    EXPECT_FALSE(stream.Read(buffer.data(), 1));
}

} // namespace
