// The button family by scripted mouse input on the headless presenter, read
// back pixel by pixel: the four looks, the pressed state following the
// pointer, clicks, disabled buttons, clicks through transparent pixels,
// nine-slice drawing, labels fitted to their text, the icon layout, check
// boxes with their labels, toggle buttons, and textures of the wrong piece
// count.

#include "SkinTestSupport.h"
#include "log/LogImplW.h"
#include "platform/Unicode.h"
#include "skin/SkinButton.h"
#include "skin/SkinForm.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace skintest {
namespace {

const std::string kFonts = "<fontN fontName='Arial' fontSize='-14' fontColor='255,255,255'/>"
                           "<fontH fontName='Arial' fontSize='-14' fontColor='255,255,255'/>"
                           "<fontP fontName='Arial' fontSize='-14' fontColor='255,255,255'/>"
                           "<fontD fontName='Arial' fontSize='-14' fontColor='255,255,255'/>";

class ButtonTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        members.members["t\\states.png"] = Png(SolidPieces(60, 30, {kRed, kGreen, kBlue, kGrey}));
    }
};

TEST_F(ButtonTest, LooksFollowTheMouseAndAReleaseOverTheButtonClicks) {
    ASSERT_TRUE(LoadStep("<buttontext func='next' pt='100,100' texture='states.png' "
                         "ignoreText='1'>" +
                         kFonts + "</buttontext>"));
    auto* button = StepControl<skin::CSkinButtonText>(0);
    ASSERT_TRUE(button);
    EXPECT_EQ(button->GetRect(), plat::Rect::FromSize(100, 100, 60, 30));
    EXPECT_EQ(Probe(130, 115), Opaque(kRed));
    MoveTo(130, 115);
    EXPECT_EQ(Probe(130, 115), Opaque(kGreen));
    Press(130, 115);
    EXPECT_EQ(Probe(130, 115), Opaque(kBlue));
    // Held, the pointer leaves: the button comes up; back over it, down.
    MoveTo(20, 20);
    EXPECT_EQ(Probe(130, 115), Opaque(kRed));
    MoveTo(131, 116);
    EXPECT_EQ(Probe(130, 115), Opaque(kBlue));
    Release();
    EXPECT_EQ(notify.clicks, std::vector<int>{12350});
    EXPECT_EQ(Probe(130, 115), Opaque(kRed)); // up, and no move since
    MoveTo(132, 116);
    EXPECT_EQ(Probe(130, 115), Opaque(kGreen));
    MoveTo(20, 20);
    EXPECT_EQ(Probe(130, 115), Opaque(kRed));

    // Released away from the button: no click.
    Press(130, 115);
    MoveTo(20, 20);
    Release();
    EXPECT_EQ(notify.clicks.size(), 1u);
}

TEST_F(ButtonTest, DisabledButtonIgnoresTheMouseAndNeverShowsHover) {
    ASSERT_TRUE(LoadStep("<buttontext func='next' pt='100,100' texture='states.png' "
                         "ignoreText='1'>" +
                         kFonts + "</buttontext>"));
    auto* button = StepControl<skin::CSkinButtonText>(0);
    button->SetEnabled(false);
    Pump();
    EXPECT_EQ(Probe(130, 115), Opaque(kGrey));
    MoveTo(130, 115);
    EXPECT_EQ(Probe(130, 115), Opaque(kGrey));
    ClickAt(130, 115);
    EXPECT_TRUE(notify.clicks.empty());
    EXPECT_EQ(Probe(130, 115), Opaque(kGrey));
    // The press did not move the window either: the button took it.
    button->SetEnabled(true);
    Pump();
    EXPECT_EQ(Probe(130, 115), Opaque(kRed)); // hover was cleared
}

