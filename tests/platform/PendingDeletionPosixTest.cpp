#include "platform/PendingDeletion.h"

#include "platform/Error.h"
#include "platform/Unicode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using testsupport::ScopedEnv;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

class PendingDeletionTest : public ::testing::Test {
protected:
    bool Exists(const std::wstring& name) const {
        return fs::exists(plat::WideToUtf8(dir_.File(name)));
    }

    testsupport::TempDir dir_;
    ScopedEnv state_{"XDG_STATE_HOME", dir_.NarrowPath() + "state"};
};

TEST_F(PendingDeletionTest, PathsGoAtTheFirstStartAfterARestartOnly) {
    WriteTestFile(dir_.File(L"UNS1A.tmp"), "x");
    WriteTestFile(dir_.File(L"UNS1A.exe"), "x");
    fs::create_directories(plat::WideToUtf8(dir_.File(L"empty")));
    WriteTestFile(dir_.File(L"full/file"), "x");
    {
        ScopedEnv boot("LAUNCHER_BOOT_ID", "boot-one");
        for (const wchar_t* name : {L"UNS1A.tmp", L"UNS1A.exe", L"empty", L"full", L"gone"})
            ASSERT_TRUE(plat::DeleteAtNextSystemStart(dir_.File(name)));
        // The same boot: nothing happens.
        EXPECT_EQ(plat::WorkOffPendingDeletions(), 0);
        EXPECT_TRUE(Exists(L"UNS1A.exe"));
    }
    ScopedEnv boot("LAUNCHER_BOOT_ID", "boot-two");
    ASSERT_TRUE(plat::DeleteAtNextSystemStart(dir_.File(L"later")));
    WriteTestFile(dir_.File(L"later"), "x");
    EXPECT_EQ(plat::WorkOffPendingDeletions(), 3);
    EXPECT_FALSE(Exists(L"UNS1A.tmp"));
    EXPECT_FALSE(Exists(L"UNS1A.exe"));
    EXPECT_FALSE(Exists(L"empty"));
    EXPECT_TRUE(Exists(L"full/file")); // a folder goes only when empty
    EXPECT_TRUE(Exists(L"later"));     // registered in this boot
    // Worked off entries are gone from the list.
    EXPECT_EQ(plat::WorkOffPendingDeletions(), 0);
    ScopedEnv next("LAUNCHER_BOOT_ID", "boot-three");
    EXPECT_EQ(plat::WorkOffPendingDeletions(), 1);
    EXPECT_FALSE(Exists(L"later"));
}

TEST_F(PendingDeletionTest, ALinkIsDeletedNotWhatItPointsTo) {
    WriteTestFile(dir_.File(L"canary/keep"), "canary");
    fs::create_directory_symlink(plat::WideToUtf8(dir_.File(L"canary")),
                                 plat::WideToUtf8(dir_.File(L"link")));
    {
        ScopedEnv boot("LAUNCHER_BOOT_ID", "a");
        ASSERT_TRUE(plat::DeleteAtNextSystemStart(dir_.File(L"link")));
    }
    ScopedEnv boot("LAUNCHER_BOOT_ID", "b");
    EXPECT_EQ(plat::WorkOffPendingDeletions(), 1);
    EXPECT_FALSE(fs::is_symlink(plat::WideToUtf8(dir_.File(L"link"))));
    EXPECT_TRUE(Exists(L"canary/keep"));
}

TEST_F(PendingDeletionTest, PathsThatCannotBeListedAreRefused) {
    EXPECT_FALSE(plat::DeleteAtNextSystemStart(L"relative/path"));
    EXPECT_FALSE(plat::DeleteAtNextSystemStart(dir_.File(L"two\nlines")));
    EXPECT_FALSE(plat::DeleteAtNextSystemStart(dir_.File(L"tab\there")));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidName);
    // A damaged list reads as empty and is replaced.
    ScopedEnv boot("LAUNCHER_BOOT_ID", "x");
    ASSERT_TRUE(plat::DeleteAtNextSystemStart(dir_.File(L"first")));
    WriteTestFile(dir_.File(L"state/launcher/pending-deletions"), "garbage\n/etc/passwd\n");
    EXPECT_EQ(plat::WorkOffPendingDeletions(), 0);
    EXPECT_TRUE(plat::DeleteAtNextSystemStart(dir_.File(L"y")));
}

} // namespace
