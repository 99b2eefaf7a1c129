// theme_single: the single install page. A window 600 pixels wide whose
// landscape banner carries the caption, the language buttons and a tagline
// in the user's language; below it the status (progress text, waiting
// animation, progress bar) with the install button, then the terms and the
// folder, then the installation settings. The page's size variants cut the
// window short (update and uninstall runs, options hidden); the bottom
// strip is drawn again at the bottom of a short window. The message box,
// the uninstall pages and the external applications use a compact banner.

#include "Textures.h"
#include "Themes.h"

namespace themegen {

namespace {

using namespace palette;

constexpr int kWidth = 600;
constexpr int kLeft = 24;
constexpr int kRight = kWidth - 24;
constexpr int kInner = kRight - kLeft;
// The install page.
constexpr int kHero = 200;
constexpr int kStatusEnd = 290;
constexpr int kSetupEnd = 372;
constexpr int kOptionsEnd = 492;
constexpr int kStrip = 14;
constexpr int kFull = kOptionsEnd + kStrip;
// The other pages.
constexpr int kCompactHero = 96;
constexpr int kPageHeight = 400;
constexpr int kFooter = 340;
constexpr int kButtonY = 352;
constexpr int kButtonW = 120;

void Banner(plat::Bitmap& back, int height, int horizon) {
    PaintLandscape(back, 0, 0, kWidth, height, horizon, kWidth - 120, 11);
    for (int y = 0; y < 56; ++y)
        FillRect(back, 0, y, kWidth, 1, WithAlpha(Rgb(6, 8, 20), 150 - y * 150 / 56));
    // The banner fades into the window below it.
    for (int y = height - 40; y < height; ++y)
        FillRect(back, 0, y, kWidth, 1, WithAlpha(kWindow, (y - (height - 40)) * 255 / 40));
    PaintEmblem(back, 20, 15, 24);
}

plat::Bitmap InstallBackground() {
    plat::Bitmap back = Blank(kWidth, kFull);
    ClearRect(back, 0, 0, kWidth, kFull, kWindow);
    Banner(back, kHero, 118);
    FillRect(back, kLeft, kStatusEnd, kInner, 1, kDivider);
    FillRect(back, kLeft, kSetupEnd, kInner, 1, kDivider);
    RoundWindow(back, 14);
    return back;
}

plat::Bitmap PageBackground() {
    plat::Bitmap back = Blank(kWidth, kPageHeight);
    ClearRect(back, 0, 0, kWidth, kPageHeight, kWindow);
    Banner(back, kCompactHero, 74);
    ClearRect(back, 0, kFooter + 1, kWidth, kPageHeight - kFooter - 1, palette::kFooter);
    FillRect(back, 0, kFooter, kWidth, 1, kDivider);
    RoundWindow(back, 14);
    return back;
}

XmlElement FooterButton(const std::string& func, int slot, const std::string& profile) {
    return Profiled("buttontext", func, kRight - kButtonW - slot * (kButtonW + 10), kButtonY,
                    kButtonW, 36, profile);
}

XmlElement Page(int num, const std::string& comment) {
    XmlElement step("step");
    step.Attr("num", num).Attr("img", "back\\page.png");
    for (int variant = 0; variant < 4; ++variant)
        step.Pair("size" + std::to_string(variant), kWidth, kPageHeight);
    step.Comment(comment);
    step.Add(Close("close_page", kWidth - 40, 12));
    return step;
}

XmlElement Headline(const std::string& func) {
    return TextAt(func, kLeft, 112, kInner, 30, "headline");
}

} // namespace

ThemeFiles SingleTheme() {
    ThemeFiles files;
    const plat::Bitmap install = InstallBackground();
    const plat::Bitmap page = PageBackground();
    files.AddPng("back\\install.png", install);
    files.AddPng("back\\page.png", page);
    // Both backgrounds show their own banner under the close button.
    AddClose(files, "close", install, kWidth - 40, 12);
    AddClose(files, "close_page", page, kWidth - 40, 12);
    AddSharedControls(files, 38, 24);
    files.AddPng("controls\\scroll.png", ScrollTexture(10, 120));
    files.AddPng("controls\\progress_track.png", ProgressTrack(400, 10));
    files.AddPng("controls\\progress_bar.png", ProgressBar(400, 10));
    files.AddPng("controls\\wait_track.png", RangeTrack(400, 4));
    files.AddPng("controls\\wait_bar.png", RangeBar(120, 4));
    files.AddPng("controls\\warning.png", WarningSign(40));
    files.AddPng("panels\\options.png", Panel(kInner, 108, 10, kPanel, kPanelEdge));
    files.AddPng("panels\\folder.png", FieldOver(install, kLeft, 328, 300, 36));
    files.AddPng("panels\\path.png", FieldOver(page, kLeft, 184, kInner, 36));
    files.AddPng("panels\\card.png", Panel(kInner, 40, 10, kPanel, kPanelEdge));
    AddTaglines(files, "tagline.png", 400, 60, 24);

    XmlElement root = ThemeRoot(true);
    XmlElement& forms = root.Child("forms");

    {
        XmlElement step = Page(1, "Message box: text, error sign, address entry, link, buttons.");
        AddMessageBox(step, kLeft, 112, kInner, 144, 258, "controls\\scroll.png", &FooterButton);
        forms.Add(step);
    }
    {
        XmlElement step = Page(2, "Uninstall question.");
        step.Add(Headline("headline_uninstall_info"));
        step.Add(TextAt("text_wantuninstall", kLeft, 156, kInner, 20, "body"));
        step.Add(TextAt("text_wantuninstall_path", kLeft, 184, kInner, 36, "field")
                     .Attr("imgBg", "panels\\path.png"));
        step.Add(FooterButton("uninstall", 0, "danger"));
        step.Add(FooterButton("cancelUninstall", 1, "secondary"));
        forms.Add(step);
    }
    {
        XmlElement step = Page(3, "Uninstall finished: the results.");
        step.Add(Headline("headline_uninstall_close_info"));
        step.Add(ListBox("errors", kLeft, 152, kInner - 16, 144, "controls\\scroll.png", 0));
        step.Add(FooterButton("close_uninstall", 0, "primary"));
        forms.Add(step);
    }
    {
        XmlElement step("step");
        step.Attr("num", 4).Attr("img", "back\\install.png").Attr("down", kStrip);
        step.Pair("size0", kWidth, kSetupEnd + kStrip);  // install, options hidden
        step.Pair("size1", kWidth, kStatusEnd + kStrip); // update, moving the folder
        step.Pair("size2", kWidth, kStatusEnd + kStrip); // uninstall
        step.Pair("size3", kWidth, kFull);               // install, options shown
        step.Comment("The single install page.");
        step.Add(Close("close", kWidth - 40, 12));
        step.Add(Sprite("art\\tagline.png", kLeft, 100));
        int x = kWidth - 40 - 8 - 3 * 42;
        int index = 1;
        for (const LanguageArt& language : Languages()) {
            XmlElement toggle = Profiled("buttoncheck", "button_lang" + std::to_string(index++), x,
                                         14, 38, 24, "toggle");
            toggle.Attr("texture", "controls\\toggle_" + language.code + ".png");
            step.Add(toggle);
            x += 42;
        }
        // Status: the text, the waiting animation and the bar; the install
        // button beside them (in an uninstall run it carries Cancel, and the
        // update run's cancel button takes its place).
        step.Add(TextAt("single_install_text_progress_info", kLeft, 212, 390, 20, "body"));
        XmlElement wait = Control("spriteRange", "single_install_spriterange_wait", kLeft, 242);
        wait.Attr("imgBg", "controls\\wait_track.png").Attr("imgBar", "controls\\wait_bar.png");
        step.Add(wait);
        XmlElement bar = Control("progress", "single_install_progress", kLeft, 254);
        bar.Attr("imgBg", "controls\\progress_track.png")
            .Attr("imgBar", "controls\\progress_bar.png");
        step.Add(bar);
        step.Add(Profiled("buttontext", "single_install_button_install", kRight - 148, 218, 148, 48,
                          "primaryLarge"));
        step.Add(Profiled("buttontext", "single_install_button_cancel_update", kRight - 148, 218,
                          148, 48, "secondaryLarge"));
        // Setup: the terms and the folder.
        step.Add(CheckBox("single_install_checkbox_terms", kLeft, 300, 124));
        XmlElement terms =
            Profiled("buttontext", "single_install_button_terms", 152, 300, 280, 22, "link");
        step.Add(terms);
        step.Add(TextAt("single_install_text_folder", kLeft, 328, 300, 36, "field")
                     .Attr("imgBg", "panels\\folder.png"));
        step.Add(Profiled("buttontext", "single_install_button_browse", kLeft + 308, 328, 120, 36,
                          "secondary"));
        step.Add(Profiled("buttontext", "single_install_button_cancel", kRight - 120, 328, 120, 36,
                          "secondary"));
        // Installation settings, shown with the options.
        step.Add(Sprite("panels\\options.png", kLeft, kSetupEnd + 8, "single_install_sprite_hide"));
        step.Add(TextAt("single_install_text_create_shortcuts", kLeft + 16, kSetupEnd + 18, 260, 20,
                        "subhead"));
        step.Add(CheckBox("single_install_checkbox_icon_desktop", kLeft + 16, kSetupEnd + 46, 280));
        step.Add(
            CheckBox("single_install_checkbox_icon_programs", kLeft + 16, kSetupEnd + 76, 280));
        step.Add(CheckBox("single_install_checkbox_guest", kLeft + 316, kSetupEnd + 18, 220));
        XmlElement combo = Control("combobox", "language", kLeft + 316, kSetupEnd + 58);
        combo.Pair("size", 184, 36).Attr("profile", "combo");
        step.Add(combo);
        forms.Add(step);
    }
    forms.Comment("Pages 5 to 9 are never shown in single-page mode; they keep the numbering "
                  "without gaps.");
    for (int num = 5; num <= 9; ++num)
        forms.Add(XmlElement("step").Attr("num", num));
    {
        XmlElement step = Page(10, "External applications (an update run reaches them); no Back.");
        step.Add(Headline("headline_extapp_info"));
        for (int slot = 0; slot < 3; ++slot) {
            const int y = 152 + slot * 48;
            const std::string n = std::to_string(slot + 1);
            step.Add(Sprite("panels\\card.png", kLeft, y));
            step.Add(CheckBox("checkbox_extapp_" + n, kLeft + 14, y + 9, kInner - 80));
            XmlElement help = Profiled("buttontext", "button_extapp_help_" + n, kRight - 36, y + 8,
                                       24, 24, "help");
            step.Add(help);
        }
        XmlElement back = FooterButton("back_extapp", 2, "secondary");
        back.Attr("visible", "0");
        step.Add(back);
        step.Add(FooterButton("next_extapp", 0, "primary"));
        step.Add(FooterButton("cancel_extapp", 1, "secondary"));
        forms.Add(step);
    }
    forms.Comment("Shared: the caption and the version.");
    XmlElement caption = Sized("text_caption", "caption", 52, 14, 300, 26);
    caption.Attr("profile", "caption");
    forms.Add(caption);
    XmlElement version = Sized("text_version", "", kWidth - 40 - 8 - 3 * 42, 42, 3 * 42 - 4, 14);
    version.Attr("profile", "version").Attr("align", "right");
    forms.Add(version);

    files.AddText("config.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + root.Write());
    return files;
}

} // namespace themegen
