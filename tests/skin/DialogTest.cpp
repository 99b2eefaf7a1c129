// The dialog: loading failures and their codes, size variants and the
// window shape of each, the bottom strip, unknown steps, ids and
// FindControl, closing through the window manager, the step text, the
// language switch reloading every step's pictures, and moving the window by
// its background.

#include "SkinTestSupport.h"
#include "skin/SkinButton.h"
#include "skin/SkinForm.h"
#include "skin/SkinMessages.h"
#include "skin/SkinStatic.h"

#include <gtest/gtest.h>

namespace skintest {
namespace {

// A 300 x 200 background with transparent 20-pixel squares in the top-left
// and bottom-right corners and a cyan bottom strip of 10 rows.
plat::Bitmap Background() {
    plat::Bitmap back = Solid(300, 200, kBack);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            if ((x < 20 && y < 20) || (x >= 280 && y >= 180))
                back.SetPixel(x, y, 0);
            else if (y >= 190)
                back.SetPixel(x, y, Opaque(kCyan));
        }
    return back;
}

class SkinDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        members.members["t\\back.png"] = Png(Background());
        members.members["t\\en_pic.png"] = Png(Solid(10, 10, kRed));
        members.members["t\\de_pic.png"] = Png(Solid(10, 10, kGreen));
        members.members["t\\pic.png"] = Png(Solid(10, 10, kGrey));
        members.members["t\\solid.png"] = Png(Solid(40, 20, kBlue));
        members.members["t\\pill.png"] = Png(Solid(60, 16, kYellow));
        dialog.Theme().SetLanguagePrefix("en_");
    }
    static std::string Theme(const std::string& steps, const std::string& shared = "",
                             const std::string& common = "<region/>") {
        return "<config><common>" + common + "</common><forms>" + steps + shared +
               "</forms></config>";
    }
};

TEST_F(SkinDialogTest, ThemeWithoutRegionOrStepsFailsWithCodeOne) {
    EXPECT_FALSE(Load("<config><common/><forms><step num='1'/></forms></config>"));
    EXPECT_EQ(dialog.InitError(), CDialog::kInitNoRegionOrSteps);
    EXPECT_FALSE(dialog.IsCreated());
    EXPECT_FALSE(Load("<config><common><region/></common></config>"));
    EXPECT_EQ(dialog.InitError(), CDialog::kInitNoRegionOrSteps);
    EXPECT_FALSE(Load(Theme("")));
    EXPECT_EQ(dialog.InitError(), CDialog::kInitNoRegionOrSteps);
}

TEST_F(SkinDialogTest, StepWithoutValidNumberFailsWithCodeThree) {
    EXPECT_FALSE(Load(Theme("<step num='1'/><step img='back.png'/>")));
    EXPECT_EQ(dialog.InitError(), CDialog::kInitStepFailed);
    EXPECT_FALSE(Load(Theme("<step num='two'/>")));
    EXPECT_EQ(dialog.InitError(), CDialog::kInitStepFailed);
    // A step without a picture loads but has no shape.
    ASSERT_TRUE(Load(Theme("<step num='1'/>")));
    EXPECT_EQ(dialog.Form(0)->VariantCount(), 0);
}

TEST_F(SkinDialogTest, AlphaSenseOutsideTheByteFallsBackTo50) {
    for (const auto& [value, expected] :
         std::vector<std::pair<std::string, int>>{{"300", 50}, {"-1", 50}, {"80", 80}, {"x", 50}}) {
        dialog.Destroy();
        ASSERT_TRUE(Load(Theme("<step num='1'/>", "", "<region alphaSense='" + value + "'/>")));
        EXPECT_EQ(dialog.Theme().alphaSense, expected) << value;
    }
}

TEST_F(SkinDialogTest, SizeVariantsSkipBadOnesAndStopAtTheFirstMissing) {
    ASSERT_TRUE(Load(Theme("<step num='1' img='back.png' size0='300,200' size1='300,150' "
                           "size2='400,200' size3='-10,20' size4='0,10' size5='250,200' "
                           "size7='100,100'/>")));
    const skin::CSkinForm* form = dialog.Form(0);
    ASSERT_EQ(form->VariantCount(), 3);
    EXPECT_EQ(form->Variant(1), (plat::Size{300, 150}));
    EXPECT_EQ(form->Variant(2), (plat::Size{250, 200}));
}

