// Paths, links and file kinds as Windows has them: "\" paths, and links
// (reparse points) that the platform's walks and writes never follow.

#include "WindowsLinks.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/FolderTree.h"
#include "platform/Unicode.h"
#include "support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using namespace plat;
using testsupport::ReadTestFile;
using testsupport::TempDir;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

using platformtest::MakeWindowsLink;

TEST(PathsWin32, BackslashesJoinAndSplit) {
    EXPECT_EQ(PathSeparator(), L'\\');
    EXPECT_EQ(NativePath(L"Data/Maps\\a.pak"), L"Data\\Maps\\a.pak");
    EXPECT_EQ(FolderOf(L"C:\\Games\\Launcher.exe"), L"C:\\Games\\");
    EXPECT_EQ(FileNameOf(L"C:\\Games\\Launcher.exe"), L"Launcher.exe");
    EXPECT_EQ(JoinPath(L"C:\\Games\\", L"\\logs"), L"C:\\Games\\logs");
    EXPECT_EQ(JoinPath(L"C:\\Games", L"logs"), L"C:\\Games\\logs");
}

TEST(PathsWin32, DeepTreesAndForwardSlashes) {
    TempDir dir;
    const std::wstring deep = dir.File(L"a\\b/c\\d");
    EXPECT_TRUE(CreateDirectoryTree(deep + L"\\"));
    EXPECT_TRUE(DirectoryExists(dir.File(L"a\\b\\c\\d")));
    EXPECT_TRUE(CreateDirectoryTree(deep)); // exists already: still true
    WriteTestFile(dir.File(L"a\\file"), "x");
    EXPECT_FALSE(CreateDirectoryTree(dir.File(L"a\\file\\below")));
    EXPECT_EQ(GetLastError(), kErrPathNotFound);
    EXPECT_FALSE(CreateDirectory(dir.File(L"a")));
    EXPECT_EQ(GetLastError(), kErrAlreadyExists);
}

TEST(LinksWin32, ALinkIsReportedAsItselfAndNeverWrittenThrough) {
    TempDir dir;
    WriteTestFile(dir.File(L"outside\\canary.txt"), "canary");
    if (!MakeWindowsLink(dir.File(L"outside"), dir.File(L"tree\\to-outside"), true) ||
        !MakeWindowsLink(dir.File(L"outside\\canary.txt"), dir.File(L"tree\\file-link"), false))
        GTEST_SKIP() << "this account may not make links";

    EXPECT_TRUE(IsLink(dir.File(L"tree\\to-outside")));
    EXPECT_FALSE(DirectoryExists(dir.File(L"tree\\to-outside")));
    EXPECT_TRUE(GetFileAttributes(dir.File(L"tree\\file-link")) & kAttrReparsePoint);
    auto entries = FindFiles(dir.File(L"tree\\*"));
    ASSERT_EQ(entries.size(), 2u);
    for (const FindEntry& entry : entries) {
        EXPECT_TRUE(entry.isLink) << WideToUtf8(entry.name);
        EXPECT_FALSE(entry.isDirectory) << WideToUtf8(entry.name);
    }

    File file;
    EXPECT_FALSE(
        file.Open(dir.File(L"tree\\file-link"), kRead | kNoFollow, Disposition::OpenExisting));
    EXPECT_EQ(GetLastError(), kErrInvalidName);
    // Replaced by the file, never written through.
    ASSERT_TRUE(WriteWholeFile(dir.File(L"tree\\file-link"), "new", 3));
    EXPECT_FALSE(IsLink(dir.File(L"tree\\file-link")));
    EXPECT_EQ(ReadTestFile(dir.File(L"tree\\file-link")), "new");
    EXPECT_EQ(ReadTestFile(dir.File(L"outside\\canary.txt")), "canary");

    // The tree goes, the folder its link named stays whole.
    EXPECT_TRUE(DeleteFolderTree(dir.File(L"tree")));
    EXPECT_FALSE(PathEntryExists(dir.File(L"tree")));
    EXPECT_EQ(ReadTestFile(dir.File(L"outside\\canary.txt")), "canary");
}

TEST(LinksWin32, DeletingALinkToAFolderKeepsTheFolder) {
    TempDir dir;
    WriteTestFile(dir.File(L"real\\inside.txt"), "inside");
    if (!MakeWindowsLink(dir.File(L"real"), dir.File(L"alias"), true))
        GTEST_SKIP() << "this account may not make links";
    EXPECT_TRUE(DeleteFile(dir.File(L"alias")));
    EXPECT_FALSE(PathEntryExists(dir.File(L"alias")));
    EXPECT_EQ(ReadTestFile(dir.File(L"real\\inside.txt")), "inside");
    // A link at the top of a tree delete goes as a link.
    ASSERT_TRUE(MakeWindowsLink(dir.File(L"real"), dir.File(L"alias"), true));
    EXPECT_TRUE(DeleteFolderTree(dir.File(L"alias")));
    EXPECT_EQ(ReadTestFile(dir.File(L"real\\inside.txt")), "inside");
}

TEST(FilesWin32, ReadOnlyFilesInATreeGoWithIt) {
    TempDir dir;
    WriteTestFile(dir.File(L"tree\\sub\\ro.txt"), "x");
    ASSERT_TRUE(SetFileAttributes(dir.File(L"tree\\sub\\ro.txt"), kAttrReadOnly | kAttrHidden));
    EXPECT_EQ(GetFileAttributes(dir.File(L"tree\\sub\\ro.txt")) & (kAttrReadOnly | kAttrHidden),
              kAttrReadOnly | kAttrHidden);
    EXPECT_FALSE(DeleteFile(dir.File(L"tree\\sub\\ro.txt")));
    EXPECT_EQ(GetLastError(), kErrAccessDenied);
    EXPECT_TRUE(DeleteFolderTree(dir.File(L"tree")));
    EXPECT_FALSE(PathEntryExists(dir.File(L"tree")));
    EXPECT_TRUE(DeleteFolderTree(dir.File(L"tree"))); // nothing there: done
}

TEST(FilesWin32, MovesAndCopiesKeepWindowsNumbers) {
    TempDir dir;
    WriteTestFile(dir.File(L"a.txt"), "a");
    WriteTestFile(dir.File(L"b.txt"), "b");
    EXPECT_FALSE(CopyFile(dir.File(L"a.txt"), dir.File(L"b.txt"), true));
    EXPECT_EQ(GetLastError(), kErrFileExists);
    EXPECT_TRUE(CopyFile(dir.File(L"a.txt"), dir.File(L"b.txt"), false));
    EXPECT_EQ(ReadTestFile(dir.File(L"b.txt")), "a");
    EXPECT_FALSE(MoveFile(dir.File(L"missing.txt"), dir.File(L"c.txt")));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
    EXPECT_TRUE(MoveFile(dir.File(L"a.txt"), dir.File(L"sub-less.txt")));
    EXPECT_FALSE(FileExists(dir.File(L"a.txt")));

    File file;
    bool created = true;
    ASSERT_TRUE(file.Open(dir.File(L"b.txt"), kReadWrite, Disposition::OpenAlways, &created));
    EXPECT_FALSE(created);
    EXPECT_EQ(GetLastError(), kErrAlreadyExists);
    EXPECT_FALSE(file.Open(dir.Path(), kRead, Disposition::OpenExisting));
    EXPECT_EQ(GetLastError(), kErrAccessDenied);
}

} // namespace
