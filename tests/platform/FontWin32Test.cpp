// Fonts through GDI: the Windows height rules, extents without kerning,
// aligned and clipped one-line drawing with the alpha of the picture kept
// right (GDI leaves it 0), ellipsis, and private font files. The face a name
// resolves to depends on the system (under Wine a host font), so nothing
// here asserts exact pixels of glyphs.

#include "platform/Font.h"

#include "platform/Error.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using plat::Bitmap;
using plat::Canvas;
using plat::Font;
using plat::LogFont;

std::shared_ptr<const Font> Make(const wchar_t* face, int height, int weight = 400) {
    LogFont description;
    description.faceName = face;
    description.height = height;
    description.weight = weight;
    return Font::Create(description);
}

struct Ink {
    int left = -1, right = -1, top = -1, bottom = -1;
};
Ink FindInk(const Bitmap& b, std::uint32_t background) {
    Ink ink;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Pixel(x, y) != background) {
                ink.left = ink.left < 0 ? x : std::min(ink.left, x);
                ink.right = std::max(ink.right, x + 1);
                ink.top = ink.top < 0 ? y : std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y + 1);
            }
    return ink;
}

constexpr std::uint32_t kWhite = plat::MakePixel(255, 255, 255, 255);

Bitmap White(int w, int h) {
    Bitmap b;
    b.Create(w, h);
    Canvas canvas(&b);
    plat::FillRect(canvas, b.Bounds(), plat::RGB(255, 255, 255));
    return b;
}

TEST(FontWin32Test, HeightsFollowTheWindowsRules) {
    auto cell = Make(L"Arial", 20)->Metrics();
    EXPECT_EQ(cell.height, 20);
    EXPECT_EQ(cell.ascent + cell.descent, cell.height);
    auto em = Make(L"Arial", -20)->Metrics();
    EXPECT_EQ(em.height - em.internalLeading, 20);
    EXPECT_EQ(em.ascent + em.descent, em.height);
    EXPECT_EQ(Make(L"Arial", 0)->Metrics().height, 16);
    EXPECT_EQ(Make(L"Arial", 20)->TextExtent(L"x").cy, 20);
    EXPECT_GE(Make(L"Arial", -20, 700)->Metrics().weight, 600);
    EXPECT_FALSE(Make(L"Arial", -12)->FamilyName().empty());
    ASSERT_TRUE(plat::DefaultFont());
    EXPECT_GT(plat::DefaultFont()->Metrics().height, 8);
}

TEST(FontWin32Test, ExtentsAddUpWithoutKerning) {
    auto font = Make(L"Arial", -20);
    EXPECT_EQ(font->TextExtent(L"").cx, 0);
    EXPECT_EQ(font->TextExtent(L"AV").cx, font->TextExtent(L"A").cx + font->TextExtent(L"V").cx);
    EXPECT_GT(font->TextExtent(L"Hello").cx, font->TextExtent(L"Hell").cx);
    EXPECT_GT(Make(L"Arial", -40)->TextExtent(L"Hello").cx, font->TextExtent(L"Hello").cx * 3 / 2);
    Bitmap b = White(10, 10);
    Canvas canvas(&b);
    canvas.SelectFont(font);
    EXPECT_EQ(plat::GetTextExtent(canvas, L"Hello").cx, font->TextExtent(L"Hello").cx);
    plat::TextMetrics metrics;
    ASSERT_TRUE(plat::GetTextMetrics(canvas, &metrics));
    EXPECT_EQ(metrics.height, font->Metrics().height);

    const std::wstring longText = L"A line much wider than the box it is drawn in";
    const std::wstring shown = plat::EllipsizeText(*font, longText, 200);
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), L"...");
    EXPECT_LE(font->TextExtent(shown).cx, 200);
    EXPECT_EQ(longText.compare(0, shown.size() - 3, shown, 0, shown.size() - 3), 0);
    EXPECT_EQ(plat::EllipsizeText(*font, L"Short", 200), L"Short");
}

TEST(FontWin32Test, DrawTextAlignsAndClipsOneLine) {
    auto font = Make(L"Arial", -16);
    const plat::Rect box{20, 10, 220, 50};
    auto draw = [&](const std::wstring& text, unsigned format) {
        Bitmap b = White(240, 60);
        Canvas canvas(&b);
        canvas.SelectFont(font);
        canvas.SetBkMode(plat::TRANSPARENT);
        plat::Rect r = box;
        EXPECT_EQ(plat::DrawText(canvas, text, &r, format), font->Metrics().height);
        return FindInk(b, kWhite);
    };
    const int width = font->TextExtent(L"Mid").cx;
    Ink left = draw(L"Mid", plat::DT_SINGLELINE | plat::DT_VCENTER);
    Ink centre = draw(L"Mid", plat::DT_SINGLELINE | plat::DT_CENTER | plat::DT_VCENTER);
    Ink right = draw(L"Mid", plat::DT_SINGLELINE | plat::DT_RIGHT | plat::DT_BOTTOM);
    EXPECT_NEAR(left.left, box.left, 3);
    EXPECT_NEAR(centre.left, box.left + (box.Width() - width) / 2, 3);
    EXPECT_NEAR(right.right, box.right, 3);
    EXPECT_NEAR((left.top + left.bottom) / 2, (box.top + box.bottom) / 2, 4);
    EXPECT_GT(right.bottom, left.bottom);
    EXPECT_LE(right.bottom, box.bottom);

    const std::wstring longText = L"A line much wider than the box it is drawn in";
    Ink clipped = draw(longText, plat::DT_SINGLELINE);
    Ink unclipped = draw(longText, plat::DT_SINGLELINE | plat::DT_NOCLIP);
    EXPECT_LE(clipped.right, box.right);
    EXPECT_GE(clipped.right, box.right - 3);
    EXPECT_GT(unclipped.right, box.right);

    Bitmap b = White(50, 50);
    Canvas canvas(&b);
    canvas.SelectFont(font);
    plat::Rect r{5, 5, 6, 6};
    plat::DrawText(canvas, L"Mid", &r, plat::DT_CALCRECT | plat::DT_SINGLELINE);
    EXPECT_EQ(r, (plat::Rect{5, 5, 5 + width, 5 + font->Metrics().height}));
    EXPECT_EQ(FindInk(b, kWhite).left, -1);
}

