// Texts, pictures and progress bars: the progress bar's share of its bar
// picture, text alignment and background, and fonts picked by the
// language's font index.

#include "SkinTestSupport.h"
#include "skin/FontSet.h"
#include "skin/SkinForm.h"
#include "skin/SkinStatic.h"

#include <gtest/gtest.h>

namespace skintest {
namespace {

class StaticControlsTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        members.members["t\\track.png"] = Png(Solid(200, 8, kGrey));
        members.members["t\\bar.png"] = Png(Solid(200, 8, kGreen));
        members.members["t\\short.png"] = Png(Solid(100, 8, kGreen));
    }
    // The first and last columns of the rectangle that hold light ink.
    std::pair<int, int> InkColumns(const plat::Rect& rect) {
        int first = -1, last = -1;
        for (int x = rect.left; x < rect.right; ++x)
            for (int y = rect.top; y < rect.bottom; ++y)
                if (plat::PixelG(Probe(x, y)) > 128) {
                    if (first < 0)
                        first = x;
                    last = x;
                    break;
                }
        return {first, last};
    }
};

TEST_F(StaticControlsTest, ProgressDrawsItsShareOfTheBar) {
    ASSERT_TRUE(LoadStep("<progress func='download_progress' pt='50,100' imgBg='track.png' "
                         "imgBar='bar.png'/><progress pt='50,150' imgBg='track.png' "
                         "imgBar='short.png'/>"));
    // Pictures of two sizes make no progress bar.
    ASSERT_EQ(dialog.Form(0)->GetControlCount(), 1);
    auto* bar = StepControl<skin::CSkinProgress>(0);
    bar->SetPos(37);
    bar->InvalidateWindow();
    Pump();
    EXPECT_EQ(bar->BarWidth(), 74);
    EXPECT_EQ(Probe(50 + 73, 104), Opaque(kGreen));
    EXPECT_EQ(Probe(50 + 74, 104), Opaque(kGrey));
    bar->SetPos(150);
    EXPECT_EQ(bar->GetPos(), 100);
    bar->SetVisible(false);
    Pump();
    EXPECT_EQ(Probe(60, 104), Opaque(kBack));
}

TEST_F(StaticControlsTest, TextAlignsAndFillsItsBackground) {
    ASSERT_TRUE(LoadStep(
        "<text func='caption' pt='0,10' size='300,20' fontName='Arial' fontSize='-12' "
        "fontColor='255,255,255' transparentBg='1' text='Left' borderLR='10,0'/>"
        "<text func='folder' pt='0,40' size='300,20' fontName='Arial' fontSize='-12' "
        "fontColor='255,255,255' transparentBg='1' text='Right' align='right'/>"
        "<text func='download_info' pt='0,70' size='300,20' fontName='Arial' fontSize='-12' "
        "fontColor='255,255,255' bgColor='230,210,20' text='Centre' align='center'/>"));
    const auto left = InkColumns(plat::Rect{0, 10, 300, 30});
    EXPECT_GE(left.first, 10);
    EXPECT_LT(left.first, 14);
    const auto right = InkColumns(plat::Rect{0, 40, 300, 60});
    EXPECT_GE(right.second, 296);
    // Opaque: the line's box is filled, around the centre.
    EXPECT_EQ(Probe(150, 72), Opaque(kYellow));
    EXPECT_EQ(Probe(20, 72), Opaque(kBack));
    auto* text = StepControl<skin::CSkinText>(1);
    text->SetWindowText(L"Changed");
    EXPECT_EQ(text->Label(), L"Changed");
}

TEST_F(StaticControlsTest, FontSetsFollowTheLanguageFontIndex) {
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.Parse("<f fontName='Arial|Courier New' fontSize='-12' fontBold='700'/>"),
              tinyxml2::XML_SUCCESS);
    skin::CFontSet set;
    ASSERT_TRUE(set.Load(doc.RootElement()));
    ASSERT_EQ(set.Count(), 2u);
    // One height for both names; index 5 on a set of two is font 0.
    EXPECT_EQ(set.Get(0)->Description().height, -12);
    EXPECT_EQ(set.Get(1)->Description().height, -12);
    EXPECT_EQ(set.Get(5), set.Get(0));
    EXPECT_NE(set.Get(1), set.Get(0));
    EXPECT_EQ(set.Get(0)->Description().weight, 700);
    // Without a name or a height there is no font.
    ASSERT_EQ(doc.Parse("<f fontName='Arial'/>"), tinyxml2::XML_SUCCESS);
    EXPECT_FALSE(set.Load(doc.RootElement()));
    EXPECT_TRUE(set.IsEmpty());
}

} // namespace
} // namespace skintest
