#include "SkinTestSupport.h"

#include "support/HermeticFonts.h"

#include <filesystem>

namespace skintest {

namespace {

const std::uint32_t kKey = plat::MakePixel(255, 0, 255, 255);

plat::Bitmap KeyBitmap(int width, int height) {
    plat::Bitmap bitmap;
    bitmap.Create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, kKey);
    return bitmap;
}

void Place(plat::Bitmap& texture, const plat::Bitmap& piece, int x, int y) {
    for (int row = 0; row < piece.Height(); ++row)
        for (int col = 0; col < piece.Width(); ++col)
            texture.SetPixel(x + col, y + row, piece.Pixel(col, row));
}

} // namespace

plat::Bitmap PieceRow(const std::vector<plat::Bitmap>& pieces) {
    int width = 1, height = 0;
    for (const auto& piece : pieces) {
        width += piece.Width() + 1;
        height = std::max(height, piece.Height());
    }
    plat::Bitmap texture = KeyBitmap(width, height + 2);
    int x = 1;
    for (const auto& piece : pieces) {
        Place(texture, piece, x, 1);
        x += piece.Width() + 1;
    }
    return texture;
}

plat::Bitmap PieceColumn(const std::vector<plat::Bitmap>& pieces) {
    int width = 0, height = 1;
    for (const auto& piece : pieces) {
        width = std::max(width, piece.Width());
        height += piece.Height() + 1;
    }
    plat::Bitmap texture = KeyBitmap(width + 2, height);
    int y = 1;
    for (const auto& piece : pieces) {
        Place(texture, piece, 1, y);
        y += piece.Height() + 1;
    }
    return texture;
}

plat::Bitmap SolidPieces(int width, int height, const std::vector<plat::COLORREF>& colours) {
    std::vector<plat::Bitmap> pieces;
    for (plat::COLORREF c : colours)
        pieces.push_back(Solid(width, height, c));
    return PieceRow(pieces);
}

void Pump() {
    plat::Msg msg;
    while (plat::PeekMessage(&msg)) {
        if (msg.message == plat::WM_QUIT)
            continue;
        plat::DispatchMessage(msg);
    }
}

void PumpFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    plat::Msg msg;
    while (std::chrono::steady_clock::now() < end) {
        if (plat::PeekMessage(&msg)) {
            if (msg.message != plat::WM_QUIT)
                plat::DispatchMessage(msg);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

std::string ArtefactFolder() {
    const std::string folder = std::string(TEST_ARTEFACT_DIR) + "/skin";
    std::filesystem::create_directories(folder);
    return folder;
}

void DialogTest::SetUp() {
    testsupport::UseHermeticFonts();
    Pump();
    dialog.Theme().SetStrings([this](int id) {
        auto it = strings.find(id);
        return it == strings.end() ? std::wstring() : it->second;
    });
    dialog.SetNotify(&notify);
}

void DialogTest::TearDown() {
    dialog.Destroy();
    Pump();
}

bool DialogTest::Load(const std::string& xml) {
    return LoadDocument(xml, "t\\");
}

bool DialogTest::LoadDocument(const std::string& xml, const std::string& folder) {
    if (document.Parse(xml.c_str()) != tinyxml2::XML_SUCCESS) {
        ADD_FAILURE() << "theme does not parse: " << document.ErrorStr();
        return false;
    }
    auto headless =
        std::make_unique<plat::HeadlessPresenter>(plat::Size{1024, 768}, plat::RGB(0, 0, 0));
    presenter = headless.get();
    dialog.SetPresenter(std::move(headless));
    dialog.Theme().SetSource(&members, folder);
    if (!dialog.Create(document.RootElement(), L"Launcher"))
        return false;
    dialog.Show(true);
    Pump();
    return true;
}

bool DialogTest::Show(int step, int variant) {
    const bool shown = dialog.ShowStep(step, variant);
    Pump();
    return shown;
}

bool DialogTest::LoadStep(const std::string& controls) {
    members.members["t\\back.png"] = Png(Solid(300, 200, kBack));
    if (!Load("<config><common><region/></common><forms><step num='1' img='back.png' "
              "size0='300,200'>" +
              controls + "</step></forms></config>"))
        return false;
    return Show(1);
}

plat::HeadlessSurface* DialogTest::DialogSurface() const {
    return presenter ? presenter->FindSurface(dialog.Window()) : nullptr;
}

std::uint32_t DialogTest::Probe(int x, int y) const {
    plat::HeadlessSurface* surface = DialogSurface();
    if (!surface || x < 0 || y < 0 || x >= surface->Picture().Width() ||
        y >= surface->Picture().Height())
        return 0;
    return surface->Picture().Pixel(x, y);
}

plat::Point DialogTest::Screen(int x, int y) const {
    const plat::Rect bounds = DialogSurface()->Bounds();
    return plat::Point{bounds.left + x, bounds.top + y};
}

void DialogTest::MoveTo(int x, int y) {
    presenter->MoveMouse(Screen(x, y));
    Pump();
}

void DialogTest::Press(int x, int y) {
    presenter->MoveMouse(Screen(x, y));
    presenter->PressButton(0);
    Pump();
}

void DialogTest::Release() {
    presenter->ReleaseButton(0);
    Pump();
}

void DialogTest::ClickAt(int x, int y) {
    Press(x, y);
    Release();
}

} // namespace skintest
