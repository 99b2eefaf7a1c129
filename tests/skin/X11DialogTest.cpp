// The skinned dialog in a real X11 window on a virtual X server: the single
// install page of the shipped theme shows exactly as the headless presenter
// draws it (pixel for pixel), and a real pointer click on the terms check
// box reaches the launcher through the dialog.

#include "SkinTestSupport.h"
#include "Themes.h"
#include "WizardText.h"
#include "platform/Unicode.h"
#include "skin/SkinButton.h"
#include "skin/SkinForm.h"
#include "support/HermeticFonts.h"
#include "support/ScopedEnv.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>

namespace skintest {
namespace {

class X11DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::XvfbServer::Installed())
            GTEST_SKIP() << "Xvfb is not installed";
        testsupport::UseHermeticFonts();
        Pump();
        server_ = std::make_unique<testsupport::XvfbServer>(1024, 768);
        ASSERT_TRUE(server_->Ready()) << "Xvfb did not start";
        // The pointer rests in a corner, away from every control.
        ASSERT_EQ(server_->Run("xdotool mousemove 0 0"), 0);
        for (const auto& [name, bytes] : theme_.files)
            members_.members["theme_single\\" + name] = bytes;
    }

    // Builds the dialog through `presenter`, shows the install page ready
    // with its options, and paints it.
    void Build(CDialog& dialog, std::unique_ptr<plat::IPresenter> presenter,
               tinyxml2::XMLDocument& document) {
        const Language& english = ShippedLanguages().front();
        dialog.Theme().SetStrings([&english](int id) { return english.strings.at(id); });
        dialog.Theme().SetLanguagePrefix("en_");
        dialog.Theme().SetSource(&members_, "theme_single\\");
        dialog.SetProductName(kProductName);
        dialog.SetPresenter(std::move(presenter));
        ASSERT_EQ(document.Parse(theme_.files.at("config.xml").c_str()), tinyxml2::XML_SUCCESS);
        ASSERT_TRUE(dialog.Create(document.RootElement(), L"Demo Game Launcher"));
        for (int c = 0; c < dialog.FormByNum(4)->GetControlCount(); ++c) {
            skin::CSkinControl* control = dialog.FormByNum(4)->GetControl(c);
            auto texts = TextsFor(skin::ControlIdFromName(control->GetName()), english, false);
            if (!texts.empty())
                control->SetWindowText(texts.front());
        }
        dialog.FindControl(12351)->SetVisible(false);
        dialog.FindControl(12364)->SetVisible(false);
        ASSERT_TRUE(dialog.ShowStep(4, 3));
        dialog.Show(true);
    }

    std::unique_ptr<testsupport::XvfbServer> server_;
    MapMembers members_;
    const themegen::ThemeFiles theme_ = themegen::SingleTheme();
};

TEST_F(X11DialogTest, ShowsAsTheHeadlessPresenterDrawsAndTakesRealClicks) {
    testsupport::ScopedEnv display("DISPLAY", server_->Display());
    std::wstring why;
    std::unique_ptr<plat::IPresenter> x11 = plat::CreatePresenter(&why);
    ASSERT_STREQ(x11->Name(), "x11") << plat::WideToUtf8(why);
    plat::IPresenter* screen = x11.get();
    tinyxml2::XMLDocument document;
    CDialog dialog;
    RecordingNotify notify;
    dialog.SetNotify(&notify);
    Build(dialog, std::move(x11), document);
    // The X server takes a moment to map and expose the window.
    PumpFor(600);
    plat::Bitmap real;
    ASSERT_TRUE(screen->CaptureScreen(&real));

    tinyxml2::XMLDocument otherDocument;
    CDialog headless;
    auto memory = std::make_unique<plat::HeadlessPresenter>(plat::Size{1024, 768});
    plat::HeadlessPresenter* drawn = memory.get();
    Build(headless, std::move(memory), otherDocument);
    Pump();
    plat::Bitmap rendered;
    ASSERT_TRUE(drawn->CaptureScreen(&rendered));
    plat::SavePng(real, plat::Utf8ToWide(ArtefactFolder() + "/x11-theme_single-step04.png"));
    ASSERT_EQ(real.Width(), rendered.Width());
    int differing = 0;
    for (int y = 0; y < real.Height(); ++y)
        for (int x = 0; x < real.Width(); ++x)
            differing += real.Pixel(x, y) != rendered.Pixel(x, y);
    EXPECT_EQ(differing, 0);
    headless.Destroy();

    // A real click on the terms check box's label.
    auto* terms = dialog.FindControlAs<skin::CSkinCheckBox>(12355);
    ASSERT_TRUE(terms);
    notify.onClick = [&](int id) {
        if (id == 12355)
            terms->Toggle();
    };
    const plat::Rect bounds = dialog.Surface()->Bounds();
    const plat::Rect box = terms->WindowRect();
    const int x = bounds.left + box.left + box.Width() - 10;
    const int y = bounds.top + box.top + box.Height() / 2;
    ASSERT_EQ(server_->Run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                           " click 1"),
              0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (notify.clicks.empty() && std::chrono::steady_clock::now() < deadline)
        PumpFor(20);
    EXPECT_EQ(notify.clicks, std::vector<int>{12355});
    EXPECT_TRUE(terms->IsChecked());
    dialog.Destroy();
    Pump();
}

} // namespace
} // namespace skintest
