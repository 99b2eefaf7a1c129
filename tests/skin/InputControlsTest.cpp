// The controls that take more than clicks: the combo box with its drop-down
// list, the list box with its scroll bar (wheel, keys, buttons, track,
// thumb), the edit field (typing, selection, deletion), and tooltips.

#include "SkinTestSupport.h"
#include "skin/SkinComboBox.h"
#include "skin/SkinEdit.h"
#include "skin/SkinForm.h"
#include "skin/SkinListBox.h"
#include "skin/SkinMessages.h"
#include "skin/SkinToolTip.h"

#include <gtest/gtest.h>

namespace skintest {
namespace {

const std::string kComboFonts = "<fontN fontName='Arial' fontSize='-12' fontColor='255,255,255'/>"
                                "<fontH fontName='Arial' fontSize='-12' fontColor='255,255,0'/>"
                                "<fontP fontName='Arial' fontSize='-12' fontColor='255,255,255'/>"
                                "<fontD fontName='Arial' fontSize='-12' fontColor='0,0,0'/>";

class InputControlsTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        // Combo: box N, H, open, D (40 x 20), item, highlighted item (40 x 12).
        members.members["t\\combo.png"] = Png(
            PieceColumn({Solid(100, 20, kRed), Solid(100, 20, kGreen), Solid(100, 20, kBlue),
                         Solid(100, 20, kGrey), Solid(100, 12, kCyan), Solid(100, 12, kYellow)}));
        // Scroll bar: up N, H, P, down N, H, P (10 x 10), track 10 x 100,
        // thumb 10 x 20.
        members.members["t\\scroll.png"] =
            Png(PieceRow({Solid(10, 10, kRed), Solid(10, 10, kRed), Solid(10, 10, kYellow),
                          Solid(10, 10, kRed), Solid(10, 10, kRed), Solid(10, 10, kYellow),
                          Solid(10, 100, kGrey), Solid(10, 20, kWhite)}));
    }
    // The popup surfaces shown now.
    plat::HeadlessSurface* ShownPopup() const {
        for (plat::HeadlessSurface* surface : presenter->Surfaces())
            if (surface->Kind() == plat::SurfaceKind::Popup && surface->IsVisible())
                return surface;
        return nullptr;
    }
};

TEST_F(InputControlsTest, ComboDropDownSelectsTheClickedItem) {
    ASSERT_TRUE(LoadStep("<combobox func='language' pt='20,20' size='100,60' texture='combo.png' "
                         "borderColor='1,2,3'>" +
                         kComboFonts + "</combobox>"));
    auto* combo = StepControl<skin::CSkinComboBox>(0);
    ASSERT_TRUE(combo);
    ASSERT_EQ(combo->PieceCount(), 6u);
    EXPECT_EQ(combo->GetRect().Height(), 20); // as high as the box's look
    for (const wchar_t* name : {L"English", L"Deutsch", L"Russian"})
        combo->AddItem(name, 0, -1);
    combo->SetCurSel(0);
    Pump();
    EXPECT_EQ(Probe(95, 25), Opaque(kRed));
    MoveTo(95, 25);
    EXPECT_EQ(Probe(95, 25), Opaque(kGreen));

    Press(95, 25);
    Release();
    plat::HeadlessSurface* list = ShownPopup();
    ASSERT_TRUE(list);
    EXPECT_TRUE(combo->IsDroppedDown());
    // Below the box, three 12-pixel items inside a 1-pixel border.
    const plat::Rect bounds = list->Bounds();
    EXPECT_EQ(bounds.top, Screen(20, 40).y);
    EXPECT_EQ(bounds.Height(), 3 * 12 + 2);
    EXPECT_EQ(list->Picture().Pixel(0, 0), Opaque(plat::RGB(1, 2, 3)));
    EXPECT_EQ(list->Picture().Pixel(90, 1 + 5), Opaque(kYellow)); // the selection, lit
    EXPECT_EQ(list->Picture().Pixel(90, 1 + 12 + 5), Opaque(kCyan));
    // The item under the pointer lights up; a click selects it.
    presenter->MoveMouse(plat::Point{bounds.left + 90, bounds.top + 1 + 24 + 5});
    Pump();
    EXPECT_EQ(combo->HighlightedItem(), 2);
    EXPECT_EQ(list->Picture().Pixel(90, 1 + 24 + 5), Opaque(kYellow));
    presenter->PressButton(0);
    presenter->ReleaseButton(0);
    Pump();
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(combo->WindowText(), L"Russian");
    EXPECT_EQ(notify.selections,
              std::vector<unsigned>{skin::MakeCommandWord(12366, skin::CBN_SELCHANGE)});

    // A press outside the open list closes it without a choice.
    Press(95, 25);
    Release();
    ASSERT_TRUE(combo->IsDroppedDown());
    ClickAt(250, 150);
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(notify.selections.size(), 1u);

    // The keys change the selection while it is closed.
    presenter->KeyDown(plat::VK_UP);
    Pump();
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(notify.selections.size(), 2u);

    // Disabled, it ignores the mouse and shows its disabled look.
    combo->SetEnabled(false);
    ClickAt(95, 25);
    EXPECT_FALSE(combo->IsDroppedDown());
    EXPECT_EQ(Probe(95, 25), Opaque(kGrey));
}

