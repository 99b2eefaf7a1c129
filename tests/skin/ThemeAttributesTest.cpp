// The theme's value syntaxes and the lookup of keys on a control and its
// profile: what counts as absent, and that sizes never take a negative or
// overflowing value.

#include "skin/ThemeAttributes.h"
#include "skin/SkinTheme.h"

#include "SkinTestSupport.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

namespace {

using skin::ParseThemeBool;
using skin::ParseThemeColour;
using skin::ParseThemeInt;
using skin::ParseThemePair;

TEST(ThemeAttributes, IntegersTakeHexAndSkipLeadingSpaceButUseTheWholeText) {
    int value = 7;
    EXPECT_TRUE(ParseThemeInt("  42", &value));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(ParseThemeInt("0x1F", &value));
    EXPECT_EQ(value, 31);
    EXPECT_TRUE(ParseThemeInt("-12", &value));
    EXPECT_EQ(value, -12);
    for (const char* bad :
         {"", "12 ", "1.5", "0x", "x12", "4294967296", "-2147483649", "0x100000000", "12abc"}) {
        value = 7;
        EXPECT_FALSE(ParseThemeInt(bad, &value)) << bad;
        EXPECT_EQ(value, 7) << bad;
    }
    EXPECT_TRUE(ParseThemeInt("2147483647", &value));
    EXPECT_TRUE(ParseThemeInt("-2147483648", &value));
    EXPECT_EQ(value, -2147483647 - 1);
}

TEST(ThemeAttributes, BooleansPairsAndColoursAreStrict) {
    bool flag = false;
    EXPECT_TRUE(ParseThemeBool("true", &flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(ParseThemeBool("0", &flag));
    EXPECT_FALSE(flag);
    EXPECT_FALSE(ParseThemeBool("yes", &flag));
    EXPECT_FALSE(ParseThemeBool("", &flag));

    int a = 0, b = 0;
    EXPECT_TRUE(ParseThemePair("10,-20", &a, &b));
    EXPECT_EQ(a, 10);
    EXPECT_EQ(b, -20);
    for (const char* bad : {"10", "10,", ",10", "1,2,3", "10, 20", "0x10,2", "a,b"})
        EXPECT_FALSE(ParseThemePair(bad, &a, &b)) << bad;

    plat::COLORREF colour = 0;
    EXPECT_TRUE(ParseThemeColour("255,128,1", &colour));
    EXPECT_EQ(colour, plat::RGB(255, 128, 1));
    EXPECT_EQ(plat::GetRValue(colour), 255); // red in the low byte
    for (const char* bad : {"256,0,0", "1,2", "1,2,3,4", "-1,0,0", "1,,2"})
        EXPECT_FALSE(ParseThemeColour(bad, &colour)) << bad;
}

TEST(ThemeAttributes, NegativeOrOverflowingSizesCountAsAbsent) {
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.Parse("<e size='-5,10' big='99999999999,1' ok='5,6' down='-3' n='0x7FFFFFFF'/>"),
              tinyxml2::XML_SUCCESS);
    const tinyxml2::XMLElement* e = doc.RootElement();
    plat::Size size{1, 2};
    EXPECT_FALSE(skin::ReadSize(e, "size", &size));
    EXPECT_FALSE(skin::ReadSize(e, "big", &size));
    EXPECT_EQ(size, (plat::Size{1, 2}));
    EXPECT_TRUE(skin::ReadSize(e, "ok", &size));
    EXPECT_EQ(size, (plat::Size{5, 6}));
    int down = 4;
    EXPECT_FALSE(skin::ReadSizeInt(e, "down", &down));
    EXPECT_EQ(down, 4);
    EXPECT_TRUE(skin::ReadSizeInt(e, "n", &down));
    EXPECT_EQ(down, 0x7FFFFFFF);
    // A position may be negative.
    plat::Point point;
    EXPECT_TRUE(skin::ReadPoint(e, "size", &point));
    EXPECT_EQ(point, (plat::Point{-5, 10}));
}

TEST(ThemeAttributes, ControlKeysFallBackToTheirProfile) {
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.Parse("<r><profiles><p a='1' b='2' c='3'><fontD x='1'/></p></profiles>"
                        "<c profile='p' a='10' b='bad'/><d a='5'/><e profile='none' a='1'/></r>"),
              tinyxml2::XML_SUCCESS);
    const tinyxml2::XMLElement* profiles = doc.RootElement()->FirstChildElement("profiles");
    const skin::CElementKeys keys(doc.RootElement()->FirstChildElement("c"), profiles);
    int value = 0;
    EXPECT_TRUE(keys.Int("a", &value));
    EXPECT_EQ(value, 10); // the control wins
    EXPECT_TRUE(keys.Int("b", &value));
    EXPECT_EQ(value, 2); // malformed on the control: the profile's
    EXPECT_TRUE(keys.Int("c", &value));
    EXPECT_EQ(value, 3);
    EXPECT_FALSE(keys.Int("missing", &value));
    EXPECT_NE(keys.Child("fontD"), nullptr);
    // Without a profile attribute, or naming none, there is no fallback.
    EXPECT_EQ(skin::CElementKeys(doc.RootElement()->FirstChildElement("d"), profiles).Profile(),
              nullptr);
    EXPECT_EQ(skin::CElementKeys(doc.RootElement()->FirstChildElement("e"), profiles).Profile(),
              nullptr);
}

TEST(ThemeAttributes, LanguageVariantGoesInFrontOfTheFileName) {
    EXPECT_EQ(skin::CSkinTheme::LanguageVariant("art\\tag.png", "ru_"), "art\\ru_tag.png");
    EXPECT_EQ(skin::CSkinTheme::LanguageVariant("a\\b\\tag.png", "de_"), "a\\b\\de_tag.png");
    EXPECT_EQ(skin::CSkinTheme::LanguageVariant("tag.png", "de_"), "de_tag.png");
    EXPECT_EQ(skin::CSkinTheme::LanguageVariant("folder\\", "de_"), "de_folder\\");
}

TEST(ThemeAttributes, PicturesPreferTheirLanguageVariant) {
    skintest::MapMembers members;
    members.members["t\\art\\only.png"] = skintest::Png(skintest::Solid(2, 2, skintest::kRed));
    members.members["t\\art\\both.png"] = skintest::Png(skintest::Solid(2, 2, skintest::kRed));
    members.members["t\\art\\de_both.png"] = skintest::Png(skintest::Solid(3, 3, skintest::kBlue));
    members.members["t\\art\\mask.png"] = skintest::Png(skintest::Solid(2, 2, plat::RGB(0, 0, 0)));
    skin::CSkinTheme theme;
    theme.SetSource(&members, "t\\");
    theme.SetLanguagePrefix("de_");
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.Parse("<e a='art\\only.png' b='art\\both.png' c='art\\none.png' d=''"
                        " m='art\\only.png' m_a='art\\mask.png' w='art\\only.png' "
                        "w_a='art\\de_both.png'/>"),
              tinyxml2::XML_SUCCESS);
    plat::Bitmap bitmap;
    EXPECT_TRUE(theme.LoadThemeImage(doc.RootElement(), "a", &bitmap));
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_TRUE(theme.LoadThemeImage(doc.RootElement(), "b", &bitmap));
    EXPECT_EQ(bitmap.Width(), 3); // the prefixed one wins
    EXPECT_FALSE(theme.LoadThemeImage(doc.RootElement(), "c", &bitmap));
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_FALSE(theme.LoadThemeImage(doc.RootElement(), "d", &bitmap));
    // A black companion makes the picture transparent.
    EXPECT_TRUE(theme.LoadThemeImage(doc.RootElement(), "m", &bitmap));
    EXPECT_EQ(plat::PixelA(bitmap.Pixel(0, 0)), 0);
    // A companion of another size fails the load but keeps the colours.
    EXPECT_FALSE(theme.LoadThemeImage(doc.RootElement(), "w", &bitmap));
    EXPECT_EQ(bitmap.Width(), 2);
}

} // namespace
