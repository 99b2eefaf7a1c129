// The folder and path helpers.

#include "assistant/FolderUtils.h"

#include "log/LogImplW.h"
#include "log/ProcessLog.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Unicode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using testsupport::ReadTestFile;
using testsupport::ScopedEnv;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

TEST(FolderUtilsTest, CountingAndDeletingFolderTrees) {
    testsupport::TempDir dir;
    WriteTestFile(dir.File(L"tree/file"), "x");
    fs::create_directories(plat::WideToUtf8(dir.File(L"tree/empty")));
    EXPECT_EQ(assistant::CountFiles(dir.File(L"tree")), 2u);
    EXPECT_EQ(assistant::CountFiles(dir.File(L"missing")), 0u);
    EXPECT_FALSE(assistant::IsFolderEmpty(dir.File(L"tree")));
    EXPECT_TRUE(assistant::IsFolderEmpty(dir.File(L"tree/empty")));
    EXPECT_TRUE(assistant::IsFolderEmpty(dir.File(L"missing")));
    EXPECT_TRUE(assistant::FolderExists(dir.File(L"tree")));
    EXPECT_FALSE(assistant::FolderExists(dir.File(L"tree/file")));

    WriteTestFile(dir.File(L"canary/keep"), "canary");
    // A link to the canary where this system lets the test make one (Wine
    // makes none).
    std::error_code noLink;
    fs::create_directory_symlink(testsupport::FsPath(dir.File(L"canary")),
                                 testsupport::FsPath(dir.File(L"tree/link")), noLink);
    EXPECT_TRUE(assistant::DeleteFolderTree(dir.File(L"tree/")));
    EXPECT_FALSE(fs::exists(plat::WideToUtf8(dir.File(L"tree"))));
    EXPECT_EQ(ReadTestFile(dir.File(L"canary/keep")), "canary");
    EXPECT_FALSE(assistant::DeleteFolderTree(dir.File(L"tree")));
}

TEST(FolderUtilsTest, CreatingAFolderPathStopsAtAFileInTheWay) {
    testsupport::TempDir dir;
    EXPECT_TRUE(assistant::CreateFolderTree(dir.File(L"a/b/c/")));
    EXPECT_TRUE(assistant::FolderExists(dir.File(L"a/b/c")));
    WriteTestFile(dir.File(L"file"), "x");
    EXPECT_FALSE(assistant::CreateFolderTree(dir.File(L"file/sub")));
}

TEST(FolderUtilsTest, PathPartsFollowTheFirstCharacterRule) {
    EXPECT_EQ(assistant::FolderOfPath(L"\\file"), L"");
    EXPECT_EQ(assistant::FolderOfPath(L"C:\\file.exe"), L"C:");
    EXPECT_EQ(assistant::FolderOfPath(L"/srv/Game/Launcher.exe"), L"/srv/Game");
    EXPECT_EQ(assistant::FileNameOfPath(L"/srv/Game/Launcher.exe"), L"Launcher.exe");
    EXPECT_EQ(assistant::FileNameOfPath(L"/file"), L"");
    EXPECT_EQ(assistant::FileNameOfPath(L"nothing"), L"");
    std::wstring path = L"/srv/Game/";
    EXPECT_TRUE(assistant::StripTrailingBackslash(&path));
    EXPECT_EQ(path, L"/srv/Game");
    EXPECT_FALSE(assistant::StripTrailingBackslash(&path));
    EXPECT_EQ(assistant::GetModuleFolder() + plat::PathSeparator(), plat::GetExecutableFolder());
}

TEST(FolderUtilsTest, ARegistrationForDeletionIsLogged) {
    testsupport::TempDir dir;
    ScopedEnv state("XDG_STATE_HOME", dir.NarrowPath() + "state");
    CLogImplW log;
    ASSERT_TRUE(log.Open(dir.File(L"launcher.log")));
    log.SetUtf8(true);
    SetProcessLog(&log);
    assistant::RegisterForDeletion(dir.File(L"UNS12.tmp"));
    assistant::RegisterForDeletion(L"relative");
    SetProcessLog(nullptr);
    log.Close();
    std::string text = ReadTestFile(dir.File(L"launcher.log"));
    EXPECT_NE(text.find("Register '" + dir.NarrowPath() + "UNS12.tmp' for deletion successful."),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Register 'relative' for deletion fail."), std::string::npos) << text;
}

} // namespace
