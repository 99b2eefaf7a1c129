// Named kernel objects on Windows: names in the machine's ("Global\") and
// the session's ("Local\") namespaces, and names that hold a backslash.

#include "platform/NamedEvent.h"
#include "platform/NamedMutex.h"

#include "platform/Process.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string UniqueName(const char* prefix) {
    static int counter = 0;
    return std::string(prefix) + "launcher-win32-object-" +
           std::to_string(plat::GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

TEST(NamedObjectsWin32, GlobalAndLocalNamesAreTheirNamespaces) {
    for (const char* prefix : {"Global\\", "Local\\"}) {
        const std::string name = UniqueName(prefix);
        plat::NamedMutex first;
        ASSERT_TRUE(first.Create(name, true)) << name;
        EXPECT_EQ(plat::GetLastError(), plat::kErrSuccess);
        EXPECT_TRUE(first.IsOwned());
        plat::NamedMutex second;
        ASSERT_TRUE(second.Create(name, true));
        EXPECT_EQ(plat::GetLastError(), plat::kErrAlreadyExists);
        EXPECT_FALSE(second.IsOwned());
        EXPECT_FALSE(second.Release());
        EXPECT_EQ(plat::GetLastError(), 288u);
        EXPECT_TRUE(first.Release());
        first.Close();
        second.Close();
        plat::NamedMutex gone;
        EXPECT_FALSE(gone.Open(name));
        EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    }
}

TEST(NamedObjectsWin32, ABackslashInsideANameIsNoNamespace) {
    const std::string name = UniqueName("") + "\\inner";
    plat::NamedEvent event;
    ASSERT_TRUE(event.Create(name, false)) << name;
    plat::NamedEvent same;
    ASSERT_TRUE(same.Open(name));
    EXPECT_TRUE(same.Set());
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Reset());
    EXPECT_FALSE(same.Wait(0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrWaitTimeout);
}

} // namespace
