#include "platform/Elevation.h"

#include "ChildProgram.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

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

TEST(ElevationTest, TheTestSwitchCountsOnlyWhileTheMachinePlacesAreMoved) {
    testsupport::TempDir dir;
    ScopedEnv hklm("LAUNCHER_REGISTRY_HKLM", nullptr);
    ScopedEnv hkcu("LAUNCHER_REGISTRY_HKCU", nullptr);
    ScopedEnv common("LAUNCHER_COMMON_DATA_DIR", nullptr);
    ScopedEnv on("LAUNCHER_TEST_ELEVATION", "1");
    EXPECT_FALSE(plat::IsTestElevation());
    {
        MovedPlaces moved(dir);
        EXPECT_TRUE(plat::IsTestElevation());
        EXPECT_TRUE(plat::IsProcessElevated());
        ScopedEnv other("LAUNCHER_TEST_ELEVATION", "yes");
        EXPECT_FALSE(plat::IsTestElevation());
    }
    {
        ScopedEnv onlyRegistry("LAUNCHER_REGISTRY_HKLM", dir.NarrowPath() + "hklm");
        EXPECT_FALSE(plat::IsTestElevation());
    }
}

TEST(ElevationTest, TheAccountNameIsTheUsers) {
    EXPECT_FALSE(plat::GetUserAccountName().empty());
}

} // namespace