TEST_F(SkinDialogTest, EachVariantGetsItsSizeAndShape) {
    ASSERT_TRUE(Load(Theme("<step num='1' img='back.png' down='10' size0='300,200' "
                           "size1='300,150' size2='250,200'/>")));
    ASSERT_TRUE(Show(1, 0));
    plat::HeadlessSurface* surface = DialogSurface();
    ASSERT_TRUE(surface->Shape());
    EXPECT_EQ(surface->Bounds().Width(), 300);
    EXPECT_FALSE(surface->Shape()->Contains(5, 5));
    EXPECT_TRUE(surface->Shape()->Contains(25, 25));
    EXPECT_FALSE(surface->Shape()->Contains(290, 190));
    // The first step shown is centred on the screen.
    EXPECT_EQ(surface->Bounds().left, (1024 - 300) / 2);

    // Shorter: the bottom-right corner moves up with the window's bottom,
    // and the last 10 rows of the picture are drawn at the new bottom.
    ASSERT_TRUE(Show(1, 1));
    EXPECT_EQ(surface->Bounds().Height(), 150);
    EXPECT_FALSE(surface->Shape()->Contains(290, 140));
    EXPECT_TRUE(surface->Shape()->Contains(290, 100));
    EXPECT_FALSE(surface->Shape()->Contains(5, 5));
    EXPECT_EQ(Probe(150, 145), Opaque(kCyan));
    EXPECT_EQ(Probe(150, 135), Opaque(kBack));

    // Narrower: the corner moves left with the window's right edge.
    ASSERT_TRUE(Show(1, 2));
    EXPECT_EQ(surface->Bounds().Width(), 250);
    EXPECT_FALSE(surface->Shape()->Contains(240, 190));
    EXPECT_TRUE(surface->Shape()->Contains(200, 190));

    // A variant beyond the list keeps the size and shape.
    const plat::Region before = *surface->Shape();
    ASSERT_TRUE(Show(1, 9));
    EXPECT_EQ(surface->Bounds().Width(), 250);
    EXPECT_EQ(*surface->Shape(), before);
}

TEST_F(SkinDialogTest, UnknownStepChangesNothing) {
    ASSERT_TRUE(Load(Theme("<step num='1' img='back.png' size0='300,200'/>"
                           "<step num='2' img='back.png' size0='300,200'>"
                           "<sprite pt='50,50' img='pic.png'/></step>")));
    ASSERT_TRUE(Show(1));
    EXPECT_FALSE(Show(7));
    EXPECT_EQ(dialog.CurrentStep(), 1);
    // The other step's controls stay hidden.
    EXPECT_FALSE(dialog.Form(1)->GetControl(0)->IsWindowVisible());
    ASSERT_TRUE(Show(2));
    EXPECT_TRUE(dialog.Form(1)->GetControl(0)->IsWindowVisible());
}

TEST_F(SkinDialogTest, FindControlGivesTheFirstOfSharedIdsAndUnknownNamesHaveNone) {
    ASSERT_TRUE(Load(Theme("<step num='1' img='back.png'><sprite func='close' pt='1,1' "
                           "img='pic.png'/><sprite func='bogus' pt='2,2' img='pic.png'/></step>"
                           "<step num='2' img='back.png'><sprite func='close' pt='3,3' "
                           "img='pic.png'/><sprite func='headline_dest_info' pt='4,4' "
                           "img='pic.png'/></step>")));
    EXPECT_EQ(dialog.FindControl(12345), dialog.Form(0)->GetControl(0));
    EXPECT_EQ(dialog.Form(0)->GetControl(1)->ControlId(), -1);
    EXPECT_EQ(dialog.FindControl(-1), nullptr);
    EXPECT_EQ(dialog.FindControl(12423), dialog.Form(1)->GetControl(1));
    EXPECT_EQ(dialog.FindControl(12350), nullptr);
}

TEST_F(SkinDialogTest, ClosingTheWindowAndEscapeDeliverTheCloseButton) {
    ASSERT_TRUE(Load(Theme("<step num='1' img='back.png' size0='300,200'/>")));
    ASSERT_TRUE(Show(1));
    presenter->RequestClose(*DialogSurface());
    Pump();
    presenter->KeyDown(plat::VK_ESCAPE);
    Pump();
    // A click a control posts arrives the same way.
    ASSERT_TRUE(dialog.Click(12350));
    Pump();
    EXPECT_EQ(notify.clicks, (std::vector<int>{12345, 12345, 12350}));
}

