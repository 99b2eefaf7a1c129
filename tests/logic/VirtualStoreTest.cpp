#include "logic/VirtualStore.h"

#include "logic/LogCapture.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "support/NativePath.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace logic;
using testsupport::ScopedEnv;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

namespace {

TEST(VirtualStorePath, DropsTheDriveAndRefusesEscapesOrTheStoreItself) {
    using testsupport::Native;
    EXPECT_EQ(VirtualStorePath(Native(L"/home/u/.local/share"), L"C:\\Games\\Tanks"),
              Native(L"/home/u/.local/share/VirtualStore/Games/Tanks"));
    EXPECT_EQ(VirtualStorePath(Native(L"/data"), L"//opt/a:b/"),
              Native(L"/data/VirtualStore/opt/a:b/"));
    for (const wchar_t* folder : {L"/opt/../../etc", L"C:\\Games\\..", L"////", L"C:\\", L"/./."})
        EXPECT_EQ(VirtualStorePath(L"/data", folder), L"") << folder;
    EXPECT_EQ(VirtualStorePath(L"", L"/opt/games"), L"");
}

class ClearVirtualStoreTest : public ::testing::Test {
protected:
    std::wstring Store(const std::wstring& relative) const {
        return dir.File(L"VirtualStore/" + relative);
    }
    static bool Exists(const std::wstring& path) {
        std::error_code ec;
        return fs::exists(fs::symlink_status(plat::WideToUtf8(path), ec));
    }
    static std::wstring Logged(const std::wstring& path, const wchar_t* outcome) {
        return L"\r\nClear virtual store path  " + path + outcome + L"\r\n";
    }

    testsupport::TempDir dir, outside;
    ScopedEnv data{"XDG_DATA_HOME", dir.NarrowPath()};
    logictest::LogCapture log;
};

TEST_F(ClearVirtualStoreTest, RemovesTheCopyOnceWithoutFollowingLinksAndNothingBesideIt) {
    WriteTestFile(Store(L"opt/games/tanks/res/a.pak"), "y");
    WriteTestFile(Store(L"opt/games/tanks2/keep"), "z");
    WriteTestFile(outside.File(L"precious/save.dat"), "keep me");
    fs::create_directory_symlink(outside.NarrowPath() + "precious",
                                 plat::WideToUtf8(Store(L"opt/games/tanks/link")));
    EXPECT_TRUE(ClearVirtualStore(L"/opt/games/tanks", &log));
    EXPECT_EQ(log.Text(), Logged(Store(L"opt/games/tanks"), L" .. OK"));
    EXPECT_FALSE(Exists(Store(L"opt/games/tanks")));
    EXPECT_TRUE(Exists(Store(L"opt/games/tanks2/keep")));
    EXPECT_TRUE(Exists(outside.File(L"precious/save.dat")));
    logictest::LogCapture again, quiet;
    EXPECT_FALSE(ClearVirtualStore(L"/opt/games/tanks", &again));
    EXPECT_EQ(again.Text(), Logged(Store(L"opt/games/tanks"), L" .. not found"));
    WriteTestFile(Store(L"op/file"), "x");
    EXPECT_FALSE(ClearVirtualStore(L"/op", &quiet)); // shorter than 4 characters
    EXPECT_TRUE(quiet.Text().empty() && Exists(Store(L"op/file")));
}

TEST_F(ClearVirtualStoreTest, APathThroughALinkIsRefused) {
    const std::wstring precious = outside.File(L"games/tanks/save.dat");
    WriteTestFile(precious, "keep me");
    ASSERT_TRUE(plat::CreateDirectoryTree(Store(L"")));
    fs::create_directory_symlink(outside.NarrowPath(), plat::WideToUtf8(Store(L"opt")));
    EXPECT_FALSE(ClearVirtualStore(L"/opt/games/tanks", &log));
    EXPECT_EQ(log.Text(), Logged(Store(L"opt/games/tanks"), L" .. refused"));
    EXPECT_TRUE(Exists(precious));
}

} // namespace
