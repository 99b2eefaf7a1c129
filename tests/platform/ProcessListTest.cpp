#include "platform/ProcessList.h"

#include "ChildProgram.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

using platformtest::ChildPath;
using platformtest::ChildStart;
namespace fs = std::filesystem;

TEST(ProcessListTest, TheListHoldsThisProcessWithItsExecutable) {
    std::vector<std::uint32_t> ids = plat::ListProcessIds();
    std::uint32_t self = plat::GetCurrentProcessId();
    EXPECT_NE(std::find(ids.begin(), ids.end(), self), ids.end());
    std::wstring executable;
    ASSERT_TRUE(plat::GetProcessExecutable(self, &executable));
    EXPECT_EQ(executable, plat::GetExecutablePath());
    EXPECT_TRUE(plat::IsProcessOfInvokingUser(self));
    EXPECT_FALSE(plat::GetProcessExecutable(0, &executable));
}

TEST(ProcessListTest, AHandleWaitsForAndEndsItsProcess) {
    plat::Process child;
    ASSERT_TRUE(child.Start(ChildStart({L"sleep", L"20000"})));
    plat::ProcessHandle handle;
    ASSERT_TRUE(handle.Open(child.Id()));
    EXPECT_FALSE(handle.HasEnded());
    EXPECT_FALSE(handle.Wait(50));
    EXPECT_EQ(plat::GetLastError(), plat::kErrWaitTimeout);
    ASSERT_TRUE(handle.Terminate());
    EXPECT_TRUE(handle.Wait(platformtest::kWatchdogMs));
    EXPECT_TRUE(handle.HasEnded());
    child.Wait(-1);
    // Collected by its parent, the process cannot be ended again.
    EXPECT_FALSE(handle.Terminate());
    handle.Close();
    EXPECT_FALSE(handle.Open(0));
}

} // namespace
