// The launcher's choice of notification-area icon in a silent download that
// finishes: on a display with a notification area the drawn icon docks
// there and its balloon's end finishes the run; on a display without one
// the icon is kept headless and the launcher's own time-out still ends the
// hidden launcher.

#include "LogicFixture.h"

#include "support/TestTrayManager.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

namespace {

using namespace logictest;

class LogicTrayTest : public LogicTest {
protected:
    void SetUp() override {
        if (!testsupport::XvfbServer::Installed())
            GTEST_SKIP() << "Xvfb is not installed";
        LogicTest::SetUp();
        server_ = std::make_unique<testsupport::XvfbServer>(640, 400);
        ASSERT_TRUE(server_->Ready()) << "Xvfb did not start";
        display_ = std::make_unique<testsupport::ScopedEnv>("DISPLAY", server_->Display());
        tray_ = std::make_unique<testsupport::TestTrayManager>(server_->Display(),
                                                               plat::Rect{340, 0, 640, 32});
    }

    // A silent downloader whose client started and whose download finished:
    // it shows the balloon and ends when the balloon does. The log.
    std::string RunFinishedSilentDownload() {
        CLogic logic;
        LogicFailure failure;
        EXPECT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
        HookedView view(&log);
        logic.SetWizardView(&view);
        logic.SetSilentMode(true);
        logic.SetBalloonTimeout(300);
        view.onFirstPage = [&] {
            const plat::HWND window = logic.DialogWindow();
            EXPECT_TRUE(plat::PostMessage(window, eWindowsMessage_Exit, 0, 0));
            EXPECT_TRUE(plat::PostMessage(window, eWindowsMessage_Exit, 2, 0));
        };
        EXPECT_TRUE(logic.Run(&failure)) << failure.text;
        return LogText();
    }

    std::unique_ptr<testsupport::XvfbServer> server_;
    std::unique_ptr<testsupport::ScopedEnv> display_;
    std::unique_ptr<testsupport::TestTrayManager> tray_;
};

TEST_F(LogicTrayTest, TheDisplaysNotificationAreaShowsTheIconAndItsBalloonEndsTheRun) {
    ASSERT_TRUE(tray_->Start());
    const std::string text = RunFinishedSilentDownload();
    // The drawn icon asked the tray for a place, once, and left it at the end.
    EXPECT_EQ(tray_->Requests(), 1);
    EXPECT_TRUE(tray_->Icons().empty());
    EXPECT_EQ(text.find("Tray: "), std::string::npos) << text;
    for (const char* line : {"ShowTrayIcon(true);\r\n", "ShowTrayBalloon(true);\r\n",
                             "WM_BALLOONCLICK or WM_BALLOONCLOSE - exit\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST_F(LogicTrayTest, WithoutANotificationAreaTheLaunchersOwnTimeOutEndsTheRun) {
    const std::string text = RunFinishedSilentDownload();
    EXPECT_EQ(tray_->Requests(), 0);
    EXPECT_NE(text.find("Tray: the display has no notification area\r\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("WM_BALLOONCLICK or WM_BALLOONCLOSE - exit\r\n"), std::string::npos)
        << text;
}

} // namespace
