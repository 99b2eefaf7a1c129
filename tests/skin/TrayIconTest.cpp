#include "skin/TrayIcon.h"

#include "skin/Dialog.h"

#include <gtest/gtest.h>

namespace {

class Quiet final : public plat::IWindowHandler {
public:
    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t, plat::WPARAM, plat::LPARAM,
                                      const plat::CopyData*) override {
        return 0;
    }
};

// The commands the window got, in order.
std::vector<plat::WPARAM> Commands(plat::HWND window) {
    std::vector<plat::WPARAM> commands;
    plat::Msg msg;
    while (plat::PeekMessage(&msg)) {
        if (msg.window == window && msg.message == CDialog::kCommandMessage)
            commands.push_back(msg.wParam);
    }
    return commands;
}

} // namespace

TEST(HeadlessTrayIcon, KeepsWhatWouldBeShownWithinTheNotificationAreasLimits) {
    skin::CHeadlessTrayIcon tray;
    // Nothing can change before the icon is there.
    EXPECT_FALSE(tray.SetTooltip(L"early"));
    EXPECT_FALSE(tray.ShowBalloon(L"title", L"text"));
    EXPECT_FALSE(tray.Remove());

    ASSERT_TRUE(tray.Add(42, 2725, std::wstring(300, L'a')));
    EXPECT_TRUE(tray.Shown());
    EXPECT_EQ(tray.CallbackMessage(), 2725u);
    EXPECT_EQ(tray.Tooltip(), std::wstring(skin::kTrayTooltipChars, L'a'));
    ASSERT_TRUE(tray.SetTooltip(L"Downloading 42.0%"));
    EXPECT_EQ(tray.Tooltip(), L"Downloading 42.0%");
    ASSERT_TRUE(tray.ShowBalloon(std::wstring(100, L't'), std::wstring(400, L'x')));
    EXPECT_EQ(tray.BalloonTitle().size(), skin::kTrayBalloonTitleChars);
    EXPECT_EQ(tray.BalloonText().size(), skin::kTrayBalloonTextChars);

    ASSERT_TRUE(tray.Remove());
    EXPECT_FALSE(tray.Shown());
    EXPECT_TRUE(tray.Tooltip().empty());
    EXPECT_TRUE(tray.BalloonText().empty());
    // Shown again, it starts without the old balloon.
    ASSERT_TRUE(tray.Add(42, 2725, L"again"));
    EXPECT_EQ(tray.AddCount(), 2);
    EXPECT_TRUE(tray.BalloonTitle().empty());
}

TEST(HeadlessTrayIcon, AChosenMenuItemReachesTheOwnerAsItsCommand) {
    Quiet handler;
    const plat::HWND owner = plat::CreateWindow(L"TrayTestOwner", L"", &handler, true);
    ASSERT_NE(owner, 0u);
    skin::CHeadlessTrayIcon tray;
    ASSERT_TRUE(tray.Add(owner, 2725, L"tip"));
    const std::vector<skin::TrayMenuItem> menu = {{101, L"Show"}, {0, L""}, {102, L"Exit"}};

    tray.TrackMenu(menu); // left without a choice
    EXPECT_TRUE(Commands(owner).empty());
    EXPECT_EQ(tray.LastMenu().size(), 3u);

    tray.ChooseFromNextMenu(102);
    tray.TrackMenu(menu);
    EXPECT_EQ(Commands(owner), (std::vector<plat::WPARAM>{102}));
    // The choice holds for one menu only, and an id the menu lacks is none.
    tray.TrackMenu(menu);
    tray.ChooseFromNextMenu(999);
    tray.TrackMenu(menu);
    EXPECT_TRUE(Commands(owner).empty());
    plat::DestroyWindow(owner);
}