TEST_F(InputControlsTest, ComboWithoutAMatchingItemDrawsOnlyItsBox) {
    ASSERT_TRUE(LoadStep("<combobox func='language' pt='20,20' size='100,60' texture='combo.png'>" +
                         kComboFonts + "</combobox>"));
    auto* combo = StepControl<skin::CSkinComboBox>(0);
    combo->AddItem(L"WWWWWWWW", 0, -1);
    Pump();
    // No selection: no text over the box.
    for (int x = 20; x < 120; ++x)
        ASSERT_EQ(Probe(x, 30), Opaque(kRed)) << x;
}

class ListTest : public InputControlsTest {
protected:
    // 4 rows of 18 pixels, a 100-pixel track with a 20-pixel thumb.
    bool LoadList() {
        return LoadStep("<listbox func='terms' pt='20,20' size='200,72' fontName='Arial' "
                        "fontSize='-13' fontColor='255,255,255'><scroll pt='230,10' "
                        "texture='scroll.png'/></listbox>");
    }
    void Items(int count) {
        list()->DeleteAllItems();
        for (int i = 0; i < count; ++i)
            list()->AddItem(L"line " + std::to_wstring(i));
        Pump();
    }
    skin::CSkinListBox* list() { return StepControl<skin::CSkinListBox>(0); }
};

TEST_F(ListTest, ScrollBarShowsOnlyWhileTheItemsDoNotFit) {
    ASSERT_TRUE(LoadList());
    ASSERT_EQ(list()->RowsPerPage(), 4);
    skin::CSkinScrollBar* bar = list()->ScrollBar();
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->GetRect(), plat::Rect::FromSize(230, 10, 10, 120));
    Items(4);
    EXPECT_FALSE(bar->IsWindowVisible());
    Items(10);
    EXPECT_TRUE(bar->IsWindowVisible());
    EXPECT_EQ(bar->Maximum(), 6);
    EXPECT_EQ(Probe(235, 15), Opaque(kRed));   // up button
    EXPECT_EQ(Probe(235, 25), Opaque(kWhite)); // thumb at the top
    // Hiding the list hides its bar.
    list()->SetVisible(false);
    EXPECT_FALSE(bar->IsWindowVisible());
    list()->SetVisible(true);
    EXPECT_TRUE(bar->IsWindowVisible());
}

TEST_F(ListTest, WheelAndKeysMoveTheTopIndex) {
    ASSERT_TRUE(LoadList());
    Items(10);
    MoveTo(100, 40);
    presenter->Wheel(-1); // toward the user
    Pump();
    EXPECT_EQ(list()->GetTopIndex(), 3);
    presenter->Wheel(-1);
    Pump();
    EXPECT_EQ(list()->GetTopIndex(), 6); // 5 + 3 stops at 10 - 4
    presenter->Wheel(-1);
    Pump();
    EXPECT_EQ(list()->GetTopIndex(), 6);
    EXPECT_EQ(list()->ScrollBar()->GetPos(), 6);
    presenter->Wheel(1);
    Pump();
    EXPECT_EQ(list()->GetTopIndex(), 3);
    // Over the scroll bar the wheel scrolls the list too.
    MoveTo(235, 60);
    presenter->Wheel(1);
    Pump();
    EXPECT_EQ(list()->GetTopIndex(), 0);

    ClickAt(100, 30); // focus and select item 0
    EXPECT_EQ(list()->GetSelected(), 0);
    list()->OnScrollCommand(skin::SB_THUMBPOSITION, 5);
    presenter->KeyDown(plat::VK_NEXT);
    Pump();
    EXPECT_EQ(list()->GetTopIndex(), 6);
    list()->OnScrollCommand(skin::SB_THUMBPOSITION, 2);
    presenter->KeyDown(plat::VK_PRIOR);
    Pump();
    EXPECT_EQ(list()->GetTopIndex(), 0);
    presenter->KeyDown(plat::VK_END);
    Pump();
    EXPECT_EQ(list()->GetTopIndex(), 6);
    presenter->KeyDown(plat::VK_HOME);
    Pump();
    EXPECT_EQ(list()->GetTopIndex(), 0);
    // New items take the list back to its top.
    list()->OnScrollCommand(skin::SB_BOTTOM, 0);
    list()->AddItem(L"more");
    EXPECT_EQ(list()->GetTopIndex(), 0);
}