TEST_F(ButtonTest, ClickOnATransparentPixelMovesTheWindowInstead) {
    // Each piece: the left half transparent, the right half opaque.
    std::vector<plat::Bitmap> pieces;
    for (plat::COLORREF c : {kRed, kGreen, kBlue, kGrey}) {
        plat::Bitmap piece = Solid(60, 30, c);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x)
                piece.SetPixel(x, y, 0);
        pieces.push_back(piece);
    }
    members.members["t\\half.png"] = Png(PieceRow(pieces));
    ASSERT_TRUE(LoadStep("<buttontext func='back' pt='100,100' texture='half.png' "
                         "ignoreText='1'>" +
                         kFonts + "</buttontext>"));
    const plat::Rect before = DialogSurface()->Bounds();
    Press(110, 110);
    presenter->MoveMouse(plat::Point{before.left + 140, before.top + 130});
    Release();
    EXPECT_TRUE(notify.clicks.empty());
    EXPECT_EQ(DialogSurface()->Bounds().left, before.left + 30);
    ClickAt(145, 115);
    EXPECT_EQ(notify.clicks, std::vector<int>{12349});
}

TEST_F(ButtonTest, NineSliceKeepsCornersAndStretchesTheMiddle) {
    // Per state: corners 4 x 4 red, edges green, centre blue (the state's
    // looks differ by the corner colour for the disabled state only).
    std::vector<plat::Bitmap> blocks;
    auto block = [](plat::COLORREF corner) {
        std::vector<std::vector<plat::Bitmap>> rows(3);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                const bool isCorner = r != 1 && c != 1;
                const bool isCentre = r == 1 && c == 1;
                rows[static_cast<std::size_t>(r)].push_back(Solid(c == 1 ? 2 : 4, r == 1 ? 2 : 4,
                                                                  isCorner   ? corner
                                                                  : isCentre ? kBlue
                                                                             : kGreen));
            }
        return rows;
    };
    // Lay the 36 pieces out: four blocks one below the other, each three
    // rows of three pieces.
    plat::Bitmap texture;
    ASSERT_TRUE(texture.Create(1 + 4 + 1 + 2 + 1 + 4 + 1, 1 + 4 * (4 + 1 + 2 + 1 + 4 + 1)));
    for (int y = 0; y < texture.Height(); ++y)
        for (int x = 0; x < texture.Width(); ++x)
            texture.SetPixel(x, y, Opaque(plat::RGB(255, 0, 255)));
    int y0 = 1;
    for (plat::COLORREF corner : {kRed, kRed, kRed, kGrey}) {
        auto rows = block(corner);
        int y = y0;
        for (int r = 0; r < 3; ++r) {
            int x = 1;
            for (const plat::Bitmap& piece : rows[static_cast<std::size_t>(r)]) {
                for (int py = 0; py < piece.Height(); ++py)
                    for (int px = 0; px < piece.Width(); ++px)
                        texture.SetPixel(x + px, y + py, piece.Pixel(px, py));
                x += piece.Width() + 1;
            }
            y += rows[static_cast<std::size_t>(r)][0].Height() + 1;
        }
        y0 = y;
    }
    members.members["t\\nine.png"] = Png(texture);
    ASSERT_TRUE(LoadStep("<buttontext func='next' pt='50,50' size='100,40' texture='nine.png' "
                         "ignoreText='1'>" +
                         kFonts +
                         "</buttontext>"
                         "<buttontext func='back' pt='200,50' size='3,3' "
                         "texture='nine.png' ignoreText='1'>" +
                         kFonts + "</buttontext>"));
    ASSERT_EQ(StepControl<skin::CSkinButtonText>(0)->PieceCount(), 36u);
    EXPECT_EQ(Probe(51, 51), Opaque(kRed));
    EXPECT_EQ(Probe(148, 88), Opaque(kRed));
    EXPECT_EQ(Probe(100, 51), Opaque(kGreen));
    EXPECT_EQ(Probe(51, 70), Opaque(kGreen));
    EXPECT_EQ(Probe(100, 70), Opaque(kBlue));
    StepControl<skin::CSkinButtonText>(0)->SetEnabled(false);
    Pump();
    EXPECT_EQ(Probe(51, 51), Opaque(kGrey));
    // Smaller than its corners: drawn without harm, cells overlapping.
    EXPECT_EQ(Probe(201, 51), Opaque(kRed));
}

