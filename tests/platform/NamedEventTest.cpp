#include "platform/NamedEvent.h"

#include "platform/ChildProgram.h"
#include "platform/Error.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <string>

using namespace platformtest;

namespace {

std::string UniqueName(const char* what) {
    return std::string("{launcher-test-") + what + "-" +
           std::to_string(plat::GetCurrentProcessId()) + "}";
}

} // namespace

TEST(NamedEventTest, ManualResetStateIsSharedByEveryHolder) {
    const std::string name = UniqueName("state");
    plat::NamedEvent missing;
    EXPECT_FALSE(missing.Open(name));
    EXPECT_EQ(plat::GetLastError(), 2u);

    plat::NamedEvent first;
    ASSERT_TRUE(first.Create(name, false));
    EXPECT_FALSE(first.IsSet());
    EXPECT_FALSE(first.Wait(30));
    EXPECT_EQ(plat::GetLastError(), 258u);

    // A second create opens the same event, says so, and keeps its state.
    ASSERT_TRUE(first.Set());
    plat::NamedEvent second;
    ASSERT_TRUE(second.Create(name, false));
    EXPECT_EQ(plat::GetLastError(), 183u);
    EXPECT_TRUE(second.IsSet());
    // Manual reset: a wait does not clear it, a reset does, for every holder.
    EXPECT_TRUE(second.Wait(0));
    EXPECT_TRUE(first.Wait(0));
    ASSERT_TRUE(second.Reset());
    EXPECT_FALSE(first.IsSet());

    // Once nobody holds it, the event is gone: a new one starts afresh.
    first.Close();
    second.Close();
    EXPECT_FALSE(missing.Open(name));
    plat::NamedEvent fresh;
    ASSERT_TRUE(fresh.Create(name, false));
    EXPECT_NE(plat::GetLastError(), 183u);
    EXPECT_FALSE(fresh.IsSet());
}

TEST(NamedEventTest, AnotherProcessSetsTheEventAWaiterWaitsFor) {
    const std::string name = UniqueName("cross");
    plat::NamedEvent event;
    ASSERT_TRUE(event.Create(name, false));
    plat::Process child;
    ASSERT_TRUE(child.Start(ChildStart({L"set-event", plat::Utf8ToWide(name)})));
    // The child ends right after setting it; the state stays with the event.
    EXPECT_TRUE(event.Wait(kWatchdogMs));
    ASSERT_TRUE(child.Wait(kWatchdogMs));
    std::uint32_t code = 99;
    ASSERT_TRUE(child.GetExitCode(&code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(event.IsSet());
}
