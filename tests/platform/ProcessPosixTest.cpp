#include "platform/Process.h"

#include "ChildProgram.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using platformtest::ChildStart;
using platformtest::RunToEnd;
using testsupport::ReadTestFile;
namespace fs = std::filesystem;

class ProcessPosixTest : public ::testing::Test {
protected:
    testsupport::TempDir dir_;
};

TEST_F(ProcessPosixTest, StartFailuresCarryWindowsErrors) {
    testsupport::WriteTestFile(dir_.File(L"script"), "#!/bin/sh\nexit 0\n");
    testsupport::WriteTestFile(dir_.File(L"garbage"), "neither a program nor a script");
    fs::permissions(dir_.NarrowPath() + "garbage", fs::perms::owner_all);
    struct Case {
        std::wstring commandLine, workingFolder;
        plat::ErrorCode error;
    } cases[] = {
        {L"\"" + dir_.File(L"missing.exe") + L"\" x", L"", plat::kErrFileNotFound},
        {L"\"" + dir_.File(L"nofolder/missing.exe") + L"\"", L"", plat::kErrPathNotFound},
        {L"\"" + dir_.File(L"script") + L"\"", L"", plat::kErrAccessDenied},
        {L"\"" + dir_.File(L"garbage") + L"\"", L"", plat::kErrBadExeFormat},
        {plat::BuildCommandLine(platformtest::ChildPath(), L"exit 0"), dir_.File(L"nofolder"),
         plat::kErrDirectory},
    };
    for (const Case& c : cases) {
        plat::Process child;
        plat::ProcessStartInfo info;
        info.commandLine = c.commandLine;
        info.workingFolder = c.workingFolder;
        plat::SetLastError(0);
        EXPECT_FALSE(child.Start(info)) << plat::WideToUtf8(c.commandLine);
        EXPECT_EQ(plat::GetLastError(), c.error) << plat::WideToUtf8(c.commandLine);
        EXPECT_FALSE(child.IsValid());
    }
}

TEST_F(ProcessPosixTest, UnquotedProgramPathMayContainBlanks) {
    fs::create_directories(dir_.NarrowPath() + "my games");
    fs::create_symlink(PLATFORM_CHILD_PATH, dir_.NarrowPath() + "my games/the child");
    plat::ProcessStartInfo info;
    info.commandLine = dir_.File(L"my games/the child exe ") + dir_.File(L"exe");
    ASSERT_EQ(RunToEnd(info), 0u);
    EXPECT_EQ(ReadTestFile(dir_.File(L"exe")), fs::canonical(PLATFORM_CHILD_PATH).string());
}

TEST(CurrentProcessTest, ExecutableOfTheRunningProgram) {
    std::wstring path = plat::GetExecutablePath();
    std::wstring folder = plat::GetExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'/');
    EXPECT_EQ(path, folder + L"platform_tests");
    EXPECT_TRUE(fs::equivalent(plat::WideToUtf8(path), "/proc/self/exe"));
}

} // namespace
