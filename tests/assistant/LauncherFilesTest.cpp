#include "assistant/LauncherFiles.h"

#include "platform/CommandLine.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "support/NativePath.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace assistant;
using testsupport::ReadTestFile;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

namespace {

TEST(LauncherNames, CompareTheFileNamePartWithoutRegardToCase) {
    EXPECT_TRUE(IsLauncherName(L"C:\\G\\LAUNCHER.EXE") &&
                IsTempLauncherName(L"/g/launcher.TMP.exe"));
    for (const wchar_t* path :
         {L"/g/Launcher.exe/Setup.exe", L"/g/MyLauncher.exe", L"/g/Launcher.exe.bak"})
        EXPECT_FALSE(IsLauncherName(path) || IsTempLauncherName(path)) << path;
    EXPECT_FALSE(IsLauncherName(L"/g/Launcher.tmp.exe") || IsTempLauncherName(L"/g/Launcher.exe"));
}

TEST(RestartCommandLine, QuotedPathThenTheSwitchesInTheirOrder) {
    using testsupport::Native;
    EXPECT_EQ(BuildRestartCommandLine(Native(L"/opt/tanks"), L"Launcher.exe", false, false),
              L"\"" + Native(L"/opt/tanks/Launcher.exe") + L"\" /restart");
    EXPECT_EQ(BuildRestartCommandLine(Native(L"/opt/tanks/"), L"Launcher.tmp.exe", true, true),
              L"\"" + Native(L"/opt/tanks/Launcher.tmp.exe") + L"\" /fast /restart /auto");
    std::wstring program, rest; // blanks in the folder keep the path whole
    plat::SplitProgramToken(
        BuildRestartCommandLine(Native(L"/opt/My Games"), L"Launcher.exe", false, true), &program,
        &rest);
    EXPECT_EQ(program, Native(L"/opt/My Games/Launcher.exe"));
    EXPECT_EQ(rest, L"/restart /auto");
}

// A launcher in "game" about to be replaced by the copy in "new".
class CopyFileWholeTest : public ::testing::Test {
protected:
    void SetUp() override { WriteTestFile(target, old); }
    // No partial copy may stay behind in the target's folder.
    std::size_t FolderEntries() const {
        auto entries = fs::directory_iterator(dir.NarrowPath() + "game");
        return static_cast<std::size_t>(std::distance(fs::begin(entries), fs::end(entries)));
    }

    testsupport::TempDir dir;
    std::wstring source = dir.File(L"new/Launcher.tmp.exe"),
                 target = dir.File(L"game/Launcher.exe");
    std::string old = std::string(5000, 'o');
};

TEST_F(CopyFileWholeTest, ReplacesAReadOnlyLongerTargetExactlyWithTheSourceMode) {
    const std::string bytes("new launcher\0bytes", 18);
    WriteTestFile(source, bytes);
    fs::permissions(plat::WideToUtf8(source), fs::perms(0750));
    fs::permissions(plat::WideToUtf8(target), fs::perms(0444));
    ASSERT_TRUE(CopyFileWhole(source, target));
    EXPECT_EQ(ReadTestFile(target), bytes);
#ifdef _WIN32
    // Windows keeps no mode bits: the copy is no longer read-only.
    EXPECT_NE(fs::status(target).permissions() & fs::perms::owner_write, fs::perms::none);
#else
    EXPECT_EQ(fs::status(plat::WideToUtf8(target)).permissions(), fs::perms(0750));
#endif
    EXPECT_EQ(FolderEntries(), 1u);
    ASSERT_TRUE(plat::DeleteFile(target));
    EXPECT_TRUE(CopyFileWhole(source, target)); // a missing target is created
    EXPECT_EQ(ReadTestFile(target), bytes);
}

TEST_F(CopyFileWholeTest, AnUnreadableSourceOrAFailedWriteKeepsTheOldTarget) {
    EXPECT_FALSE(CopyFileWhole(dir.File(L"new/missing.exe"), target));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    ASSERT_TRUE(plat::CreateDirectoryTree(dir.File(L"new/folder.exe")));
    EXPECT_FALSE(CopyFileWhole(dir.File(L"new/folder.exe"), target));
    WriteTestFile(source, "new");
    WriteTestFile(target + L".d/inside.txt", "kept"); // a folder in the target's place
    EXPECT_FALSE(CopyFileWhole(source, target + L".d"));
    EXPECT_EQ(ReadTestFile(target + L".d/inside.txt"), "kept");
    EXPECT_EQ(ReadTestFile(target), old);
    EXPECT_EQ(FolderEntries(), 2u);

    fs::permissions(dir.NarrowPath() + "game", fs::perms(0555));
    // Administrators write anywhere: this failure cannot be made for them.
    const bool privileged = plat::WriteWholeFile(dir.File(L"game/probe"), "p", 1);
    const bool copied = !privileged && CopyFileWhole(source, target);
    fs::permissions(dir.NarrowPath() + "game", fs::perms(0755));
    if (privileged)
        GTEST_SKIP() << "running with administrator rights";
    EXPECT_FALSE(copied);
    EXPECT_EQ(ReadTestFile(target), old);
    EXPECT_EQ(FolderEntries(), 2u);
}

} // namespace