TEST_F(SkinDialogTest, StepTextShowsThePageNumberUnlessItIsZeroOrHidden) {
    strings[41] = L"STEP %d/%d";
    ASSERT_TRUE(Load(Theme("<step num='1' img='back.png' size0='300,200'/>"
                           "<step num='2' img='back.png' size0='300,200'/>",
                           "<sprite_stepbg pt='200,10' img='pill.png'/>"
                           "<text_step pt='200,10' size='60,16' fontName='Arial' fontSize='-11' "
                           "transparentBg='1'/>")));
    dialog.SetPageTotal(5);
    dialog.SetStepNumber(2, 3);
    dialog.SetStepNumber(9, 4); // beyond the steps: ignored
    ASSERT_TRUE(Show(2));
    ASSERT_TRUE(dialog.StepText());
    EXPECT_EQ(dialog.StepText()->Label(), L"STEP 3/5");
    EXPECT_TRUE(dialog.StepText()->IsWindowVisible());
    EXPECT_EQ(dialog.StepText()->WindowRect(), plat::Rect::FromSize(200, 10, 60, 16));
    EXPECT_EQ(Probe(202, 24), Opaque(kYellow)); // the pill below the text
    ASSERT_TRUE(Show(1));
    EXPECT_FALSE(dialog.StepText()->IsWindowVisible());
    EXPECT_FALSE(dialog.StepBackground()->IsWindowVisible());
    dialog.SetNumberingHidden(true);
    ASSERT_TRUE(Show(2));
    EXPECT_FALSE(dialog.StepText()->IsWindowVisible());
}

TEST_F(SkinDialogTest, LanguageChangeReloadsThePicturesOfEveryStep) {
    strings[111] = L"Launcher";
    ASSERT_TRUE(Load(Theme("<step num='1' img='back.png' size0='300,200'>"
                           "<sprite pt='40,40' img='pic.png'/></step>"
                           "<step num='2' img='back.png' size0='300,200'>"
                           "<sprite pt='40,40' img='pic.png'/></step>",
                           "<text_caption func='caption' pt='30,2' size='200,16' "
                           "fontName='Arial' fontSize='-11' transparentBg='1'/>")));
    dialog.SetProductName(L"Game");
    ASSERT_TRUE(Show(1));
    EXPECT_EQ(Probe(45, 45), Opaque(kRed));
    // While step 1 shows, the language changes; step 2, shown later, must
    // show the new language's picture too.
    strings[111] = L"Starter";
    dialog.ChangeLanguage("de_", 0);
    Pump();
    EXPECT_EQ(Probe(45, 45), Opaque(kGreen));
    ASSERT_TRUE(Show(2));
    EXPECT_EQ(Probe(45, 45), Opaque(kGreen));
    EXPECT_EQ(dialog.CaptionText()->Label(), L"Game Starter");
    // A language without its own picture falls back to the plain one.
    dialog.ChangeLanguage("ru_", 0);
    Pump();
    EXPECT_EQ(Probe(45, 45), Opaque(kGrey));
}

TEST_F(SkinDialogTest, DraggingTheBackgroundMovesTheWindowAndLocksItsSize) {
    ASSERT_TRUE(Load(Theme("<step num='1' img='back.png' size0='300,200' size1='300,150'/>")));
    ASSERT_TRUE(Show(1));
    const plat::Rect before = DialogSurface()->Bounds();
    Press(100, 100);
    EXPECT_TRUE(dialog.InMove());
    presenter->MoveMouse(plat::Point{before.left + 160, before.top + 130});
    Pump();
    // A step shown during the move keeps the size it gave the window.
    ASSERT_TRUE(dialog.ShowStep(1, 1));
    EXPECT_TRUE(dialog.SizeLocked());
    Release();
    EXPECT_FALSE(dialog.InMove());
    EXPECT_FALSE(dialog.SizeLocked());
    const plat::Rect after = DialogSurface()->Bounds();
    EXPECT_EQ(after.left, before.left + 60);
    EXPECT_EQ(after.top, before.top + 30);
    EXPECT_EQ(after.Height(), 150);
    EXPECT_TRUE(notify.clicks.empty());
}