TEST_F(ButtonTest, ButtonWithoutPicturesFitsItsLabelUpToItsSize) {
    ASSERT_TRUE(LoadStep("<buttontext func='mbox_link' pt='20,20' size='200,24' text='Hi' "
                         "offset='2,0'>" +
                         kFonts + "</buttontext>"));
    auto* link = StepControl<skin::CSkinButtonText>(0);
    ASSERT_TRUE(link->HasNoImage());
    EXPECT_EQ(link->GetRect().Width(), 2 + link->LabelWidth(0) + 3);
    EXPECT_EQ(link->GetRect().Height(), 24);
    link->SetWindowText(L"A much longer label that will not fit in two hundred pixels");
    EXPECT_EQ(link->GetRect().Width(), 200);
    EXPECT_EQ(link->WindowRect().Width(), 200);
    // The whole rectangle takes clicks.
    ClickAt(150, 30);
    EXPECT_EQ(notify.clicks, std::vector<int>{12418});
}

TEST_F(ButtonTest, LabelsFollowTheCaseOfTheDisabledFont) {
    ASSERT_TRUE(
        LoadStep("<buttontext func='next' pt='20,20' texture='states.png' text='weiter'>"
                 "<fontD fontName='Arial' fontSize='-12' fontUpCase='upper'/></buttontext>"
                 "<buttontext func='back' pt='20,60' texture='states.png' text='X'>"
                 "<fontD fontName='Arial' fontSize='-12' fontUpCase='lower'/></buttontext>"));
    EXPECT_EQ(StepControl<skin::CSkinButtonText>(0)->Label(), L"WEITER");
    StepControl<skin::CSkinButtonText>(0)->SetWindowText(L"\u0434\u0430\u043b\u0435\u0435");
    EXPECT_EQ(StepControl<skin::CSkinButtonText>(0)->Label(), L"\u0414\u0410\u041b\u0415\u0415");
    StepControl<skin::CSkinButtonText>(1)->SetWindowText(L"\u00dcBER");
    EXPECT_EQ(StepControl<skin::CSkinButtonText>(1)->Label(), L"\u00fcber");
    // Without a profile the other states copy the disabled font.
    EXPECT_EQ(StepControl<skin::CSkinButtonText>(0)->StateFont(skin::kStateNormal).caseMode,
              skin::kCaseUpper);
    // A button without a disabled font and without a profile does not load.
    dialog.Destroy();
    ASSERT_TRUE(LoadStep("<buttontext func='next' pt='20,20' texture='states.png'/>"));
    EXPECT_EQ(dialog.Form(0)->GetControlCount(), 0);
}

