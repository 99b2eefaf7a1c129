#include "E2eSupport.h"
#include "config/LauncherChecksum.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testsupport::ReadTestFile;

// "Launcher.exe /crc" writes the decimal launcher checksum of itself to
// crc.txt in its current folder, patched or not.
TEST(CrcRunTest, WritesItsOwnChecksumToTheCurrentFolder) {
    testsupport::TempDir dir;
    std::wstring copy = e2e::CopyLauncher(dir);
    testsupport::WriteTestFile(dir.File(L"work/placeholder"), "");
    std::uint32_t expected = 0;
    ASSERT_TRUE(config::LauncherChecksumOfFile(copy, config::kWalkSkipRepeatedBoundary, &expected));

    ASSERT_EQ(e2e::Run(copy, {L"/crc"}, dir.File(L"work")), 0u);
    EXPECT_EQ(ReadTestFile(dir.File(L"work/crc.txt")), std::to_string(expected));

    // A personalised copy reports the same value.
    ASSERT_EQ(e2e::Run(e2e::StubpatchPath(),
                       {copy, L"--set", L"LANGUAGE=ru", L"--add-server", L"http://s.example"}),
              0u);
    testsupport::WriteTestFile(dir.File(L"work/crc.txt"), "stale content, longer than a number");
    ASSERT_EQ(e2e::Run(copy, {L"/crc"}, dir.File(L"work")), 0u);
    EXPECT_EQ(ReadTestFile(dir.File(L"work/crc.txt")), std::to_string(expected));
}

} // namespace
