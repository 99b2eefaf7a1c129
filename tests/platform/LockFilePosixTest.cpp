#include "platform/posix/LockFile.h"

#include "platform/Error.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using plat::posix::LockFile;

TEST(LockFileTest, ASecondHolderWaitsUntilTheFirstLetsGo) {
    testsupport::TempDir dir;
    const std::string path = dir.NarrowPath() + "store.lock";
    std::atomic<bool> secondHeld{false};
    std::thread second;
    {
        LockFile first(path);
        ASSERT_TRUE(first.Held());
        second = std::thread([&] {
            LockFile lock(path);
            secondHeld = lock.Held();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        // Still waiting: the first lock lives.
        EXPECT_FALSE(secondHeld.load());
    }
    second.join();
    EXPECT_TRUE(secondHeld.load());
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
}

TEST(LockFileTest, ALinkInPlaceOfTheLockFileIsNotFollowed) {
    testsupport::TempDir dir;
    const std::string target = dir.NarrowPath() + "elsewhere";
    const std::string path = dir.NarrowPath() + "store.lock";
    std::filesystem::create_symlink(target, path);
    plat::SetLastError(0);
    LockFile lock(path);
    EXPECT_FALSE(lock.Held());
    EXPECT_NE(plat::GetLastError(), 0u);
    // Nothing was created through the link.
    EXPECT_FALSE(std::filesystem::exists(target));
}

} // namespace
