#include "platform/ProcessList.h"

#include "ChildProgram.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

using platformtest::ChildPath;
using platformtest::ChildStart;
namespace fs = std::filesystem;

TEST(ProcessListTest, AnExecutableDeletedWhileItRunsKeepsItsPath) {
    testsupport::TempDir dir;
    std::wstring copy = dir.File(L"client.exe");
    fs::copy_file(plat::WideToUtf8(ChildPath()), plat::WideToUtf8(copy));
    fs::permissions(plat::WideToUtf8(copy), fs::perms::owner_all);
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(copy, L"sleep 20000");
    plat::Process child;
    ASSERT_TRUE(child.Start(info));
    fs::remove(plat::WideToUtf8(copy));
    std::wstring executable;
    ASSERT_TRUE(plat::GetProcessExecutable(child.Id(), &executable));
    EXPECT_EQ(executable, copy); // " (deleted)" is no part of the path
    child.Terminate(0);
    child.Wait(-1);
}

TEST(ProcessListTest, ResolvedPathsFollowLinksAndDots) {
    testsupport::TempDir dir;
    fs::create_directories(dir.NarrowPath() + "real/sub");
    testsupport::WriteTestFile(dir.File(L"real/sub/game.exe"), "x");
    fs::create_directory_symlink(dir.NarrowPath() + "real", dir.NarrowPath() + "link");
    std::wstring real = plat::ResolvedPath(dir.File(L"real/sub/game.exe"));
    EXPECT_EQ(plat::ResolvedPath(dir.File(L"link/sub/../sub/game.exe")), real);
    EXPECT_EQ(plat::ResolvedPath(dir.File(L"link//sub/./game.exe")), real);
    // Missing files are cleaned by their text alone.
    EXPECT_EQ(plat::ResolvedPath(L"/no/such/../place/./x.exe"), L"/no/place/x.exe");
}

} // namespace