TEST_F(ButtonTest, IconButtonPlacesTheIconBesideTheLabel) {
    members.members["t\\icons.png"] = Png(SolidPieces(16, 16, {kYellow, kYellow, kYellow, kGrey}));
    // Find a label exactly 40 pixels wide in the font, as a layout example.
    auto font = plat::Font::Create(plat::LogFont{-16, 0, false, false, false, L"Arial"});
    std::wstring label;
    for (const wchar_t* candidate : {L"xxxxx", L"nnnnn", L"eeeee", L"ooooo", L"uuuuu"})
        if (font->TextExtent(candidate).cx == 40)
            label = candidate;
    ASSERT_FALSE(label.empty()) << "no 40-pixel label in this font";
    const std::string fonts = "<fontD fontName='Arial' fontSize='-16'/>";
    ASSERT_TRUE(LoadStep("<buttonicontext func='next' pt='20,20' size='100,30' "
                         "texture='states.png' textureIcon='icons.png' iconBorder='4' text='" +
                         plat::WideToUtf8(label) + "' offset='0,0'>" + fonts +
                         "</buttonicontext>"
                         "<buttonicontext func='back' pt='20,60' size='100,30' "
                         "texture='states.png' textureIcon='icons.png' iconBorder='4' "
                         "textAlign='right' text='" +
                         plat::WideToUtf8(label) + "' offset='0,0'>" + fonts +
                         "</buttonicontext>"));
    auto* left = StepControl<skin::CSkinIconButtonText>(0);
    auto* right = StepControl<skin::CSkinIconButtonText>(1);
    const plat::Rect item{0, 0, 100, 30};
    auto layout = left->LayoutFor(skin::kStateNormal, item);
    EXPECT_EQ(layout.label.left, 20);
    EXPECT_EQ(layout.label.right, 60);
    EXPECT_EQ(layout.icon.left, 64);
    EXPECT_EQ(layout.icon.right, 80);
    layout = right->LayoutFor(skin::kStateNormal, item);
    EXPECT_EQ(layout.icon.left, 20);
    EXPECT_EQ(layout.icon.right, 36);
    EXPECT_EQ(layout.label.left, 40);
    EXPECT_EQ(layout.label.right, 80);
    // Pressed, icon and label move one pixel right and down.
    EXPECT_EQ(left->LayoutFor(skin::kStatePressed, item).icon.left, 65);
    // Drawn: the icon at its place over the normal look.
    EXPECT_EQ(Probe(20 + 70, 20 + 15), Opaque(kYellow));
}

TEST_F(ButtonTest, CheckBoxTogglesWithAClickOnItsLabel) {
    // 8 pieces: N unchecked/checked, P, H, D; the checked ones yellow.
    members.members["t\\check.png"] =
        Png(SolidPieces(16, 16, {kRed, kYellow, kBlue, kYellow, kGreen, kYellow, kGrey, kYellow}));
    const std::string fonts = "<fontN fontName='Arial' fontSize='-14' fontColor='255,255,255'/>"
                              "<fontH fontName='Arial' fontSize='-14' fontColor='0,0,255'/>"
                              "<fontP fontName='Arial' fontSize='-14' fontColor='0,255,0'/>"
                              "<fontD fontName='Arial' fontSize='-14' fontColor='255,0,0'/>";
    ASSERT_TRUE(LoadStep("<checkbox func='checkbox_guest' pt='20,20' size='220,20' "
                         "texture='check.png' text='Portable installation'>" +
                         fonts + "</checkbox>"));
    auto* box = StepControl<skin::CSkinCheckBox>(0);
    ASSERT_TRUE(box);
    // Fitted to the box, 3 pixels and the label.
    EXPECT_EQ(box->GetRect().Width(),
              16 + box->TextOffset().x + box->LabelWidth(skin::kStateDisabled) + 3);
    notify.onClick = [&](int id) {
        if (id == 12393)
            box->Toggle();
    };
    auto labelHas = [&](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const plat::Rect rect = box->WindowRect();
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left + 19; x < rect.right; ++x) {
                const std::uint32_t p = Probe(x, y);
                if (plat::PixelR(p) == r && plat::PixelG(p) == g && plat::PixelB(p) == b)
                    return true;
            }
        return false;
    };
    EXPECT_EQ(Probe(28, 30), Opaque(kRed));
    EXPECT_TRUE(labelHas(255, 0, 0)); // unchecked label: the D font
    MoveTo(100, 30);
    EXPECT_EQ(Probe(28, 30), Opaque(kGreen)); // hover
    ClickAt(100, 30);                         // on the label, not the box
    EXPECT_EQ(notify.clicks, std::vector<int>{12393});
    EXPECT_TRUE(box->IsChecked());
    EXPECT_EQ(Probe(28, 30), Opaque(kYellow));
    MoveTo(280, 180);
    EXPECT_TRUE(labelHas(0, 255, 0)); // checked label: the P font
    ClickAt(25, 30);
    EXPECT_FALSE(box->IsChecked());
    // A longer label re-fits the box.
    box->SetWindowText(L"A longer label for the portable installation");
    EXPECT_EQ(box->GetRect().Width(), 220);
}

