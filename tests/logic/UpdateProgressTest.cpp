#include "logic/UpdateProgress.h"

#include "support/NativePath.h"

#include <gtest/gtest.h>

namespace {

using namespace logic;

TEST(UpdateProgressTest, PartsInFlightCountUntilTheStoredPartReplacesThem) {
    DownloadCounters counters;
    counters.total = 1000;
    CountPartProgress(&counters, 100, true);
    CountPartProgress(&counters, 150, true);
    EXPECT_EQ(counters.current, 250u);
    EXPECT_EQ(counters.committed, 0u);
    // The stored part is the same bytes: in-flight counts are dropped.
    CountPartProgress(&counters, 250, false);
    EXPECT_EQ(counters.committed, 250u);
    EXPECT_EQ(counters.current, 250u);
}

TEST(UpdateProgressTest, DownloadShareThenUnpackShare) {
    ProgressInputs inputs;
    inputs.totalBytes = 4096;
    inputs.currentBytes = 1024;
    inputs.unpackTotal = 10 * 1024;
    std::uint32_t unpackedKb = 0;
    ProgressDisplay shown = ComputeProgress(inputs, 0, &unpackedKb);
    EXPECT_TRUE(shown.downloading);
    EXPECT_DOUBLE_EQ(shown.percent, 25.0);
    EXPECT_FLOAT_EQ(shown.doneKb, 1.0f);
    EXPECT_FLOAT_EQ(shown.totalKb, 4.0f);
    EXPECT_EQ(shown.barPosition, 25);

    // All bytes are in: the bar follows the unpacker.
    inputs.currentBytes = 4096;
    shown = ComputeProgress(inputs, 3 * 1024 + 1000, &unpackedKb);
    EXPECT_FALSE(shown.downloading);
    EXPECT_EQ(unpackedKb, 3u);
    EXPECT_DOUBLE_EQ(shown.percent, 30.0);
    // A report of 0 keeps the unpacked kilobytes.
    shown = ComputeProgress(inputs, 0, &unpackedKb);
    EXPECT_DOUBLE_EQ(shown.percent, 30.0);

    // A new launcher is downloading even when the counters look complete.
    inputs.launcherOnly = true;
    EXPECT_TRUE(ComputeProgress(inputs, 0, &unpackedKb).downloading);
}

TEST(UpdateProgressTest, EmptyTotalsShowAFullBar) {
    ProgressInputs inputs;
    std::uint32_t unpackedKb = 0;
    ProgressDisplay shown = ComputeProgress(inputs, 0, &unpackedKb);
    EXPECT_FALSE(shown.downloading);
    EXPECT_EQ(shown.barPosition, 100);
    // An unpack total under one kilobyte counts as done.
    inputs.unpackTotal = 1000;
    EXPECT_EQ(ComputeProgress(inputs, 0, &unpackedKb).barPosition, 100);
    // A total of 0 takes the current bytes as the total.
    inputs.currentBytes = 2048;
    EXPECT_FLOAT_EQ(ComputeProgress(inputs, 0, &unpackedKb).totalKb, 2.0f);
}

TEST(UpdateProgressTest, ReportsPastTheTotalsClampBeforeTheyAreTruncated) {
    std::uint32_t unpackedKb = 0;
    // More unpacked than announced: a full bar, not a wrapped percentage.
    ProgressInputs inputs;
    inputs.totalBytes = 1024;
    inputs.currentBytes = 1024;
    inputs.unpackTotal = 4096;
    ProgressDisplay shown = ComputeProgress(inputs, std::int64_t{3} << 40, &unpackedKb);
    EXPECT_EQ(shown.barPosition, 100);
    // A launcher-only download far past its size.
    inputs.totalBytes = 1024;
    inputs.currentBytes = 0xFFFFFC00u;
    inputs.launcherOnly = true;
    shown = ComputeProgress(inputs, 0, &unpackedKb);
    EXPECT_TRUE(shown.downloading);
    EXPECT_EQ(shown.barPosition, 100);
}

TEST(UpdateProgressTest, TemporaryNamesFollowTheTask) {
    using testsupport::Native;
    update::DownloadTask task;
    task.name = "data.pkg";
    task.crc32 = 0x1a2b3c;
    task.size = 4096;
    EXPECT_EQ(TempFileName(Native(L"/games/x"), task, L"1.0.0.2"),
              Native(L"/games/x/tmp/001A2B3C.4096"));
    // The launcher's own task carries the version, so that a newer launcher
    // never resumes into an older one's file.
    task.name = "launcher.EXE";
    EXPECT_EQ(TempFileName(Native(L"/games/x"), task, L"1.0.0.2"),
              Native(L"/games/x/tmp/launcher.EXE.1.0.0.2.4096"));
    // A hostile version text never leaves "tmp".
    for (const wchar_t* version :
         {L"../../../etc/x", L"1/../../x", L"..\\..\\x", L"1.\n\x01.2", L"..", L"/abs/path"}) {
        const std::wstring path = TempFileName(Native(L"/games/x"), task, version);
        EXPECT_EQ(path.rfind(Native(L"/games/x/tmp/launcher.EXE."), 0), 0u) << path;
        const std::wstring name = path.substr(Native(L"/games/x/tmp/").size());
        EXPECT_EQ(name.find_first_of(L"/\\"), std::wstring::npos) << path;
        EXPECT_EQ(name.find(L".."), std::wstring::npos) << path;
        for (wchar_t c : name)
            EXPECT_GE(c, 0x20) << path;
    }
    EXPECT_EQ(SanitisedVersionText(L"../../x"), L"_._x");
    EXPECT_EQ(SanitisedVersionText(std::wstring(100, L'7')).size(), 32u);
}

TEST(UpdateProgressTest, OnlyLowerCasePkgNamesArePackages) {
    EXPECT_TRUE(IsPackageName("base.pkg"));
    EXPECT_TRUE(IsPackageName("data.v2.pkg"));
    EXPECT_FALSE(IsPackageName("base.PKG"));
    EXPECT_FALSE(IsPackageName("base.bin"));
    EXPECT_FALSE(IsPackageName("pkg"));
    EXPECT_FALSE(IsPackageName("base.pkg.part"));
}

} // namespace
