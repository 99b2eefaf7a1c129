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

class ProcessTest : public ::testing::Test {
protected:
    testsupport::TempDir dir_;
};

TEST_F(ProcessTest, ExitCodeComesBackAfterWait) {
    EXPECT_EQ(RunToEnd(ChildStart({L"exit", L"7"})), 7u);
    EXPECT_EQ(RunToEnd(ChildStart({L"exit", L"0"}, plat::TailPassing::Split)), 0u);
}

TEST_F(ProcessTest, RunningChildTimesOutAndCanBeTerminated) {
    plat::Process child;
    ASSERT_TRUE(child.Start(ChildStart({L"sleep", L"60000"})));
    EXPECT_NE(child.Id(), 0u);
    EXPECT_FALSE(child.Wait(50));
    EXPECT_EQ(plat::GetLastError(), plat::kErrWaitTimeout);
    std::uint32_t code = 0;
    ASSERT_TRUE(child.GetExitCode(&code));
    EXPECT_EQ(code, 259u);

    ASSERT_TRUE(child.Terminate(3));
    ASSERT_TRUE(child.Wait(platformtest::kWatchdogMs));
    ASSERT_TRUE(child.GetExitCode(&code));
    EXPECT_EQ(code, 3u);
    EXPECT_FALSE(child.Terminate(4));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);

    plat::Process moved = std::move(child);
    EXPECT_FALSE(child.IsValid());
    ASSERT_TRUE(moved.GetExitCode(&code));
    EXPECT_EQ(code, 3u);
}

TEST_F(ProcessTest, ChildRunsInTheWorkingFolderFromARelativeProgramPath) {
    testsupport::WriteTestFile(dir_.File(L"work/placeholder"), "");
    // A relative program path means the caller's folder, not the child's.
    std::wstring relative =
        plat::Utf8ToWide(fs::relative(PLATFORM_CHILD_PATH, fs::current_path()).string());
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(relative, L"cwd " + dir_.File(L"where"));
    info.workingFolder = dir_.File(L"work");
    ASSERT_EQ(RunToEnd(info), 0u);
    EXPECT_EQ(ReadTestFile(dir_.File(L"where")), dir_.NarrowPath() + "work");
}

TEST_F(ProcessTest, VerbatimTailReachesTheChildUnchanged) {
    std::wstring tail = L"echo-line " + dir_.File(L"line") +
                        L"  \"a  b\"\t\\\"q\\\" trail\\ \"\" \"open\"\"x \x00e9\x4e2d ";
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(platformtest::ChildPath(), tail);
    ASSERT_EQ(RunToEnd(info), 0u);
    EXPECT_EQ(ReadTestFile(dir_.File(L"line")), plat::WideToUtf8(tail));
}

TEST_F(ProcessTest, SplitTailArrivesAsSeparateArguments) {
    std::vector<std::wstring> args = {L"echo-argv", dir_.File(L"argv"), L"a b",   L"",
                                      L"q\"uote",   L"back\\",          L"\\\\\""};
    ASSERT_EQ(RunToEnd(ChildStart(args, plat::TailPassing::Split)), 0u);
    std::string expected;
    for (const std::wstring& arg : args)
        expected += plat::WideToUtf8(arg) + '\0';
    EXPECT_EQ(ReadTestFile(dir_.File(L"argv")), expected);
}

TEST(ProcessCommandLineTest, MarkerKeepsTheTextElseArgumentsAreJoined) {
    std::wstring saved = plat::GetCommandLine();
    const char* verbatim[] = {"prog", plat::kCommandLineMarker, " \"odd\"  text\\"};
    plat::InitProcessCommandLine(3, verbatim);
    EXPECT_EQ(plat::GetCommandLine(), L" \"odd\"  text\\");

    const char* shell[] = {"prog", "/fast", "a b", "", "q\"x"};
    plat::InitProcessCommandLine(5, shell);
    EXPECT_EQ(plat::SplitArguments(plat::GetCommandLine()),
              (std::vector<std::wstring>{L"/fast", L"a b", L"", L"q\"x"}));

    const char* extra[] = {"prog", plat::kCommandLineMarker, "a", "b"};
    plat::InitProcessCommandLine(4, extra);
    EXPECT_EQ(plat::SplitArguments(plat::GetCommandLine()),
              (std::vector<std::wstring>{plat::Utf8ToWide(plat::kCommandLineMarker), L"a", L"b"}));

    const char* none[] = {"prog"};
    plat::InitProcessCommandLine(1, none);
    EXPECT_EQ(plat::GetCommandLine(), L"");
    plat::SetCommandLineForTest(saved);
}

} // namespace
