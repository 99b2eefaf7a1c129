#include "platform/FileSystem.h"
#include "platform/File.h"
#include "platform/Unicode.h"

#include "support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace plat;
using testsupport::ReadTestFile;
using testsupport::TempDir;
using testsupport::WriteTestFile;

namespace {

TEST(Wildcard, WindowsRules) {
    EXPECT_TRUE(MatchWildcard(L"*.*", L"noextension"));
    EXPECT_TRUE(MatchWildcard(L"*.log", L"20240305_070809.Launcher.exe.LOG"));
    EXPECT_FALSE(MatchWildcard(L"*.log", L"a.log.bak"));
    EXPECT_TRUE(MatchWildcard(L"a?c*", L"abcdef"));
    EXPECT_FALSE(MatchWildcard(L"a?c", L"ac"));
    EXPECT_TRUE(MatchWildcard(L"*a*b*", L"xxaxxbxx"));
}

TEST(FileOpen, CreationKindsBehaveAsOnWindows) {
    TempDir dir;
    std::wstring path = dir.File(L"a.bin");
    File f;
    EXPECT_FALSE(f.Open(path, kRead, Disposition::OpenExisting));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
    EXPECT_FALSE(f.Open(dir.File(L"missing/a.bin"), kWrite, Disposition::CreateAlways));
    EXPECT_EQ(GetLastError(), kErrPathNotFound);

    bool created = false;
    ASSERT_TRUE(f.Open(path, kReadWrite, Disposition::OpenAlways, &created));
    EXPECT_TRUE(created);
    ASSERT_TRUE(f.Write("hello world", 11));
    f.Close();

    ASSERT_TRUE(f.Open(path, kReadWrite, Disposition::OpenAlways, &created));
    EXPECT_FALSE(created);
    EXPECT_EQ(GetLastError(), kErrAlreadyExists);
    std::uint64_t size = 0;
    ASSERT_TRUE(f.Size(&size));
    EXPECT_EQ(size, 11u);
    ASSERT_TRUE(f.Seek(5, SeekFrom::Begin));
    ASSERT_TRUE(f.SetEndOfFile());
    ASSERT_TRUE(f.Seek(0, SeekFrom::Begin));
    char buf[32];
    std::size_t done = 0;
    ASSERT_TRUE(f.Read(buf, sizeof buf, &done));
    EXPECT_EQ(std::string(buf, done), "hello");
    f.Close();

    EXPECT_FALSE(f.Open(path, kWrite, Disposition::CreateNew));
    EXPECT_EQ(GetLastError(), kErrFileExists);
    ASSERT_TRUE(f.Open(path, kWrite, Disposition::CreateAlways));
    ASSERT_TRUE(f.Size(&size));
    EXPECT_EQ(size, 0u);
}

TEST(FileOperations, MoveRefusesToOverwriteWithoutTheFlag) {
    TempDir dir;
    WriteTestFile(dir.File(L"a"), "A");
    WriteTestFile(dir.File(L"b"), "B");
    EXPECT_FALSE(MoveFile(dir.File(L"a"), dir.File(L"b")));
    EXPECT_EQ(GetLastError(), kErrAlreadyExists);
    EXPECT_TRUE(MoveFile(dir.File(L"a"), dir.File(L"b"), kMoveReplaceExisting));
    EXPECT_EQ(ReadTestFile(dir.File(L"b")), "A");
    EXPECT_FALSE(FileExists(dir.File(L"a")));
    EXPECT_FALSE(MoveFile(dir.File(L"a"), dir.File(L"c")));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
}

TEST(FileOperations, ReadOnlyAttributeBlocksDeletion) {
    TempDir dir;
    std::wstring path = dir.File(L"ro.txt");
    WriteTestFile(path, "x");
    ASSERT_TRUE(SetFileAttributes(path, kAttrReadOnly));
    EXPECT_TRUE(GetFileAttributes(path) & kAttrReadOnly);
    EXPECT_FALSE(DeleteFile(path));
    EXPECT_EQ(GetLastError(), kErrAccessDenied);
    ASSERT_TRUE(SetFileAttributes(path, kAttrNormal));
    EXPECT_TRUE(DeleteFile(path));
    EXPECT_EQ(GetFileAttributes(path), kInvalidAttributes);
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
    EXPECT_TRUE(GetFileAttributes(dir.Path()) & kAttrDirectory);
}

TEST(Folders, TreeCreationAndSingleLevelRules) {
    TempDir dir;
    std::wstring deep = dir.File(L"a/b/c");
    EXPECT_FALSE(CreateDirectory(deep));
    EXPECT_EQ(GetLastError(), kErrPathNotFound);
    EXPECT_TRUE(CreateDirectoryTree(deep + L"/"));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(CreateDirectoryTree(deep)); // already there
    EXPECT_FALSE(CreateDirectory(deep));
    EXPECT_EQ(GetLastError(), kErrAlreadyExists);

    WriteTestFile(dir.File(L"file"), "x");
    EXPECT_FALSE(CreateDirectoryTree(dir.File(L"file/sub")));
    EXPECT_FALSE(RemoveDirectory(dir.File(L"a")));
    EXPECT_EQ(GetLastError(), kErrDirNotEmpty);
}

TEST(Folders, FindFilesMatchesAndReportsKinds) {
    TempDir dir;
    WriteTestFile(dir.File(L"one.log"), "12345");
    WriteTestFile(dir.File(L"two.LOG"), "");
    WriteTestFile(dir.File(L"three.txt"), "");
    ASSERT_TRUE(CreateDirectory(dir.File(L"sub.log")));

    auto entries = FindFiles(dir.Path() + L"*.log");
    std::vector<std::wstring> names;
    for (auto& e : entries)
        names.push_back(e.name + (e.isDirectory ? L"/" : L""));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"one.log", L"sub.log/", L"two.LOG"}));
    auto one =
        std::find_if(entries.begin(), entries.end(), [](auto& e) { return e.name == L"one.log"; });
    ASSERT_NE(one, entries.end());
    EXPECT_EQ(one->size, 5u);

    EXPECT_EQ(FindFiles(dir.Path() + L"*.*").size(), 4u);
    EXPECT_TRUE(FindFiles(dir.File(L"nowhere/*.*")).empty());
    EXPECT_EQ(GetLastError(), kErrPathNotFound);
}

