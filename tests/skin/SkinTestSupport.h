#pragma once
// What the skin tests share: theme members in memory, pictures and
// textures made in code, a dialog on the headless presenter with a
// recording notify target, message pumping, pixel probes and screenshots.
// Test thread only.

#include "config/MemberSource.h"
#include "platform/Bitmap.h"
#include "platform/HeadlessPresenter.h"
#include "platform/PngFile.h"
#include "skin/Dialog.h"
#include "skin/SkinForm.h"
#include "skin/SkinFormNotify.h"
#include "support/MemberMap.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace skintest {

// The resource archive as a map from member name to bytes.
using MapMembers = testsupport::MemberMap;

// Colours of the test pictures.
constexpr plat::COLORREF kRed = plat::RGB(220, 30, 30);
constexpr plat::COLORREF kGreen = plat::RGB(30, 200, 60);
constexpr plat::COLORREF kBlue = plat::RGB(30, 60, 220);
constexpr plat::COLORREF kGrey = plat::RGB(128, 128, 128);
constexpr plat::COLORREF kYellow = plat::RGB(230, 210, 20);
constexpr plat::COLORREF kCyan = plat::RGB(20, 210, 220);
constexpr plat::COLORREF kWhite = plat::RGB(255, 255, 255);
constexpr plat::COLORREF kBack = plat::RGB(40, 40, 48);

// An opaque pixel of the colour, as the bitmap stores it.
inline std::uint32_t Opaque(plat::COLORREF c) {
    return plat::MakePixel(plat::GetBValue(c), plat::GetGValue(c), plat::GetRValue(c), 255);
}
inline plat::Bitmap Solid(int width, int height, plat::COLORREF c, std::uint8_t alpha = 255) {
    plat::Bitmap bitmap;
    bitmap.Create(width, height);
    const auto pre = [alpha](std::uint8_t v) { return static_cast<std::uint8_t>(v * alpha / 255); };
    const std::uint32_t pixel = plat::MakePixel(pre(plat::GetBValue(c)), pre(plat::GetGValue(c)),
                                                pre(plat::GetRValue(c)), alpha);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, pixel);
    return bitmap;
}
inline std::string Png(const plat::Bitmap& bitmap) {
    std::string png;
    EXPECT_TRUE(plat::EncodePng(bitmap, &png));
    return png;
}
// Pieces side by side on a magenta key, tops on row 1.
plat::Bitmap PieceRow(const std::vector<plat::Bitmap>& pieces);
// Pieces one below the other on a magenta key.
plat::Bitmap PieceColumn(const std::vector<plat::Bitmap>& pieces);
// Solid pieces of one size, one colour each.
plat::Bitmap SolidPieces(int width, int height, const std::vector<plat::COLORREF>& colours);

class RecordingNotify : public ISkinFormNotify {
public:
    void OnBtnClicked(int id) override {
        clicks.push_back(id);
        if (onClick)
            onClick(id);
    }
    void OnCBNSelChange(unsigned word) override { selections.push_back(word); }
    std::vector<int> clicks;
    std::vector<unsigned> selections;
    std::function<void(int)> onClick;
};

// Dispatches everything queued now.
void Pump();
// Dispatches messages (timers included) for about `ms` milliseconds.
void PumpFor(int ms);

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the theme document (members under "t\"), creates the dialog on
    // a headless presenter, paints it. False when creation fails.
    bool Load(const std::string& xml);
    // The same for a theme whose members are already in `members`.
    bool LoadDocument(const std::string& xml, const std::string& folder);
    // Shows a step and paints it.
    bool Show(int step, int variant = 0);
    // One 300 x 200 step (background kBack) holding the controls, shown.
    bool LoadStep(const std::string& controls);
    // A control of that step by its position.
    template <typename T> T* StepControl(int index) const;

    // The pixel of the dialog's picture at a client point.
    std::uint32_t Probe(int x, int y) const;
    plat::Point Screen(int x, int y) const;
    plat::HeadlessSurface* DialogSurface() const;
    // Client-coordinate input.
    void MoveTo(int x, int y);
    void Press(int x, int y);
    void Release();
    void ClickAt(int x, int y);

    MapMembers members;
    tinyxml2::XMLDocument document;
    plat::HeadlessPresenter* presenter = nullptr;
    CDialog dialog;
    RecordingNotify notify;
    std::map<int, std::wstring> strings;
};

template <typename T> T* DialogTest::StepControl(int index) const {
    return dialog.FormCount() ? dynamic_cast<T*>(dialog.Form(0)->GetControl(index)) : nullptr;
}

// Where screenshots go (kept by the test run).
std::string ArtefactFolder();

} // namespace skintest