TEST_F(ListTest, ScrollBarButtonsTrackAndThumb) {
    ASSERT_TRUE(LoadList());
    // 44 items on 4 rows: the range 0..40, as the thumb example has it.
    Items(44);
    skin::CSkinScrollBar* bar = list()->ScrollBar();
    ASSERT_EQ(bar->Maximum(), 40);
    EXPECT_EQ(bar->ThumbTopFor(10) - bar->Track().top, 20);
    EXPECT_EQ(bar->PositionForThumbTop(bar->Track().top + 20), 10);

    ClickAt(235, 125); // the down button
    EXPECT_EQ(list()->GetTopIndex(), 1);
    EXPECT_EQ(bar->HeldPart(), skin::CSkinScrollBar::kNone);
    ClickAt(235, 15); // up
    EXPECT_EQ(list()->GetTopIndex(), 0);
    ClickAt(235, 100); // the track below the thumb: a page
    EXPECT_EQ(list()->GetTopIndex(), 4);
    // While the button is held the bar repeats its command.
    Press(235, 125);
    EXPECT_EQ(bar->HeldPart(), skin::CSkinScrollBar::kDown);
    EXPECT_EQ(Probe(235, 125), Opaque(kYellow)); // pressed look
    PumpFor(450);
    Release();
    EXPECT_GT(list()->GetTopIndex(), 6);
    const int afterRepeat = list()->GetTopIndex();
    PumpFor(150);
    EXPECT_EQ(list()->GetTopIndex(), afterRepeat); // the repeat stopped

    // Dragging the thumb: the list follows while tracking, and the release
    // sets the final position.
    list()->OnScrollCommand(skin::SB_TOP, 0);
    Pump();
    const int thumbTop = bar->GetRect().top + bar->Thumb().top;
    Press(235, thumbTop + 5);
    EXPECT_EQ(bar->HeldPart(), skin::CSkinScrollBar::kThumb);
    MoveTo(235, thumbTop + 5 + 40); // half the travel
    EXPECT_EQ(list()->GetTopIndex(), 20);
    EXPECT_EQ(bar->GetPos(), 0);     // tracking leaves the bar's position
    MoveTo(235, thumbTop + 5 + 500); // beyond the track: ignored
    Release();
    EXPECT_EQ(list()->GetTopIndex(), 20);
    EXPECT_EQ(bar->GetPos(), 20);
}

TEST_F(ListTest, ClickSelectsAndTheSelectionIsDrawnOverItsHighlight) {
    members.members["t\\lit.png"] = Png(Solid(4, 18, kBlue));
    ASSERT_TRUE(LoadStep("<listbox func='terms' pt='20,20' size='200,72' fontName='Arial' "
                         "fontSize='-13' fontColor='255,255,255' fontColorH='255,255,0' "
                         "imgItemH='lit.png'/>"));
    Items(3);
    ClickAt(60, 20 + 18 + 9);
    EXPECT_EQ(list()->GetSelected(), 1);
    // The highlight at half strength over the background, under the text.
    const std::uint32_t p = Probe(210, 20 + 18 + 9);
    EXPECT_NEAR(plat::PixelB(p), (220 + 48) / 2, 2);
    EXPECT_EQ(Probe(210, 20 + 9), Opaque(kBack));
}

