#include "platform/Folders.h"

#include "platform/Process.h"
#include "platform/Unicode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h> // chown for the foreign-owner case

namespace {

using testsupport::ScopedEnv;
namespace fs = std::filesystem;

class FoldersTest : public ::testing::Test {
protected:
    fs::perms PermsOf(const std::string& relative) {
        return fs::status(dir_.NarrowPath() + relative).permissions();
    }
    void MakeFolder(const std::string& relative, fs::perms perms) {
        fs::create_directories(dir_.NarrowPath() + relative);
        fs::permissions(dir_.NarrowPath() + relative, perms);
    }

    testsupport::TempDir dir_;
};

TEST_F(FoldersTest, PrivateFolderIsCreatedBelowMissingParents) {
    ASSERT_TRUE(plat::EnsurePrivateFolder(dir_.File(L"a/b/private/")));
    EXPECT_EQ(PermsOf("a/b/private"), fs::perms::owner_all);
    EXPECT_NE(PermsOf("a/b") & fs::perms::others_exec, fs::perms::none);
    EXPECT_TRUE(plat::EnsurePrivateFolder(dir_.File(L"a/b/private")));
}

TEST_F(FoldersTest, RefusesWhatIsNotAPrivateFolderOfOurs) {
    MakeFolder("real", fs::perms::owner_all);
    fs::create_directory_symlink(dir_.NarrowPath() + "real", dir_.NarrowPath() + "link");
    fs::create_directory_symlink(dir_.NarrowPath() + "gone", dir_.NarrowPath() + "dangling");
    testsupport::WriteTestFile(dir_.File(L"file"), "");
    MakeFolder("group", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    MakeFolder("others", fs::perms::owner_all | fs::perms::others_exec);
    for (const wchar_t* name : {L"link", L"dangling", L"file", L"group", L"others"}) {
        plat::SetLastError(0);
        EXPECT_FALSE(plat::EnsurePrivateFolder(dir_.File(name))) << plat::WideToUtf8(name);
        EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied) << plat::WideToUtf8(name);
    }
    EXPECT_FALSE(fs::exists(dir_.NarrowPath() + "gone"));
    EXPECT_TRUE(plat::EnsurePrivateFolder(dir_.File(L"real")));
}

TEST_F(FoldersTest, RefusesAFolderOwnedBySomeoneElse) {
    if (!plat::IsProcessElevated())
        GTEST_SKIP() << "only an administrator can give a folder away";
    MakeFolder("foreign", fs::perms::owner_all);
    ASSERT_EQ(::chown((dir_.NarrowPath() + "foreign").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(plat::EnsurePrivateFolder(dir_.File(L"foreign")));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
}

TEST_F(FoldersTest, RuntimeFolderLivesInXdgRuntimeDirElseUnderTmp) {
    {
        ScopedEnv xdg("XDG_RUNTIME_DIR", dir_.NarrowPath());
        EXPECT_EQ(plat::GetRuntimeFolder(), dir_.File(L"launcher/"));
        EXPECT_EQ(PermsOf("launcher"), fs::perms::owner_all);
    }
    for (const char* unusable :
         {static_cast<const char*>(nullptr), "relative/run", "/nonexistent"}) {
        ScopedEnv xdg("XDG_RUNTIME_DIR", unusable);
        std::wstring folder = plat::GetRuntimeFolder();
        EXPECT_EQ(folder.rfind(L"/tmp/launcher-", 0), 0u) << plat::WideToUtf8(folder);
        EXPECT_EQ(folder.back(), L'/');
        EXPECT_EQ(fs::status(plat::WideToUtf8(folder)).permissions(), fs::perms::owner_all);
    }
}

TEST_F(FoldersTest, TempFolderTakesTheFirstUsableCandidate) {
    ScopedEnv cache("XDG_CACHE_HOME", dir_.NarrowPath() + "cache");
    ScopedEnv home("HOME", dir_.NarrowPath() + "home");
    {
        ScopedEnv moved("LAUNCHER_TEMP_DIR", dir_.NarrowPath() + "moved");
        EXPECT_EQ(plat::GetTempFolder(), dir_.File(L"moved/"));
        EXPECT_EQ(PermsOf("moved"), fs::perms::owner_all);
    }
    ScopedEnv notMoved("LAUNCHER_TEMP_DIR", nullptr);
    EXPECT_EQ(plat::GetTempFolder(), dir_.File(L"cache/launcher/tmp/"));

    // A link planted in the first candidate's place sends it to the next one.
    fs::remove(dir_.NarrowPath() + "cache/launcher/tmp");
    fs::create_directory_symlink(dir_.NarrowPath(), dir_.NarrowPath() + "cache/launcher/tmp");
    EXPECT_EQ(plat::GetTempFolder(), dir_.File(L"home/.cache/launcher/tmp/"));

    ScopedEnv noCache("XDG_CACHE_HOME", nullptr);
    ScopedEnv noHome("HOME", nullptr);
    std::wstring last = plat::GetTempFolder();
    EXPECT_EQ(last.rfind(L"/tmp/launcher-tmp-", 0), 0u) << plat::WideToUtf8(last);
}

} // namespace
