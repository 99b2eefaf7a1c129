// theme_default: the multi-page wizard. A window of 760 x 480 pixels with
// rounded corners: a landscape panel on the left with the caption and a
// tagline in the user's language, the page on the right with its headline,
// its controls and a footer of buttons. Every page shares the background
// picture; panels, fields and cards are pictures of their own.

#include "Textures.h"
#include "Themes.h"

namespace themegen {

namespace {

using namespace palette;

constexpr int kWidth = 760;
constexpr int kHeight = 480;
constexpr int kArt = 240;   // the landscape panel's width
constexpr int kLeft = 264;  // the page's left edge
constexpr int kRight = 736; // and its right edge
constexpr int kInner = kRight - kLeft;
constexpr int kHeader = 56;
constexpr int kFooter = 412;  // the footer's top
constexpr int kButtonY = 430; // footer buttons
constexpr int kButtonH = 36;
constexpr int kButtonW = 132;
constexpr int kGap = 10;

plat::Bitmap Background() {
    plat::Bitmap back = Blank(kWidth, kHeight);
    ClearRect(back, 0, 0, kWidth, kHeight, kWindow);
    PaintLandscape(back, 0, 0, kArt, kHeight, 300, 156, 7);
    // Shade behind the caption and the tagline.
    for (int y = 0; y < 80; ++y)
        FillRect(back, 0, y, kArt, 1, WithAlpha(Rgb(6, 8, 20), 150 - y * 150 / 80));
    for (int y = 330; y < kHeight; ++y)
        FillRect(back, 0, y, kArt, 1, WithAlpha(Rgb(6, 6, 14), (y - 330) * 170 / 150));
    PaintEmblem(back, 18, 16, 24);
    FillRect(back, kArt, 0, 1, kHeight, kDivider);
    ClearRect(back, kArt + 1, 0, kWidth - kArt - 1, kHeader, palette::kHeader);
    FillRect(back, kArt + 1, kHeader, kWidth - kArt - 1, 1, kDivider);
    ClearRect(back, kArt + 1, kFooter + 1, kWidth - kArt - 1, kHeight - kFooter - 1,
              palette::kFooter);
    FillRect(back, kArt + 1, kFooter, kWidth - kArt - 1, 1, kDivider);
    // A faint accent line under the header, fading to the right.
    for (int x = kArt + 1; x < kWidth; ++x)
        BlendPixel(back, x, kHeader, kAccent, 0.55 * (1.0 - double(x - kArt) / (kWidth - kArt)));
    RoundWindow(back, 14);
    return back;
}

// A footer button at slot `slot` counted from the right (0 = rightmost).
XmlElement FooterButton(const std::string& func, int slot, const std::string& profile) {
    const int x = kRight - kButtonW - slot * (kButtonW + kGap);
    return Profiled("buttontext", func, x, kButtonY, kButtonW, kButtonH, profile);
}

XmlElement LeftFooterButton(const std::string& func, const std::string& profile) {
    return Profiled("buttontext", func, kLeft, kButtonY, kButtonW, kButtonH, profile);
}

XmlElement Headline(const std::string& func) {
    return TextAt(func, kLeft, 72, kInner, 30, "headline");
}

XmlElement HelpButton(const std::string& func, int x, int y) {
    return Profiled("buttontext", func, x, y, 24, 24, "help");
}

// The close button, the tagline and the rest every page shows first.
XmlElement Step(int num, const std::string& comment) {
    XmlElement step("step");
    step.Attr("num", num).Attr("img", "back\\window.png");
    for (int variant = 0; variant < 3; ++variant)
        step.Pair("size" + std::to_string(variant), kWidth, kHeight);
    step.Comment(comment);
    step.Add(Sprite("art\\tagline.png", 20, 372));
    step.Add(Close("close", kWidth - 42, 14));
    return step;
}

} // namespace

ThemeFiles DefaultTheme() {
    ThemeFiles files;
    const plat::Bitmap back = Background();
    files.AddPng("back\\window.png", back);
    AddClose(files, "close", back, kWidth - 42, 14);
    AddSharedControls(files, 44, 28);
    files.AddPng("controls\\scroll_long.png", ScrollTexture(10, 252));
    files.AddPng("controls\\scroll_short.png", ScrollTexture(10, 192));
    files.AddPng("controls\\progress_track.png", ProgressTrack(kInner, 10));
    files.AddPng("controls\\progress_bar.png", ProgressBar(kInner, 10));
    files.AddPng("controls\\wait_track.png", RangeTrack(kInner, 4));
    files.AddPng("controls\\wait_bar.png", RangeBar(140, 4));
    files.AddPng("controls\\icon_folder.png", FolderIconTexture(16));
    files.AddPng("controls\\icon_play.png", PlayIconTexture(16));
    files.AddPng("controls\\step_pill.png", StepPill(104, 24));
    files.AddPng("controls\\warning.png", WarningSign(40));
    files.AddPng("panels\\list.png", Panel(kInner + 12, 292, 10, kPanel, kPanelEdge));
    files.AddPng("panels\\folder.png", FieldOver(back, kLeft, 142, kInner - 132, kButtonH));
    files.AddPng("panels\\path.png", FieldOver(back, kLeft, 146, kInner, kButtonH));
    files.AddPng("panels\\card.png", Panel(kInner, 46, 10, kPanel, kPanelEdge));
    files.AddPng("panels\\card_tall.png", Panel(kInner, 88, 10, kPanel, kPanelEdge));
    AddTaglines(files, "tagline.png", 204, 48, 17);

    XmlElement root = ThemeRoot(false);
    XmlElement& forms = root.Child("forms");

    const int listW = kInner - 12;
    {
        XmlElement step = Step(1, "Licence terms: agree or disagree; the language choice.");
        step.Add(Headline("headline_terms_info"));
        step.Add(Sprite("panels\\list.png", kLeft - 6, 108));
        step.Add(ListBox("terms", kLeft + 6, 118, listW - 16, 270, "controls\\scroll_long.png", 0));
        XmlElement combo = Control("combobox", "language", kLeft, kButtonY);
        combo.Pair("size", 184, kButtonH).Attr("profile", "combo");
        step.Add(combo);
        step.Add(FooterButton("agree", 0, "primary"));
        step.Add(FooterButton("disagree", 1, "secondary"));
        forms.Add(step);
    }
    {
        XmlElement step = Step(2, "Destination folder, portable installation.");
        step.Add(Headline("headline_dest_info"));
        step.Add(TextAt("text_programwill", kLeft, 116, kInner, 20, "body"));
        step.Add(TextAt("folder", kLeft, 142, kInner - 132, kButtonH, "field")
                     .Attr("imgBg", "panels\\folder.png"));
        XmlElement change =
            Sized("buttonicontext", "change_folder", kRight - 122, 142, 122, kButtonH);
        change.Attr("profile", "secondary")
            .Attr("textureIcon", "controls\\icon_folder.png")
            .Attr("iconBorder", 8)
            .Attr("textAlign", "right");
        step.Add(change);
        step.Add(Sprite("panels\\card.png", kLeft, 198));
        step.Add(CheckBox("checkbox_guest", kLeft + 14, 210, kInner - 80));
        step.Add(HelpButton("portable_help", kRight - 38, 209));
        step.Add(LeftFooterButton("cancel_destfolder", "secondary"));
        step.Add(FooterButton("next", 0, "primary"));
        step.Add(FooterButton("back", 1, "secondary"));
        forms.Add(step);
    }
    {
        XmlElement step = Step(3, "Download progress; the attempt count of a resumed download.");
        step.Add(Headline("headline_download_info"));
        step.Add(TextAt("download_info", kLeft, 118, kInner, 20, "body"));
        XmlElement bar = Control("progress", "download_progress", kLeft, 148);
        bar.Attr("imgBg", "controls\\progress_track.png")
            .Attr("imgBar", "controls\\progress_bar.png");
        step.Add(bar);
        step.Add(TextAt("progress_info", kLeft, 168, kInner, 18, "muted"));
        step.Add(FooterButton("cancel_download", 0, "secondary"));
        forms.Add(step);
    }
    {
        XmlElement step = Step(4, "Ready to launch.");
        step.Add(Headline("headline_download_launch_info"));
        step.Add(TextAt("text_downloadcompleted", kLeft, 118, kInner, 22, "subhead"));
        step.Add(TextAt("text_clicklaunch", kLeft, 146, kInner, 20, "body"));
        XmlElement launch = Sized("buttonicontext", "launch", kLeft, 196, 220, 48);
        launch.Attr("profile", "primaryLarge")
            .Attr("textureIcon", "controls\\icon_play.png")
            .Attr("iconBorder", 10)
            .Attr("textAlign", "right");
        step.Add(launch);
        forms.Add(step);
    }
    {
        XmlElement step = Step(5, "Message box: the text, the error sign, the address entry, the "
                                  "link and the five buttons (two at most show at once).");
        AddMessageBox(step, kLeft, 76, kInner, 216, 304, "controls\\scroll_short.png",
                      &FooterButton);
        forms.Add(step);
    }
    {
        XmlElement step = Step(6, "Uninstall question.");
        step.Add(Headline("headline_uninstall_info"));
        step.Add(TextAt("text_wantuninstall", kLeft, 118, kInner, 20, "body"));
        step.Add(TextAt("text_wantuninstall_path", kLeft, 146, kInner, kButtonH, "field")
                     .Attr("imgBg", "panels\\path.png"));
        step.Add(FooterButton("uninstall", 0, "danger"));
        step.Add(FooterButton("cancelUninstall", 1, "secondary"));
        forms.Add(step);
    }
    {
        XmlElement step = Step(7, "Uninstall finished: the results.");
        step.Add(Headline("headline_uninstall_close_info"));
        step.Add(ListBox("errors", kLeft, 116, kInner - 16, 216, "controls\\scroll_short.png", 0));
        step.Add(FooterButton("close_uninstall", 0, "primary"));
        forms.Add(step);
    }
    {
        XmlElement step = Step(8, "Shortcut icons.");
        step.Add(Headline("headline_icons_info"));
        step.Add(Sprite("panels\\card_tall.png", kLeft, 112));
        step.Add(CheckBox("checkbox_icon_desktop", kLeft + 14, 124, kInner - 28));
        step.Add(CheckBox("checkbox_icon_programs", kLeft + 14, 166, kInner - 28));
        step.Add(LeftFooterButton("cancel_icons", "secondary"));
        step.Add(FooterButton("next_icons", 0, "primary"));
        step.Add(FooterButton("back_icons", 1, "secondary"));
        forms.Add(step);
    }
    {
        XmlElement step = Step(9, "Installation or uninstallation progress.");
        step.Add(Headline("headline_progress_info"));
        XmlElement bar = Control("progress", "progress_progress", kLeft, 128);
        bar.Attr("imgBg", "controls\\progress_track.png")
            .Attr("imgBar", "controls\\progress_bar.png");
        step.Add(bar);
        step.Add(FooterButton("cancel_progress", 0, "secondary"));
        forms.Add(step);
    }
    {
        XmlElement step = Step(10, "External applications: three per page, each with its help.");
        step.Add(Headline("headline_extapp_info"));
        for (int slot = 0; slot < 3; ++slot) {
            const int y = 112 + slot * 56;
            const std::string n = std::to_string(slot + 1);
            step.Add(Sprite("panels\\card.png", kLeft, y));
            step.Add(CheckBox("checkbox_extapp_" + n, kLeft + 14, y + 12, kInner - 80));
            step.Add(HelpButton("button_extapp_help_" + n, kRight - 38, y + 11));
        }
        step.Add(LeftFooterButton("cancel_extapp", "secondary"));
        step.Add(FooterButton("next_extapp", 0, "primary"));
        step.Add(FooterButton("back_extapp", 1, "secondary"));
        forms.Add(step);
    }
    {
        XmlElement step = Step(11, "First page: checking for updates; the language buttons.");
        step.Add(Headline("headline_firstpage_info"));
        step.Add(TextAt("firstpage_info", kLeft, 116, kInner, 20, "body"));
        XmlElement wait = Control("spriteRange", "", kLeft, 150);
        wait.Attr("imgBg", "controls\\wait_track.png").Attr("imgBar", "controls\\wait_bar.png");
        step.Add(wait);
        int x = kLeft;
        int index = 1;
        for (const LanguageArt& language : Languages()) {
            XmlElement toggle = Sized("buttoncheck", "button_lang" + std::to_string(index++), x,
                                      kButtonY + 4, 44, 28);
            toggle.Attr("profile", "toggle")
                .Attr("texture", "controls\\toggle_" + language.code + ".png");
            step.Add(toggle);
            x += 50;
        }
        step.Add(FooterButton("cancel_firstpage", 0, "secondary"));
        forms.Add(step);
    }
    forms.Comment("Shared by every page: the step pill, the caption, the step text, the version.");
    XmlElement pill = Control("sprite_stepbg", "", kRight - 42 - 104 - 8, 16);
    pill.Attr("img", "controls\\step_pill.png");
    forms.Add(pill);
    XmlElement caption = Sized("text_caption", "caption", 50, 16, 182, 26);
    caption.Attr("profile", "caption");
    forms.Add(caption);
    XmlElement stepText = Sized("text_step", "", kRight - 42 - 104 - 8, 16, 104, 24);
    stepText.Attr("profile", "stepText");
    forms.Add(stepText);
    XmlElement version = Sized("text_version", "", 20, 452, 200, 16);
    version.Attr("profile", "version");
    forms.Add(version);

    files.AddText("config.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + root.Write());
    return files;
}

} // namespace themegen
