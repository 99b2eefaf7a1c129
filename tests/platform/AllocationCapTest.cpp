// The allocation cap of a thread: what it refuses, that it is the thread's
// own, that caps nest, and that it ends with its scope.

#include "platform/AllocationCap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <thread>

namespace {

// Called through volatile pointers so the compiler cannot fold the calls.
void* (*volatile gMalloc)(std::size_t) = std::malloc;
void* (*volatile gCalloc)(std::size_t, std::size_t) = std::calloc;
void* (*volatile gRealloc)(void*, std::size_t) = std::realloc;

constexpr std::size_t kMiB = 1 << 20;

TEST(AllocationCap, RefusesLargerRequestsOfItsOwnThreadUntilItEnds) {
    if (!plat::CAllocationCap::Enforced())
        GTEST_SKIP() << "the cap is not enforced in this build (a sanitizer's or the system's "
                        "allocator)";
    {
        plat::CAllocationCap cap(kMiB);
        EXPECT_EQ(gMalloc(kMiB + 1), nullptr);
        EXPECT_EQ(gCalloc(2, kMiB), nullptr);
        EXPECT_EQ(gCalloc(SIZE_MAX / 2, 4), nullptr); // the product overflows
        void* block = gMalloc(kMiB);
        ASSERT_NE(block, nullptr);
        static_cast<char*>(block)[kMiB - 1] = 'x';
        // A refused growth leaves the block as it was.
        EXPECT_EQ(gRealloc(block, 2 * kMiB), nullptr);
        EXPECT_EQ(static_cast<char*>(block)[kMiB - 1], 'x');
        std::free(block);

        void* elsewhere = nullptr;
        std::thread other([&] { elsewhere = gMalloc(4 * kMiB); });
        other.join();
        EXPECT_NE(elsewhere, nullptr) << "another thread is not capped";
        std::free(elsewhere);

        {
            plat::CAllocationCap inner(4096);
            EXPECT_EQ(gMalloc(8192), nullptr);
        }
        void* again = gMalloc(8192);
        EXPECT_NE(again, nullptr) << "the outer cap holds again";
        std::free(again);
    }
    void* after = gMalloc(4 * kMiB);
    EXPECT_NE(after, nullptr);
    std::free(after);
}

} // namespace