TEST_F(ButtonTest, ToggleButtonShowsItsPressedLookWhileChecked) {
    // With a profile, a button needs no fonts of its own.
    members.members["t\\back.png"] = Png(Solid(300, 200, kBack));
    ASSERT_TRUE(Load("<config><profiles><x/></profiles><common><region/></common><forms>"
                     "<step num='1' img='back.png' size0='300,200'><buttoncheck "
                     "func='button_lang1' pt='20,20' texture='states.png' profile='x'/>"
                     "</step></forms></config>"));
    ASSERT_TRUE(Show(1));
    auto* toggle = StepControl<skin::CSkinButtonCheck>(0);
    ASSERT_TRUE(toggle);
    EXPECT_EQ(Probe(50, 35), Opaque(kRed));
    toggle->SetChecked(true);
    Pump();
    EXPECT_EQ(Probe(50, 35), Opaque(kBlue));
    MoveTo(50, 35);
    EXPECT_EQ(Probe(50, 35), Opaque(kBlue));
    EXPECT_EQ(toggle->Send(skin::BM_GETCHECK), skin::BST_CHECKED);
}

TEST_F(ButtonTest, PictureButtonDrawsItsLabelPieceCentred) {
    members.members["t\\labels.png"] = Png(SolidPieces(10, 6, {kYellow, kCyan, kWhite, kGrey}));
    ASSERT_TRUE(
        LoadStep("<button func='close' pt='20,20' texture='states.png' text='labels.png'/>"));
    EXPECT_EQ(Probe(50, 35), Opaque(kYellow)); // label piece of the normal state
    EXPECT_EQ(Probe(22, 22), Opaque(kRed));
    MoveTo(22, 22);
    EXPECT_EQ(Probe(50, 35), Opaque(kCyan));
    // Its label is a picture: a text changes nothing.
    StepControl<skin::CSkinButton>(0)->SetWindowText(L"text");
    Pump();
    EXPECT_EQ(Probe(50, 35), Opaque(kCyan));
}

TEST_F(ButtonTest, TextureWithTheWrongPieceCountIsLoggedAndCountsAsMissing) {
    testsupport::TempDir dir;
    CLogImplW log;
    ASSERT_TRUE(log.Open(dir.File(L"skin.log")));
    log.SetUtf8(true);
    dialog.Theme().SetLog(&log);
    members.members["t\\five.png"] =
        Png(SolidPieces(20, 10, {kRed, kGreen, kBlue, kGrey, kYellow}));
    members.members["t\\four.png"] = Png(SolidPieces(16, 16, {kRed, kGreen, kBlue, kGrey}));
    ASSERT_TRUE(LoadStep("<buttontext func='next' pt='20,20' size='80,24' texture='five.png' "
                         "text='Next'>" +
                         kFonts +
                         "</buttontext><checkbox func='checkbox_guest' pt='20,60' size='100,20' "
                         "texture='four.png' text='Box'>" +
                         kFonts + "</checkbox>"));
    // The button falls back to its label; the check box, which needs its
    // texture, is not made at all.
    ASSERT_EQ(dialog.Form(0)->GetControlCount(), 1);
    auto* button = StepControl<skin::CSkinButtonText>(0);
    EXPECT_EQ(button->PieceCount(), 0u);
    EXPECT_TRUE(button->HasNoImage());
    log.Close();
    const std::string text = testsupport::ReadTestFile(dir.File(L"skin.log"));
    EXPECT_NE(text.find("texture \"five.png\" of \"next\" has 5 pieces, 4 or 36 expected"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("texture \"four.png\" of \"checkbox_guest\" has 4 pieces, 8 expected"),
              std::string::npos)
        << text;
}

} // namespace
} // namespace skintest
