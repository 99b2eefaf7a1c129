// Walks of a folder tree on Windows: counting, deleting with kept files,
// reading files inside an open folder, and links that lead nowhere.

#include "platform/FolderTree.h"

#include "WindowsLinks.h"
#include "platform/Elevation.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using namespace plat;
using testsupport::ReadTestFile;
using testsupport::TempDir;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

class FolderTreeWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTestFile(dir_.File(L"tree\\keep.cfg"), "top");
        WriteTestFile(dir_.File(L"tree\\a.txt"), "a");
        WriteTestFile(dir_.File(L"tree\\sub\\KEEP.CFG"), "deep");
        WriteTestFile(dir_.File(L"tree\\sub\\deeper\\b.txt"), "b");
        ASSERT_TRUE(SetFileAttributes(dir_.File(L"tree\\a.txt"), kAttrReadOnly));
    }
    TempDir dir_;
};

TEST_F(FolderTreeWin32Test, CountsEveryEntryBelow) {
    OpenFolder folder;
    ASSERT_TRUE(folder.Open(dir_.File(L"tree")));
    // keep.cfg, a.txt, sub, sub\KEEP.CFG, sub\deeper, sub\deeper\b.txt
    EXPECT_EQ(CountTreeEntries(folder), 6u);
    EXPECT_FALSE(folder.IsEmpty());
    EXPECT_TRUE(folder.HoldsFile(L"KEEP.cfg"));
    EXPECT_FALSE(folder.HoldsFile(L"sub"));
}

TEST_F(FolderTreeWin32Test, KeptFilesStayOnlyWhereAsked) {
    {
        OpenFolder folder;
        ASSERT_TRUE(folder.Open(dir_.File(L"tree")));
        TreeDeleteOptions options;
        options.keepName = L"keep.cfg";
        options.keepOnlyAtTop = true;
        int entries = 0;
        options.onEntry = [&] { ++entries; };
        EXPECT_TRUE(DeleteTreeContents(folder, options));
        EXPECT_EQ(entries, 6);
    }
    EXPECT_EQ(ReadTestFile(dir_.File(L"tree\\keep.cfg")), "top");
    EXPECT_FALSE(PathEntryExists(dir_.File(L"tree\\sub")));
    EXPECT_FALSE(PathEntryExists(dir_.File(L"tree\\a.txt")));
}

TEST_F(FolderTreeWin32Test, AStoppedWalkReportsIt) {
    OpenFolder folder;
    ASSERT_TRUE(folder.Open(dir_.File(L"tree")));
    std::atomic<bool> stop{true};
    TreeDeleteOptions options;
    options.stop = &stop;
    EXPECT_FALSE(DeleteTreeContents(folder, options));
    EXPECT_TRUE(PathEntryExists(dir_.File(L"tree\\sub\\deeper\\b.txt")));
}

TEST_F(FolderTreeWin32Test, FilesInsideAreReadAndDeletedByName) {
    OpenFolder folder;
    ASSERT_TRUE(folder.Open(dir_.File(L"tree\\")));
    std::string contents;
    ASSERT_TRUE(folder.ReadFile(L"keep.cfg", 100, &contents));
    EXPECT_EQ(contents, "top");
    EXPECT_FALSE(folder.ReadFile(L"keep.cfg", 2, &contents));
    EXPECT_EQ(GetLastError(), kErrInvalidData);
    EXPECT_FALSE(folder.ReadFile(L"missing", 100, &contents));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
    EXPECT_FALSE(folder.ReadFile(L"..\\escape", 100, &contents));
    EXPECT_EQ(GetLastError(), kErrInvalidName);
    EXPECT_FALSE(folder.DeleteFile(L"sub"));
    EXPECT_EQ(GetLastError(), kErrAccessDenied);
    EXPECT_TRUE(folder.DeleteFile(L"keep.cfg"));
    EXPECT_FALSE(folder.DeleteFile(L"keep.cfg"));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
}

TEST_F(FolderTreeWin32Test, TheOpenFolderKnowsWhereItIsAndWhoOwnsIt) {
    OpenFolder folder;
    ASSERT_TRUE(folder.Open(dir_.File(L"tree")));
    std::wstring resolved = folder.ResolvedPath();
    ASSERT_FALSE(resolved.empty());
    EXPECT_TRUE(fs::equivalent(fs::path(resolved), fs::path(dir_.File(L"tree"))));
    // A folder made by this process belongs to its user (an elevated
    // process's new objects belong to the administrators instead).
    if (!IsProcessElevated()) {
        EXPECT_EQ(folder.OwnerId(), InvokingUserId());
    }
    EXPECT_FALSE(OpenFolder().Open(dir_.File(L"missing")));
    EXPECT_EQ(GetLastError(), kErrPathNotFound);
}

TEST_F(FolderTreeWin32Test, ALinkIsNeitherOpenedNorFollowed) {
    WriteTestFile(dir_.File(L"canary\\alive.txt"), "alive");
    if (!platformtest::MakeWindowsLink(dir_.File(L"canary"), dir_.File(L"tree\\sub\\to-canary"),
                                       true))
        GTEST_SKIP() << "this account may not make links";
    OpenFolder alias;
    EXPECT_FALSE(alias.Open(dir_.File(L"tree\\sub\\to-canary")));
    EXPECT_EQ(GetLastError(), kErrAccessDenied);

    OpenFolder folder;
    ASSERT_TRUE(folder.Open(dir_.File(L"tree")));
    EXPECT_EQ(CountTreeEntries(folder), 7u); // the link counts as one entry
    EXPECT_TRUE(DeleteTreeContents(folder, TreeDeleteOptions{}));
    EXPECT_TRUE(folder.IsEmpty());
    EXPECT_EQ(ReadTestFile(dir_.File(L"canary\\alive.txt")), "alive");
}

TEST_F(FolderTreeWin32Test, TheUserIsGivenEveryEntry) {
    OpenFolder folder;
    ASSERT_TRUE(folder.Open(dir_.File(L"tree")));
    std::uint32_t failures = 99;
    int entries = 0;
    EXPECT_TRUE(GrantTreeToInvokingUser(
        folder, nullptr, [&] { ++entries; }, &failures));
    EXPECT_EQ(failures, 0u);
    EXPECT_EQ(entries, 6);
    EXPECT_EQ(folder.OwnerId(), InvokingUserId());
}

} // namespace