TEST(FontWin32Test, TextOnATransparentPictureGetsItsAlpha) {
    // GDI writes no alpha; every inked pixel must come out premultiplied
    // with the coverage as its alpha, full ink exactly the text colour.
    auto font = Make(L"Arial", -24, 700);
    Bitmap b;
    ASSERT_TRUE(b.Create(120, 40));
    Canvas canvas(&b);
    canvas.SelectFont(font);
    canvas.SetBkMode(plat::TRANSPARENT);
    canvas.SetTextColor(plat::RGB(200, 0, 0));
    plat::Region clip(plat::Rect{0, 0, 60, 40});
    canvas.SetClip(&clip);
    ASSERT_TRUE(plat::TextOut(canvas, 2, 2, L"IIII"));
    int inked = 0, full = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            const std::uint32_t p = b.Pixel(x, y);
            if (x >= 60) {
                EXPECT_EQ(p, 0u) << x << "," << y;
                continue;
            }
            if (p == 0)
                continue;
            ++inked;
            EXPECT_GT(plat::PixelA(p), 0) << x << "," << y;
            EXPECT_LE(plat::PixelR(p), plat::PixelA(p));
            EXPECT_EQ(plat::PixelG(p), 0);
            EXPECT_EQ(plat::PixelB(p), 0);
            full += p == plat::MakePixel(0, 0, 200, 255);
        }
    EXPECT_GT(inked, 20);
    EXPECT_GT(full, 10);

    // An opaque background fills the line's box; TA_RIGHT | TA_BASELINE.
    Bitmap second = White(100, 40);
    Canvas aligned(&second);
    aligned.SelectFont(font);
    aligned.SetBkMode(plat::OPAQUE);
    aligned.SetBkColor(plat::RGB(0, 0, 255));
    aligned.SetTextAlign(plat::TA_RIGHT | plat::TA_BASELINE);
    plat::TextOut(aligned, 90, 30, L"I");
    const int w = font->TextExtent(L"I").cx;
    EXPECT_EQ(second.Pixel(90 - w, 30 - font->Metrics().ascent), plat::MakePixel(255, 0, 0, 255));
    EXPECT_EQ(second.Pixel(91, 30), kWhite);
    Ink ink = FindInk(second, kWhite);
    EXPECT_EQ(ink.right, 90);
}

// A TrueType file to register privately: one of the host's under Wine, or
// one of the system's.
std::filesystem::path SomeFontFile() {
    std::vector<std::filesystem::path> candidates = {
        "Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSerif.ttf",
        "Z:\\usr\\share\\fonts\\truetype\\liberation2\\LiberationSerif-Regular.ttf"};
    if (const char* windows = std::getenv("WINDIR"))
        candidates.push_back(std::filesystem::path(windows) / "Fonts" / "times.ttf");
    for (const auto& path : candidates)
        if (std::filesystem::exists(path))
            return path;
    return {};
}

TEST(FontWin32Test, PrivateFontsAreAddedAndRemovedByFile) {
    const std::filesystem::path source = SomeFontFile();
    if (source.empty())
        GTEST_SKIP() << "no TrueType file to register";
    testsupport::TempDir dir;
    const std::wstring copy = dir.File(L"theme-face.ttf");
    std::filesystem::copy_file(source, std::filesystem::path(copy));

    EXPECT_EQ(plat::AddPrivateFont(copy), 1);
    const std::string family = source.filename() == "DejaVuSerif.ttf" ? "DejaVu Serif"
                               : source.filename() == "times.ttf"     ? "Times New Roman"
                                                                      : "Liberation Serif";
    std::wstring face(family.begin(), family.end());
    auto font = Make(face.c_str(), -14);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->FamilyName(), family);
    // The font knows the file it came from.
    EXPECT_EQ(std::filesystem::path(font->FilePath()), std::filesystem::path(copy));
    EXPECT_TRUE(plat::RemovePrivateFont(copy));
    EXPECT_GT(font->TextExtent(L"still").cx, 0);
    EXPECT_FALSE(plat::RemovePrivateFont(copy));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);

    testsupport::WriteTestFile(dir.File(L"junk.ttf"), "not a font at all");
    EXPECT_EQ(plat::AddPrivateFont(dir.File(L"junk.ttf")), 0);
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidData);
    EXPECT_EQ(plat::AddPrivateFont(dir.File(L"missing.ttf")), 0);
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
}

} // namespace
