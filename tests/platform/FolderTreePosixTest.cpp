#include "platform/FolderTree.h"

#include "platform/Elevation.h"
#include "platform/ProcessList.h"
#include "platform/Unicode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::WriteTestFile;
namespace fs = std::filesystem;

// An installation-like tree with a link to a canary folder outside it, and a
// link to a canary file.
class FolderTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTestFile(Tree(L"Launcher.exe"), "launcher");
        WriteTestFile(Tree(L"a.txt"), "a");
        WriteTestFile(Tree(L"sub/b.txt"), "b");
        WriteTestFile(Tree(L"sub/deeper/c.txt"), "c");
        fs::create_directories(Narrow(Tree(L"empty")));
        WriteTestFile(Canary(L"keep.txt"), "canary");
        WriteTestFile(Canary(L"inner/keep2.txt"), "canary");
        ::chmod(Narrow(Canary(L"keep.txt")).c_str(), 0444);
        fs::create_directory_symlink(Narrow(Canary(L"")), Narrow(Tree(L"sub/to-canary")));
        fs::create_symlink(Narrow(Canary(L"keep.txt")), Narrow(Tree(L"file-link")));
    }

    std::wstring Tree(const std::wstring& name) const { return dir_.File(L"tree/" + name); }
    std::wstring Canary(const std::wstring& name) const { return dir_.File(L"canary/" + name); }
    static std::string Narrow(const std::wstring& path) { return plat::WideToUtf8(path); }

    void ExpectCanaryUntouched() const {
        EXPECT_TRUE(fs::exists(Narrow(Canary(L"keep.txt"))));
        EXPECT_TRUE(fs::exists(Narrow(Canary(L"inner/keep2.txt"))));
        struct stat st {};
        ASSERT_EQ(::stat(Narrow(Canary(L"keep.txt")).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0444u);
    }

    testsupport::TempDir dir_;
};

TEST_F(FolderTreeTest, AFolderWhoseOwnNameIsALinkIsNotOpened) {
    plat::OpenFolder folder;
    EXPECT_FALSE(folder.Open(Tree(L"sub/to-canary")));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
    EXPECT_FALSE(folder.Open(Tree(L"sub/to-canary/")));
    EXPECT_FALSE(folder.Open(Tree(L"missing")));
    EXPECT_EQ(plat::GetLastError(), plat::kErrPathNotFound);
    EXPECT_FALSE(folder.Open(Tree(L"a.txt")));
    // A link above the folder is resolved, and the folder knows where it is.
    fs::create_directory_symlink(Narrow(dir_.File(L"tree")), Narrow(dir_.File(L"alias")));
    ASSERT_TRUE(folder.Open(dir_.File(L"alias/sub")));
    EXPECT_EQ(folder.ResolvedPath(), plat::ResolvedPath(Tree(L"sub")));
}

TEST_F(FolderTreeTest, CountingSeesLinksAsEntriesAndNeverEntersThem) {
    plat::OpenFolder folder;
    ASSERT_TRUE(folder.Open(Tree(L"")));
    // Launcher.exe, a.txt, sub, sub/b.txt, sub/deeper, sub/deeper/c.txt,
    // sub/to-canary, empty, file-link.
    EXPECT_EQ(plat::CountTreeEntries(folder), 9u);
    EXPECT_TRUE(folder.HoldsFile(L"launcher.EXE"));
    EXPECT_FALSE(folder.HoldsFile(L"file-link")); // a link is no file of the folder
    EXPECT_FALSE(folder.HoldsFile(L"sub"));
}

TEST_F(FolderTreeTest, DeletionRemovesLinksNotWhatTheyPointTo) {
    plat::OpenFolder folder;
    ASSERT_TRUE(folder.Open(Tree(L"")));
    int steps = 0;
    plat::TreeDeleteOptions options;
    options.keepName = L"LAUNCHER.exe";
    options.onEntry = [&] { ++steps; };
    EXPECT_TRUE(plat::DeleteTreeContents(folder, options));
    EXPECT_EQ(steps, 9);
    ExpectCanaryUntouched();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(Narrow(Tree(L""))))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"Launcher.exe"});
}

