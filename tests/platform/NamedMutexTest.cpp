#include "platform/NamedMutex.h"

#include "ChildProgram.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

using platformtest::ChildStart;
using platformtest::kWatchdogMs;
using platformtest::WaitForFile;
namespace fs = std::filesystem;

// Each test gets its own runtime folder; children inherit it through the
// environment.
class NamedMutexTest : public ::testing::Test {
protected:
    std::string UniqueName() {
        static int counter = 0;
        return "Global\\{launcher-test-" + std::to_string(plat::GetCurrentProcessId()) + "-" +
               std::to_string(++counter) + "}";
    }
    static bool OpenSucceeds(const std::string& name) {
        plat::NamedMutex probe;
        return probe.Open(name);
    }

    testsupport::TempDir runtime_;
    testsupport::ScopedEnv xdg_{"XDG_RUNTIME_DIR", runtime_.NarrowPath()};
    testsupport::TempDir files_;
};

TEST_F(NamedMutexTest, OpenFailsWhileNobodyHoldsIt) {
    std::string name = UniqueName();
    plat::NamedMutex mutex;
    EXPECT_FALSE(mutex.Open(name));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    EXPECT_FALSE(mutex.IsOpen());

    plat::NamedMutex holder;
    ASSERT_TRUE(holder.Create(name, false));
    EXPECT_TRUE(OpenSucceeds(name));
    holder.Close();
    EXPECT_FALSE(mutex.Open(name));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
}

TEST_F(NamedMutexTest, CreateReportsAnExistingMutexAndOwnership) {
    std::string name = UniqueName();
    plat::NamedMutex first, second;
    ASSERT_TRUE(first.Create(name, true));
    EXPECT_EQ(plat::GetLastError(), plat::kErrSuccess);
    EXPECT_TRUE(first.IsOwned());

    ASSERT_TRUE(second.Create(name, true));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAlreadyExists);
    EXPECT_FALSE(second.IsOwned());
    EXPECT_FALSE(second.Release());
    EXPECT_EQ(plat::GetLastError(), 288u);

    EXPECT_TRUE(first.Release());
    EXPECT_FALSE(first.IsOwned());
    EXPECT_TRUE(first.IsOpen());

    // The last holder gone, the name is free again.
    first.Close();
    second.Close();
    plat::NamedMutex third;
    ASSERT_TRUE(third.Create(name, true));
    EXPECT_EQ(plat::GetLastError(), plat::kErrSuccess);
}

TEST_F(NamedMutexTest, DifferentNamesAreDifferentMutexes) {
    const std::string guid = "Global\\{420B48D2-AC21-4ec6-8295-BB0C8D8BD72C}";
    const std::string longName(400, '\\');
    plat::NamedMutex a, b;
    ASSERT_TRUE(a.Create(guid, false));
    ASSERT_TRUE(b.Create(longName + "1", false));
    for (const std::string& other : {std::string("Local\\{420B48D2-AC21-4ec6-8295-BB0C8D8BD72C}"),
                                     std::string("Global/{420B48D2-AC21-4ec6-8295-BB0C8D8BD72C}"),
                                     std::string("../Global"), longName + "2"})
        EXPECT_FALSE(OpenSucceeds(other)) << other;

#ifndef _WIN32
    // Names become plain file names inside the mutex folder.
    std::wstring folder = plat::GetRuntimeFolder() + L"mutex";
    for (const auto& entry : fs::recursive_directory_iterator(plat::WideToUtf8(folder))) {
        EXPECT_TRUE(entry.is_regular_file()) << entry.path();
        EXPECT_LE(entry.path().filename().string().size(), 255u);
        EXPECT_EQ(entry.path().filename().string().find_first_of("\\/{}"), std::string::npos);
    }
#endif
}

TEST_F(NamedMutexTest, MutexHeldByAChildIsSeenByTheParent) {
    std::string name = UniqueName();
    plat::Process child;
    ASSERT_TRUE(child.Start(ChildStart({L"hold-mutex", L"create", plat::Utf8ToWide(name),
                                        files_.File(L"ready"), files_.File(L"go")})));
    ASSERT_TRUE(WaitForFile(files_.File(L"ready")));

    plat::NamedMutex mutex;
    EXPECT_TRUE(mutex.Open(name));
    testsupport::WriteTestFile(files_.File(L"go"), "");
    ASSERT_TRUE(child.Wait(kWatchdogMs));
    std::uint32_t code = 1;
    child.GetExitCode(&code);
    EXPECT_EQ(code, 0u);

    // Only this process holds it now.
    EXPECT_TRUE(OpenSucceeds(name));
    mutex.Close();
    EXPECT_FALSE(OpenSucceeds(name));
}

TEST_F(NamedMutexTest, ChildOutlivingTheCreatorKeepsItAlive) {
    std::string name = UniqueName();
    // The creator starts a holder of its own and exits once it holds it.
    ASSERT_EQ(platformtest::RunToEnd(ChildStart({L"spawn-holder", plat::Utf8ToWide(name),
                                                 files_.File(L"ready"), files_.File(L"go")})),
              0u);
    EXPECT_TRUE(OpenSucceeds(name));

    testsupport::WriteTestFile(files_.File(L"go"), "");
    // The holder is not our child: watch the mutex go away.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWatchdogMs);
    while (OpenSucceeds(name) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    plat::NamedMutex mutex;
    EXPECT_FALSE(mutex.Open(name));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
}

// A child started while the mutex is held gets no handle of it: when the
// holder ends without closing it, the mutex is gone though the child runs on.
TEST_F(NamedMutexTest, StartedChildDoesNotInheritTheHold) {
    std::string name = UniqueName();
    ASSERT_EQ(platformtest::RunToEnd(
                  ChildStart({L"exit-holding", plat::Utf8ToWide(name), files_.File(L"go")})),
              0u);
    EXPECT_FALSE(OpenSucceeds(name));
    // Let the orphaned waiter end before the test folder goes away, so it
    // does not outlive the test holding the runner's output open.
    testsupport::WriteTestFile(files_.File(L"go"), "");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (plat::FileExists(files_.File(L"go")) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(plat::FileExists(files_.File(L"go")));
}

} // namespace
