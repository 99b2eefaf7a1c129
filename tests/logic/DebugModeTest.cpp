#include "logic/DebugMode.h"

#include "platform/Registry.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using logic::ReadDebugMode;

TEST(DebugMode, ReadFromTheParentOfTheRegistryPathOrFromAPathWithoutInnerBackslash) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv user("LAUNCHER_REGISTRY_HKCU", dir.NarrowPath() + "HKCU");
    plat::RegistryKey own, parent, single;
    ASSERT_TRUE(own.Create(plat::RegistryRoot::CurrentUser, L"Software\\Zelmar\\Tanks"));
    ASSERT_TRUE(parent.Create(plat::RegistryRoot::CurrentUser, L"Software\\Zelmar"));
    ASSERT_TRUE(single.Create(plat::RegistryRoot::CurrentUser, L"Tanks"));
    const std::wstring regPath = L"Software\\Zelmar\\Tanks", name = L"ZelmarDebugMode";
    EXPECT_FALSE(ReadDebugMode(regPath));
    own.WriteDword(name, 1); // the launcher's own key is not where the switch lives
    EXPECT_FALSE(ReadDebugMode(regPath));
    parent.WriteDword(name, 2);
    EXPECT_TRUE(ReadDebugMode(regPath));
    parent.WriteDword(name, 0);
    EXPECT_FALSE(ReadDebugMode(regPath));
    single.WriteDword(name, 1);
    EXPECT_TRUE(ReadDebugMode(L"Tanks"));
    EXPECT_TRUE(ReadDebugMode(L"\\Tanks")); // a backslash at position 0 does not cut
}