TEST_F(FolderTreeTest, KeptNamesStayEverywhereOrOnlyAtTheTop) {
    WriteTestFile(Tree(L"sub/launcher.exe"), "nested");
    {
        plat::OpenFolder folder;
        ASSERT_TRUE(folder.Open(Tree(L"")));
        plat::TreeDeleteOptions everywhere;
        everywhere.keepName = L"Launcher.exe";
        // sub keeps its launcher, so sub itself stays: not clean.
        EXPECT_FALSE(plat::DeleteTreeContents(folder, everywhere));
        EXPECT_TRUE(fs::exists(Narrow(Tree(L"sub/launcher.exe"))));
    }
    plat::OpenFolder folder;
    ASSERT_TRUE(folder.Open(Tree(L"")));
    plat::TreeDeleteOptions topOnly;
    topOnly.keepName = L"Launcher.exe";
    topOnly.keepOnlyAtTop = true;
    EXPECT_TRUE(plat::DeleteTreeContents(folder, topOnly));
    EXPECT_FALSE(fs::exists(Narrow(Tree(L"sub"))));
    EXPECT_TRUE(fs::exists(Narrow(Tree(L"Launcher.exe"))));
}

TEST_F(FolderTreeTest, AStopEndsTheWalkAtTheNextEntry) {
    plat::OpenFolder folder;
    ASSERT_TRUE(folder.Open(Tree(L"")));
    std::atomic<bool> stop{false};
    int steps = 0;
    plat::TreeDeleteOptions options;
    options.stop = &stop;
    options.onEntry = [&] {
        if (++steps == 2)
            stop = true;
    };
    EXPECT_FALSE(plat::DeleteTreeContents(folder, options));
    EXPECT_EQ(steps, 2);
    EXPECT_GT(plat::CountTreeEntries(folder), 0u);
}

TEST_F(FolderTreeTest, AWalkGoesNoDeeperThanItsBound) {
    std::wstring deep = L"deep";
    for (int i = 0; i < plat::kMaxTreeDepth + 5; ++i)
        deep += L"/d";
    fs::create_directories(Narrow(Tree(deep)));
    plat::OpenFolder folder;
    ASSERT_TRUE(folder.Open(Tree(L"")));
    EXPECT_LT(plat::CountTreeEntries(folder), 9u + plat::kMaxTreeDepth + 6);
    EXPECT_FALSE(plat::DeleteTreeContents(folder, plat::TreeDeleteOptions()));
    EXPECT_TRUE(fs::exists(Narrow(Tree(L"deep"))));
    ExpectCanaryUntouched();
}

TEST_F(FolderTreeTest, GrantingRightsGivesTheOwnerWriteAccessAndLeavesLinkedPlacesAlone) {
    ::chmod(Narrow(Tree(L"a.txt")).c_str(), 0444);
    ::chmod(Narrow(Tree(L"sub/deeper")).c_str(), 0555);
    plat::OpenFolder folder;
    ASSERT_TRUE(folder.Open(Tree(L"")));
    int steps = 0;
    std::uint32_t failures = 99;
    ASSERT_TRUE(plat::GrantTreeToInvokingUser(
        folder, nullptr, [&] { ++steps; }, &failures));
    EXPECT_EQ(failures, 0u);
    EXPECT_EQ(steps, 9);
    struct stat st {};
    ASSERT_EQ(::stat(Narrow(Tree(L"a.txt")).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(st.st_uid, plat::InvokingUserId());
    ASSERT_EQ(::stat(Narrow(Tree(L"sub/deeper")).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    ExpectCanaryUntouched();
}

TEST_F(FolderTreeTest, FilesInsideAreReadAndDeletedWithoutFollowingLinks) {
    plat::OpenFolder folder;
    ASSERT_TRUE(folder.Open(Tree(L"")));
    std::string text;
    EXPECT_TRUE(folder.ReadFile(L"a.txt", 100, &text));
    EXPECT_EQ(text, "a");
    EXPECT_FALSE(folder.ReadFile(L"file-link", 100, &text));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidData);
    EXPECT_FALSE(folder.ReadFile(L"a.txt", 0, &text)); // larger than allowed
    EXPECT_FALSE(folder.ReadFile(L"missing", 100, &text));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    EXPECT_FALSE(folder.ReadFile(L"sub/b.txt", 100, &text));

    EXPECT_TRUE(folder.DeleteFile(L"file-link"));
    EXPECT_FALSE(folder.DeleteFile(L"sub"));
    EXPECT_FALSE(folder.DeleteFile(L"../canary/keep.txt"));
    ExpectCanaryUntouched();
    EXPECT_FALSE(folder.IsEmpty());
    EXPECT_TRUE(plat::PathEntryExists(Tree(L"sub/to-canary")));
    fs::remove_all(Narrow(Canary(L"")));
    EXPECT_TRUE(plat::PathEntryExists(Tree(L"sub/to-canary"))); // leads nowhere, still there
    EXPECT_FALSE(plat::PathEntryExists(Tree(L"nothing")));
}

} // namespace
