#include "platform/Elevation.h"

#include "ChildProgram.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using platformtest::ChildStart;
using testsupport::ReadTestFile;
using testsupport::ScopedEnv;
namespace fs = std::filesystem;

constexpr std::uint32_t kNobody = 65534;

// The places the test switch insists on being moved.
class MovedPlaces {
public:
    explicit MovedPlaces(const testsupport::TempDir& dir)
        : hklm_("LAUNCHER_REGISTRY_HKLM", dir.NarrowPath() + "hklm"),
          hkcu_("LAUNCHER_REGISTRY_HKCU", dir.NarrowPath() + "hkcu"),
          common_("LAUNCHER_COMMON_DATA_DIR", dir.NarrowPath() + "share") {}

private:
    ScopedEnv hklm_, hkcu_, common_;
};

TEST(ElevationTest, AnElevatedStartUnderTheSwitchIsAPlainStartThatCountsAsElevated) {
    testsupport::TempDir dir;
    MovedPlaces moved(dir);
    ScopedEnv on("LAUNCHER_TEST_ELEVATION", "1");
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.NarrowPath());
    std::wstring report = dir.File(L"report");
    plat::Process child;
    ASSERT_TRUE(plat::StartElevated(ChildStart({L"elevation", report}), &child));
    ASSERT_TRUE(child.Wait(platformtest::kWatchdogMs));
    std::string text = ReadTestFile(report);
    EXPECT_NE(text.find("elevated=1"), std::string::npos) << text;
    EXPECT_NE(text.find("acts=0"), std::string::npos) << text;
    EXPECT_NE(text.find("invoking=" + std::to_string(::geteuid())), std::string::npos) << text;
}

TEST(ElevationTest, OnlyRootActsForTheUserPkexecNames) {
    ScopedEnv pkexec("PKEXEC_UID", std::to_string(kNobody));
    if (::geteuid() != 0) {
        EXPECT_EQ(plat::InvokingUserId(), ::geteuid());
        EXPECT_FALSE(plat::ActsForOtherUser());
        return;
    }
    EXPECT_EQ(plat::InvokingUserId(), kNobody);
    EXPECT_TRUE(plat::ActsForOtherUser());
    for (const char* bad : {"", "abc", "12x", "-5", "99999999999"}) {
        ScopedEnv value("PKEXEC_UID", bad);
        EXPECT_EQ(plat::InvokingUserId(), 0u) << bad;
    }
    ScopedEnv root("PKEXEC_UID", "0");
    EXPECT_FALSE(plat::ActsForOtherUser());
}

// Root acting for another user finds that user's runtime folder, and does its
// file work there with that user's rights.
TEST(ElevationTest, ACopyActingForAUserUsesThatUsersFoldersWithThatUsersRights) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act for another user";
    testsupport::TempDir dir;
    fs::permissions(dir.NarrowPath(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    std::string base = dir.NarrowPath() + "run";
    fs::create_directories(base + "/launcher");
    for (const std::string& folder : {base, base + "/launcher"}) {
        ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
        ::chmod(folder.c_str(), 0700);
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", base);
    ScopedEnv pkexec("PKEXEC_UID", std::to_string(kNobody));

    EXPECT_EQ(plat::GetRuntimeFolder(), plat::Utf8ToWide(base + "/launcher/"));
    std::string rootOnly = dir.NarrowPath() + "root-only";
    fs::create_directories(rootOnly);
    ::chmod(rootOnly.c_str(), 0700);
    {
        plat::InvokingUserFiles asUser;
        // Created as the user: owned by the user.
        ASSERT_TRUE(plat::EnsurePrivateFolder(plat::Utf8ToWide(base + "/launcher/pipe")));
        // Root's own folder is closed to the user.
        EXPECT_FALSE(plat::CreateDirectory(plat::Utf8ToWide(rootOnly + "/x")));
    }
    struct stat st {};
    ASSERT_EQ(::stat((base + "/launcher/pipe").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);
    // Out of the scope root's rights are back.
    EXPECT_TRUE(plat::CreateDirectory(plat::Utf8ToWide(rootOnly + "/x")));

    // A runtime folder that is not the user's is refused.
    ASSERT_EQ(::chown((base + "/launcher").c_str(), 0, 0), 0);
    EXPECT_TRUE(plat::GetRuntimeFolder().empty());
}

} // namespace