TEST_F(SkinDialogTest, AnimationAdvancesTheWaitingBar) {
    members.members["t\\track.png"] = Png(Solid(100, 4, kGrey));
    members.members["t\\bar.png"] = Png(Solid(20, 4, kRed));
    ASSERT_TRUE(Load(Theme("<step num='1' img='back.png' size0='300,200'>"
                           "<spriteRange pt='40,60' imgBg='track.png' imgBar='bar.png'/></step>",
                           "", "<region/><animation use='1' timerElapse='3'/>")));
    ASSERT_TRUE(dialog.IsAnimating());
    ASSERT_TRUE(Show(1));
    EXPECT_EQ(Probe(45, 61), Opaque(kRed));
    auto* range = dynamic_cast<skin::CSkinSpriteRange*>(dialog.Form(0)->GetControl(0));
    ASSERT_TRUE(range);
    EXPECT_EQ(range->Range(), 80);
    PumpFor(120);
    EXPECT_GT(dialog.Theme().animationPosition, 8);
    const int offset = skin::CSkinSpriteRange::BarOffset(range->Position(), 80);
    EXPECT_EQ(Probe(40 + offset + 10, 61), Opaque(kRed));
    if (offset > 10) {
        EXPECT_EQ(Probe(45, 61), Opaque(kGrey));
    }
    // The sweep goes out and back: range 50, position 130 is at 30, 180 at 20.
    EXPECT_EQ(skin::CSkinSpriteRange::BarOffset(130, 50), 30);
    EXPECT_EQ(skin::CSkinSpriteRange::BarOffset(180, 50), 20);
}

TEST_F(SkinDialogTest, PostedMessagesCarryingPointersAreRefused) {
    ASSERT_TRUE(Load(Theme("<step num='1' img='back.png' size0='300,200'>"
                           "<text func='folder' pt='10,10' size='100,20' fontName='Arial' "
                           "fontSize='-12' text='kept'/>"
                           "<edit func='mbox_edit' pt='10,40' size='100,20'/></step>")));
    ASSERT_TRUE(Show(1));
    // Anyone may post into the queue: a pointer from there is never
    // followed, whatever window it is posted to.
    const plat::LPARAM bogus = 0x10;
    auto* text = dialog.FindControlAs<skin::CSkinText>(12404);
    skin::CSkinWindow* edit = dialog.FindControl(12417)->GetWindow();
    plat::PostMessage(text->Handle(), skin::WM_SETTEXT, 0, bogus);
    plat::PostMessage(text->Handle(), skin::WM_GETTEXT, 0, bogus);
    plat::PostMessage(edit->Handle(), skin::OCM_BASE + skin::WM_CTLCOLOREDIT, bogus, 0);
    plat::PostMessage(dialog.Window(), skin::WM_CTLCOLOREDIT, bogus,
                      static_cast<plat::LPARAM>(edit->Handle()));
    plat::PostMessage(dialog.Window(), skin::WM_DRAWITEM, 12404, bogus);
    plat::PostMessage(dialog.Window(), skin::WM_INITDIALOG, 0, bogus);
    Pump();
    EXPECT_EQ(text->Label(), L"kept");
    EXPECT_EQ(dialog.FormCount(), 1);
    // Numbers still arrive: a posted click is a click.
    plat::PostMessage(dialog.Window(), skin::WM_COMMAND, 12404, 0);
    Pump();
    EXPECT_EQ(notify.clicks, std::vector<int>{12404});
}

TEST_F(SkinDialogTest, OwnerHandlersGetTheLaunchersMessagesAndTimersFirst) {
    struct Seen {
        std::vector<std::uint32_t> messages;
        std::vector<std::uint64_t> timers;
    } seen;
    dialog.SetUserMessageCallback(
        &seen, [](void* context, std::uint32_t message, plat::WPARAM, plat::LPARAM) {
            static_cast<Seen*>(context)->messages.push_back(message);
            return true;
        });
    dialog.SetTimerCallback(&seen, [](void* context, std::uint64_t id) {
        static_cast<Seen*>(context)->timers.push_back(id);
        return id == 2222;
    });
    ASSERT_TRUE(Load(Theme("<step num='1' img='back.png' size0='300,200'/>")));
    for (std::uint32_t message : {2323u, 2324u, 2824u, 2825u})
        plat::PostMessage(dialog.Window(), message, 0, 0);
    dialog.SetTimer(2222, 10);
    PumpFor(40);
    dialog.KillTimer(2222);
    EXPECT_EQ(seen.messages, (std::vector<std::uint32_t>{2324u, 2824u}));
    ASSERT_FALSE(seen.timers.empty());
    EXPECT_EQ(seen.timers.front(), 2222u);
}

} // namespace
} // namespace skintest
