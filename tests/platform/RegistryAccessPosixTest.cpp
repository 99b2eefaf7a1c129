#include "platform/RegistryAccess.h"

#include "ChildProgram.h"
#include "platform/Elevation.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::ScopedEnv;
namespace fs = std::filesystem;

class RegistryAccessTest : public ::testing::Test {
protected:
    testsupport::TempDir dir_;
    ScopedEnv hklm_{"LAUNCHER_REGISTRY_HKLM", dir_.NarrowPath() + "hklm"};
    ScopedEnv hkcu_{"LAUNCHER_REGISTRY_HKCU", dir_.NarrowPath() + "hkcu"};
};

TEST_F(RegistryAccessTest, GrantingAKeyCreatesItForTheUser) {
    const wchar_t* path = L"Software\\Demo\\Install";
    ASSERT_TRUE(plat::GrantRegistryKeyToInvokingUser(plat::RegistryRoot::LocalMachine, path));
    EXPECT_TRUE(plat::RegistryKeyExists(plat::RegistryRoot::LocalMachine, path));
    std::uint32_t owner = ~0u;
    ASSERT_TRUE(plat::GetRegistryKeyOwner(plat::RegistryRoot::LocalMachine, path, &owner));
    EXPECT_EQ(owner, plat::InvokingUserId());
    EXPECT_FALSE(plat::GrantRegistryKeyToInvokingUser(plat::RegistryRoot::LocalMachine, L""));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
    EXPECT_FALSE(plat::GrantRegistryKeyToInvokingUser(plat::RegistryRoot::LocalMachine,
                                                      L"Software\\..\\Escape"));
    EXPECT_FALSE(plat::GetRegistryKeyOwner(plat::RegistryRoot::LocalMachine, L"Missing", &owner));
}

// Root, asked by another user through pkexec, gives the key to that user,
// who may then write its values without elevation.
TEST_F(RegistryAccessTest, AnElevatedCopyGivesTheKeyToTheInvokingUser) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act for another user";
    const std::uint32_t nobody = 65534;
    plat::RegistryKey key;
    ASSERT_TRUE(key.Create(plat::RegistryRoot::LocalMachine, L"Software\\Demo"));
    ASSERT_TRUE(key.WriteString(L"Value", L"root's"));
    {
        ScopedEnv pkexec("PKEXEC_UID", std::to_string(nobody));
        ASSERT_TRUE(plat::GrantRegistryKeyToInvokingUser(plat::RegistryRoot::LocalMachine,
                                                         L"Software\\Demo"));
    }
    std::uint32_t owner = 0;
    ASSERT_TRUE(
        plat::GetRegistryKeyOwner(plat::RegistryRoot::LocalMachine, L"Software\\Demo", &owner));
    EXPECT_EQ(owner, nobody);
    std::uint32_t parentOwner = 0;
    ASSERT_TRUE(
        plat::GetRegistryKeyOwner(plat::RegistryRoot::LocalMachine, L"Software", &parentOwner));
    EXPECT_EQ(parentOwner, 0u); // only the key asked for changes hands
    std::wstring value;
    ASSERT_TRUE(key.ReadString(L"Value", &value));
    EXPECT_EQ(value, L"root's");
}

// The user writes a key root gave it, through root's lock, and no other key.
TEST_F(RegistryAccessTest, AGivenKeyIsTheUsersToChangeAndNoOther) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act for another user";
    const std::uint32_t nobody = 65534;
    fs::permissions(dir_.NarrowPath(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    plat::RegistryKey key;
    ASSERT_TRUE(key.Create(plat::RegistryRoot::LocalMachine, L"Software\\Other"));
    {
        ScopedEnv pkexec("PKEXEC_UID", std::to_string(nobody));
        ASSERT_TRUE(plat::GrantRegistryKeyToInvokingUser(plat::RegistryRoot::LocalMachine,
                                                         L"Software\\Demo\\Install"));
    }
    auto writeAsNobody = [&](const wchar_t* path) {
        return platformtest::RunToEnd(platformtest::ChildStart(
            {L"write-registry-as", std::to_wstring(nobody), path, L"Directory", L"/srv/Game"}));
    };
    EXPECT_EQ(writeAsNobody(L"Software\\Demo\\Install"), 0u);
    EXPECT_EQ(writeAsNobody(L"Software\\Other"), 1u);
    std::wstring value;
    ASSERT_TRUE(key.Open(plat::RegistryRoot::LocalMachine, L"Software\\Demo\\Install"));
    ASSERT_TRUE(key.ReadString(L"Directory", &value));
    EXPECT_EQ(value, L"/srv/Game");
}

} // namespace