TEST(Folders, FreeSpaceOfTheVolume) {
    TempDir dir;
    std::uint64_t freeBytes = 0;
    EXPECT_TRUE(GetDiskFreeSpace(dir.Path(), &freeBytes));
    EXPECT_GT(freeBytes, 0u);
    EXPECT_FALSE(GetDiskFreeSpace(dir.File(L"missing/"), &freeBytes));
}

TEST(Unicode, RoundTripsAndReplacesInvalidInput) {
    std::wstring text = L"Gr\u00FC\u00DFe \u4E16\u754C \U0001F600";
    bool ok = false;
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text), &ok), text);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Utf16LeToWide(WideToUtf16Le(text)), text);
    EXPECT_EQ(WideToUtf16Le(L"A\U0001F600"), std::string("A\0\x3D\xD8\x00\xDE", 6));

    EXPECT_EQ(Utf8ToWide("a\xC3", &ok), L"a\uFFFD"); // truncated sequence
    EXPECT_FALSE(ok);
    EXPECT_EQ(Utf8ToWide("\xC0\xAF", &ok), L"\uFFFD\uFFFD"); // overlong "/"
    EXPECT_FALSE(ok);
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80", &ok).find(L'\xD800'), std::wstring::npos);
    EXPECT_EQ(Utf16LeToWide(std::string("\x00\xD8", 2)), L"\uFFFD"); // lone surrogate
}

TEST(ErrorTexts, KnownNumbersHaveTexts) {
    EXPECT_EQ(ErrorMessageText(kErrFileNotFound), L"The system cannot find the file specified.");
    EXPECT_EQ(ErrorMessageText(kErrDiskFull), L"There is not enough space on the disk.");
    EXPECT_TRUE(ErrorMessageText(987654).empty());
    SetLastError(kErrPipeBusy);
    EXPECT_EQ(GetLastError(), kErrPipeBusy);
}

} // namespace
