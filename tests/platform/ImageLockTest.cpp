#include "platform/ImageLock.h"

#include "platform/ChildProgram.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace platformtest;

// A program's file cannot be deleted, replaced or moved away with its folder
// while the program runs from it; once it ends, all of that works.
TEST(ImageLockTest, ARunningProgramsFileStaysUntilItEnds) {
    testsupport::TempDir dir;
    const std::wstring program = dir.File(L"game/Launcher.exe");
    ASSERT_TRUE(plat::CreateDirectory(dir.File(L"game")));
    std::filesystem::copy_file(plat::WideToUtf8(ChildPath()), plat::WideToUtf8(program));
    testsupport::WriteTestFile(dir.File(L"new.exe"), "new");
    testsupport::WriteTestFile(dir.File(L"game/Data/a.pak"), "a");
    EXPECT_FALSE(plat::IsImageInUse(program));

    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(
        program, plat::JoinArguments({L"hold-image", dir.File(L"ready"), dir.File(L"go")}));
    plat::Process child;
    ASSERT_TRUE(child.Start(info));
    ASSERT_TRUE(WaitForFile(dir.File(L"ready")));
    EXPECT_TRUE(plat::IsImageInUse(program));

    EXPECT_FALSE(plat::DeleteFile(program));
    EXPECT_EQ(plat::GetLastError(), 32u);
    EXPECT_FALSE(plat::MoveFile(dir.File(L"new.exe"), program, plat::kMoveReplaceExisting));
    EXPECT_EQ(plat::GetLastError(), 32u);
    EXPECT_FALSE(plat::MoveFile(dir.File(L"game"), dir.File(L"moved")));
    EXPECT_EQ(plat::GetLastError(), 32u);
    // The tree's other files go; the running program's stays.
    EXPECT_FALSE(plat::DeleteFolderTree(dir.File(L"game")));
    EXPECT_EQ(plat::GetLastError(), 32u);
    EXPECT_TRUE(plat::FileExists(program));
    EXPECT_FALSE(plat::FileExists(dir.File(L"game/Data/a.pak")));

    testsupport::WriteTestFile(dir.File(L"go"), "");
    ASSERT_TRUE(child.Wait(kWatchdogMs));
    EXPECT_FALSE(plat::IsImageInUse(program));
    EXPECT_TRUE(plat::MoveFile(dir.File(L"new.exe"), program, plat::kMoveReplaceExisting));
    EXPECT_EQ(testsupport::ReadTestFile(program), "new");
#ifndef _WIN32
    // Renamed onto a program's name, the file may run.
    EXPECT_TRUE(std::filesystem::status(plat::WideToUtf8(program)).permissions() ==
                (std::filesystem::status(plat::WideToUtf8(program)).permissions() |
                 std::filesystem::perms::owner_exec));
#endif
    EXPECT_TRUE(plat::DeleteFile(program));
}