TEST_F(InputControlsTest, EditTakesTypingAndSelection) {
    ASSERT_TRUE(LoadStep("<edit func='mbox_edit' pt='20,20' size='200,24' bgColor='10,20,30' "
                         "fontColor='250,250,250' fontName='Arial' fontSize='-13'/>"));
    auto* edit = StepControl<skin::CSkinEdit>(0);
    ASSERT_TRUE(edit);
    EXPECT_EQ(Probe(200, 30), Opaque(plat::RGB(10, 20, 30)));
    ClickAt(100, 30);
    presenter->TypeText(L"hello world");
    Pump();
    EXPECT_EQ(edit->Text(), L"hello world");
    EXPECT_EQ(edit->Caret(), 11);
    // Shift+Left five times selects "world"; typing replaces it.
    presenter->KeyDown(plat::VK_SHIFT);
    for (int i = 0; i < 5; ++i)
        presenter->KeyDown(plat::VK_LEFT);
    presenter->KeyUp(plat::VK_SHIFT);
    Pump();
    EXPECT_EQ(edit->SelectedText(), L"world");
    presenter->TypeText(L"there");
    Pump();
    EXPECT_EQ(edit->Text(), L"hello there");
    // Backspace, Delete, Home, End.
    presenter->TypeText(L"\b");
    presenter->KeyDown(plat::VK_HOME);
    presenter->KeyDown(plat::VK_DELETE);
    Pump();
    EXPECT_EQ(edit->Text(), L"ello ther");
    EXPECT_EQ(edit->Caret(), 0);
    presenter->KeyDown(plat::VK_END);
    presenter->KeyDown(plat::VK_SHIFT);
    presenter->KeyDown(plat::VK_HOME);
    presenter->KeyUp(plat::VK_SHIFT);
    Pump();
    EXPECT_EQ(edit->SelectedText(), L"ello ther");
    // Tab and Escape are the dialog's: Escape closes.
    presenter->KeyDown(plat::VK_ESCAPE);
    Pump();
    EXPECT_EQ(notify.clicks, std::vector<int>{12345});
    // A drag with the mouse selects from where it went down.
    edit->SetWindowText(L"address");
    Pump();
    Press(20 + skin::CSkinEdit::kMargin, 30);
    MoveTo(215, 30);
    Release();
    EXPECT_EQ(edit->SelectedText(), L"address");
    presenter->TypeText(L"x");
    Pump();
    EXPECT_EQ(edit->Text(), L"x");
    // Control characters and line breaks are not typed.
    presenter->TypeText(L"\r\t");
    Pump();
    EXPECT_EQ(edit->Text(), L"x");
}

TEST_F(InputControlsTest, EditScrollsToKeepTheCaretInView) {
    ASSERT_TRUE(LoadStep("<edit func='mbox_edit' pt='20,20' size='60,24' fontName='Arial' "
                         "fontSize='-13'/>"));
    auto* edit = StepControl<skin::CSkinEdit>(0);
    ClickAt(40, 30);
    presenter->TypeText(L"http://127.0.0.1:8080/a/very/long/address");
    Pump();
    // Typing went past the field: the start scrolled out on the left.
    EXPECT_GT(edit->ScrollOffset(), 0);
    presenter->KeyDown(plat::VK_HOME);
    Pump();
    EXPECT_EQ(edit->Caret(), 0);
    EXPECT_EQ(edit->ScrollOffset(), 0);
    presenter->KeyDown(plat::VK_END);
    Pump();
    EXPECT_EQ(edit->Caret(), static_cast<int>(edit->Text().size()));
    EXPECT_GT(edit->ScrollOffset(), 0);
}

TEST_F(InputControlsTest, ToolTipShowsAfterThePointerRestsOnItsControl) {
    members.members["t\\states.png"] = Png(SolidPieces(60, 30, {kRed, kGreen, kBlue, kGrey}));
    ASSERT_TRUE(LoadStep("<buttontext func='checkbox_guest' pt='100,100' texture='states.png' "
                         "ignoreText='1'><fontD fontName='Arial' fontSize='-12'/></buttontext>"));
    EXPECT_FALSE(dialog.SetToolTip(12350, L"none", 800));
    ASSERT_TRUE(dialog.SetToolTip(12393, L"For portable installation\nyou only need rights", 800));
    const skin::CSkinToolTip* tip = dialog.ToolTip(12393);
    ASSERT_TRUE(tip);
    EXPECT_EQ(tip->Lines().size(), 2u);
    MoveTo(130, 115);
    EXPECT_FALSE(tip->IsShown());
    PumpFor(skin::CSkinToolTip::kDelayMs + 200);
    ASSERT_TRUE(tip->IsShown());
    // Centred below the control.
    const plat::Rect bounds = tip->Bounds();
    EXPECT_NEAR((bounds.left + bounds.right) / 2, Screen(130, 0).x, 1);
    EXPECT_GT(bounds.top, Screen(0, 130).y);
    MoveTo(20, 20);
    EXPECT_FALSE(tip->IsShown());
    // A narrow tip wraps its lines at spaces.
    ASSERT_TRUE(dialog.SetToolTip(12393, L"one two three four five six", 60));
    EXPECT_GT(dialog.ToolTip(12393)->Lines().size(), 2u);
}

} // namespace
} // namespace skintest
