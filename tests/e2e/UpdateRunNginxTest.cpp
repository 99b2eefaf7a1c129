#include "UpdateRunFixture.h"
#include "support/NginxServer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

namespace {

using e2e::UpdateRunTest;

TEST_F(UpdateRunTest, InstallRepairAndIncrementFromNginx) {
    Publish();
    testsupport::NginxServer nginx;
    ASSERT_TRUE(nginx.Start(root.NarrowPath()));
    Personalise(nginx.BaseUrl());

    InstallRepairAndIncrement();
}

TEST_F(UpdateRunTest, KilledRunResumesFromWhatReachedTheDisk) {
    Publish();
    // Slow enough (10 s) that the 10 MB package is still on its way when the
    // run is killed, after the first package was unpacked and some of it
    // reached the disk (its bytes go there read by read).
    testsupport::NginxServer slow;
    ASSERT_TRUE(slow.Start(root.NarrowPath(), {}, 1024 * 1024));
    Personalise(slow.BaseUrl());
    const std::string data = Published("data.pkg");
    char name[32];
    std::snprintf(name, sizeof name, "tmp/%08X.%u", base::Crc32(data.data(), data.size()),
                  static_cast<unsigned>(data.size()));
    plat::Process run;
    ASSERT_TRUE(StartLauncherUntil(&run, [&] {
        std::error_code error;
        auto size = std::filesystem::file_size(plat::WideToUtf8(Installed(name)), error);
        return plat::FileExists(Installed("Bin/module.dll")) && !error && size >= 65536;
    })) << LauncherLog();
    run.Terminate(9);
    run.Wait(e2e::kWatchdogMs);
    EXPECT_FALSE(plat::FileExists(Installed("Data/pak1.pak")));
    // What reached the disk survives the kill and is what the next run
    // resumes from.
    const std::string left = testsupport::ReadTestFile(Installed(name));
    ASSERT_GE(left.size(), 65536u);
    ASSERT_LT(left.size(), data.size());
    EXPECT_EQ(left, data.substr(0, left.size()));

    testsupport::NginxServer fast;
    ASSERT_TRUE(fast.Start(root.NarrowPath()));
    Personalise(fast.BaseUrl());
    std::string log = RunLauncher();
    EXPECT_TRUE(ClientInstalled()) << log;
    EXPECT_EQ(Fetched(log), (std::vector<std::string>{"data.pkg", "docs.pkg"}));
    EXPECT_NE(log.find("(begin: " + std::to_string(left.size()) +
                       ", length: " + std::to_string(data.size() - left.size()) + ")"),
              std::string::npos)
        << log;
}

TEST_F(UpdateRunTest, TerminationRequestClosesTheRunLikeItsCloseButton) {
    Publish();
    testsupport::NginxServer nginx;
    ASSERT_TRUE(nginx.Start(root.NarrowPath(), {}, 2 * 1024 * 1024));
    Personalise(nginx.BaseUrl());
    plat::Process run;
    ASSERT_TRUE(StartLauncherUntil(&run, [&] {
        return LauncherLog().find("data.pkg?1.0.1 (begin: 0") != std::string::npos;
    })) << LauncherLog();
    ::kill(static_cast<pid_t>(run.Id()), SIGTERM);
    ASSERT_TRUE(run.Wait(e2e::kWatchdogMs));
    std::uint32_t code = 1;
    EXPECT_TRUE(run.GetExitCode(&code));
    EXPECT_EQ(code, 0u);
    std::string log = LauncherLog();
    EXPECT_NE(log.find("CLogic::OnBtnClicked: ID_BTN_CAPTION_CLOSE\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("--- Uninit finished ---"), std::string::npos);
    EXPECT_NE(log.find("Launcher finished"), std::string::npos);
}

} // namespace
