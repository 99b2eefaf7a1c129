// The two themes the launcher ships, as tools/themegen draws them: the
// completeness check in every shipped language, and a screenshot of every
// step in every language (kept in test-artefacts/skin for a person to look
// at), each step filled the way the wizard fills it.

#include "SkinTestSupport.h"
#include "ThemeCheck.h"
#include "Themes.h"
#include "WizardText.h"
#include "base/Strings.h"
#include "platform/Unicode.h"
#include "skin/SkinButton.h"
#include "skin/SkinComboBox.h"
#include "skin/SkinForm.h"
#include "skin/SkinListBox.h"
#include "skin/SkinStatic.h"

#include <gtest/gtest.h>

namespace skintest {
namespace {

struct Shipped {
    std::string folder; // "theme_default"
    bool singlePage;
    const themegen::ThemeFiles& (*files)();
};

const themegen::ThemeFiles& DefaultFiles() {
    static const themegen::ThemeFiles files = themegen::DefaultTheme();
    return files;
}
const themegen::ThemeFiles& SingleFiles() {
    static const themegen::ThemeFiles files = themegen::SingleTheme();
    return files;
}

class ShippedThemeTest : public DialogTest, public ::testing::WithParamInterface<Shipped> {
protected:
    bool LoadShipped(const Language& language) {
        const Shipped& shipped = GetParam();
        for (const auto& [name, bytes] : shipped.files().files)
            members.members[shipped.folder + "\\" + name] = bytes;
        strings = language.strings;
        dialog.Theme().SetLanguagePrefix(language.code + "_");
        dialog.Theme().SetFontIndex(0);
        dialog.SetProductName(kProductName);
        dialog.SetPageTotal(6);
        return LoadDocument(shipped.files().files.at("config.xml"), shipped.folder + "\\");
    }
    bool Arrows() const { return !GetParam().singlePage; }

    template <typename T> T* Find(int id) { return dialog.FindControlAs<T>(id); }
    void Text(int id, const std::wstring& text) {
        if (skin::ISkinable* control = dialog.FindControl(id))
            control->GetWindow()->SetWindowText(text);
    }
    void Visible(int id, bool visible) {
        if (skin::ISkinable* control = dialog.FindControl(id))
            control->SetVisible(visible);
    }
    void Fill(int id, const std::vector<std::wstring>& lines) {
        if (auto* list = Find<skin::CSkinListBox>(id)) {
            list->DeleteAllItems();
            for (const auto& line : lines)
                list->AddItem(line);
        }
    }
    void Labels(const Language& language) {
        for (int i = 0; i < dialog.FormCount(); ++i)
            for (int c = 0; c < dialog.Form(i)->GetControlCount(); ++c) {
                skin::CSkinControl* control = dialog.Form(i)->GetControl(c);
                auto texts =
                    TextsFor(skin::ControlIdFromName(control->GetName()), language, Arrows());
                if (!texts.empty())
                    control->SetWindowText(texts.front());
            }
        if (auto* combo = Find<skin::CSkinComboBox>(12366)) {
            combo->ResetContent();
            combo->AddItem(L"English", 0, 0);
            combo->AddItem(L"Deutsch", 1, 0);
            combo->AddItem(L"\u0420\u0443\u0441\u0441\u043a\u0438\u0439", 2, 0);
            int index = 0;
            for (const Language& entry : ShippedLanguages()) {
                if (entry.code == language.code)
                    combo->SetCurSel(index);
                if (auto* button = Find<skin::CSkinButtonCheck>(12367 + index))
                    button->SetChecked(entry.code == language.code);
                ++index;
            }
        }
    }
    // Fills the step the way the wizard shows it; the variant to show.
    int Scene(int step, const Language& language);
    void Shot(const std::string& name) {
        const plat::Rect bounds = DialogSurface()->Bounds();
        plat::Bitmap screen;
        ASSERT_TRUE(presenter->CaptureScreen(&screen));
        plat::Bitmap shot;
        ASSERT_TRUE(shot.Create(bounds.Width() + 32, bounds.Height() + 32));
        plat::Canvas canvas(&shot);
        plat::BitBlt(canvas, 0, 0, shot.Width(), shot.Height(), screen, bounds.left - 16,
                     bounds.top - 16);
        ASSERT_TRUE(plat::SavePng(shot, plat::Utf8ToWide(ArtefactFolder() + "/" + name)));
    }
};

std::wstring S(const Language& language, int id) {
    return language.strings.at(id);
}

int ShippedThemeTest::Scene(int step, const Language& language) {
    const bool single = GetParam().singlePage;
    auto format = [&](int id, auto... values) {
        return base::FormatW(S(language, id).c_str(), values...);
    };
    if (!single) {
        // An installation with external applications: terms, folder, icons,
        // applications, progress, download, launch.
        const int numbers[][2] = {{1, 1}, {2, 2}, {8, 3}, {10, 4}, {9, 5}, {3, 6}, {4, 7}};
        for (const auto& [page, number] : numbers)
            dialog.SetStepNumber(page, number);
        dialog.SetPageTotal(7);
    }
    switch (single ? step + 100 : step) {
    case 1:
        Fill(12402, WrapForList(SampleLicence(language.code), 57));
        break;
    case 2:
    case 104:
        Text(single ? 12362 : 12404, L"/home/player/Games/Demo Game");
        break;
    case 3:
        Text(12405, format(4, 812345.6, 2345678.9));
        if (auto* bar = Find<skin::CSkinProgress>(12407))
            bar->SetPos(34);
        Text(12406, format(37, 2));
        break;
    case 5:
    case 101: {
        const bool error = step == 5;
        Visible(12399, !error);
        Visible(12400, error);
        Visible(12401, error);
        Visible(12417, false);
        Visible(12419, false);
        Visible(12418, false);
        const int buttons[] = {12412, 12413, 12414, 12415, 12416};
        for (int id : buttons)
            Visible(id, error ? (id == 12415 || id == 12416) : id == 12414);
        Fill(error ? 12400 : 12399, WrapForList(S(language, error ? 40 : 69), error ? 35 : 45));
        break;
    }
    case 6:
    case 102:
        Text(12437, L"/home/player/Games/Demo Game");
        break;
    case 7:
    case 103:
        Fill(12403, {S(language, 100)});
        break;
    case 8:
        if (auto* box = Find<skin::CSkinCheckBox>(12397))
            box->SetChecked(true);
        if (auto* box = Find<skin::CSkinCheckBox>(12398))
            box->SetChecked(true);
        break;
    case 9:
        if (auto* bar = Find<skin::CSkinProgress>(12408))
            bar->SetPos(62);
        break;
    case 10:
    case 110: {
        const wchar_t* names[] = {L"Voice Chat", L"Replay Recorder", L"Community Overlay"};
        for (int slot = 0; slot < 3; ++slot) {
            Text(12385 + slot, names[slot]);
            if (auto* box = Find<skin::CSkinCheckBox>(12385 + slot))
                box->SetChecked(slot != 1);
        }
        break;
    }
    case 11:
        Text(12430, S(language, 82));
        break;
    default:
        break;
    }
    if (single && step == 4) {
        // The ready state with the installation options shown.
        Visible(12351, false);
        Visible(12364, false);
        if (auto* install = Find<skin::CSkinButtonTextCommon>(12354))
            install->SetEnabled(false);
        Text(12361, S(language, 65));
        if (auto* box = Find<skin::CSkinCheckBox>(12357))
            box->SetChecked(true);
        if (auto* box = Find<skin::CSkinCheckBox>(12358))
            box->SetChecked(true);
        return 3;
    }
    return single ? 0 : 1;
}

TEST_P(ShippedThemeTest, IsCompleteAndFitsEveryLanguage) {
    const Language& english = ShippedLanguages().front();
    ASSERT_TRUE(LoadShipped(english));
    ThemeUnderCheck theme{
        &dialog, &document, &members, GetParam().folder + "\\", GetParam().singlePage, Arrows()};
    for (const std::string& problem : CheckStructure(theme))
        ADD_FAILURE() << GetParam().folder << ": " << problem;
    for (const Language& language : ShippedLanguages()) {
        strings = language.strings;
        dialog.ChangeLanguage(language.code + "_", 0);
        for (const std::string& problem : CheckTexts(dialog, language, Arrows()))
            ADD_FAILURE() << GetParam().folder << ": " << problem;
    }
}

TEST_P(ShippedThemeTest, EveryStepDrawsInEveryLanguage) {
    for (const Language& language : ShippedLanguages()) {
        dialog.Destroy();
        ASSERT_TRUE(LoadShipped(language)) << language.code;
        Labels(language);
        for (int i = 0; i < dialog.FormCount(); ++i) {
            const skin::CSkinForm* form = dialog.Form(i);
            if (form->GetImage().IsEmpty())
                continue; // a page the mode never shows
            const int variant = Scene(form->GetNum(), language);
            ASSERT_TRUE(Show(form->GetNum(), variant));
            // The window is the step's size and painted inside its shape.
            const plat::Rect bounds = DialogSurface()->Bounds();
            EXPECT_EQ(bounds.Width(), form->GetSize().cx);
            EXPECT_EQ(bounds.Height(), form->GetSize().cy);
            EXPECT_EQ(plat::PixelA(Probe(bounds.Width() / 2, bounds.Height() / 2)), 255);
            char name[96];
            std::snprintf(name, sizeof name, "%s-step%02d-%s.png", GetParam().folder.c_str(),
                          form->GetNum(), language.code.c_str());
            Shot(name);
        }
        if (GetParam().singlePage) {
            // The install page while downloading (options hidden) and in an
            // update run.
            Visible(12364, false);
            for (int id : {12353, 12352, 12359, 12355, 12362, 12351})
                Visible(id, false);
            Visible(12354, false);
            for (int id : {12356, 12357, 12358, 12365, 12363})
                Visible(id, false);
            Text(12361, base::FormatW(S(language, 4).c_str(), 812345.6, 2345678.9));
            if (auto* bar = Find<skin::CSkinProgress>(12360))
                bar->SetPos(34);
            ASSERT_TRUE(Show(4, 0));
            Shot("theme_single-step04-download-" + language.code + ".png");
            Visible(12351, true);
            Visible(12364, true);
            Text(12361, S(language, 82));
            ASSERT_TRUE(Show(4, 1));
            Shot("theme_single-step04-update-" + language.code + ".png");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Themes, ShippedThemeTest,
                         ::testing::Values(Shipped{"theme_default", false, &DefaultFiles},
                                           Shipped{"theme_single", true, &SingleFiles}),
                         [](const auto& info) { return info.param.folder; });

} // namespace
} // namespace skintest

namespace skintest {
namespace {

// The check itself: a damaged copy of the default theme shows each fault.
class DamagedThemeTest : public DialogTest {};

tinyxml2::XMLElement* ControlByFunc(tinyxml2::XMLElement* element, const char* func) {
    for (tinyxml2::XMLElement* child = element->FirstChildElement(); child;
         child = child->NextSiblingElement()) {
        if (child->Attribute("func") && std::string(child->Attribute("func")) == func)
            return child;
        if (tinyxml2::XMLElement* found = ControlByFunc(child, func))
            return found;
    }
    return nullptr;
}

TEST_F(DamagedThemeTest, TheCheckFindsEachFault) {
    const themegen::ThemeFiles& files = DefaultFiles();
    for (const auto& [name, bytes] : files.files)
        members.members["theme_default\\" + name] = bytes;
    tinyxml2::XMLDocument source;
    ASSERT_EQ(source.Parse(files.files.at("config.xml").c_str()), tinyxml2::XML_SUCCESS);
    tinyxml2::XMLElement* root = source.RootElement();
    tinyxml2::XMLElement* agree = ControlByFunc(root, "agree");
    agree->Parent()->DeleteChild(agree);                        // a required id missing
    ControlByFunc(root, "next")->SetAttribute("size", "40,36"); // a label too wide
    ControlByFunc(root, "checkbox_guest")->SetAttribute("texture", "controls\\button_round.png");
    ControlByFunc(root, "headline_uninstall_info")->SetAttribute("func", "download_info");
    ControlByFunc(root, "folder")->SetAttribute("imgBg", "panels\\gone.png");
    tinyxml2::XMLElement* forms = root->FirstChildElement("forms");
    forms->FirstChildElement("step")->NextSiblingElement("step")->SetAttribute("num", 12);
    tinyxml2::XMLPrinter printer;
    source.Print(&printer);
    strings = ShippedLanguages().front().strings;
    ASSERT_TRUE(LoadDocument(printer.CStr(), "theme_default\\"));

    ThemeUnderCheck theme{&dialog, &document, &members, "theme_default\\", false, true};
    std::vector<std::string> problems = CheckStructure(theme);
    const auto more = CheckTexts(dialog, ShippedLanguages().front(), true);
    problems.insert(problems.end(), more.begin(), more.end());
    auto reported = [&](const std::string& part) {
        for (const std::string& problem : problems)
            if (problem.find(part) != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(reported("step 2 in document order is numbered 12"));
    EXPECT_TRUE(reported("id 12348 (agree) is missing"));
    EXPECT_TRUE(reported("id 12405 appears 2 times"));
    EXPECT_TRUE(reported("step 12: <checkbox func=\"checkbox_guest\"> did not load"));
    EXPECT_TRUE(reported("picture \"panels\\gone.png\" of <text> is missing"));
    EXPECT_TRUE(reported("[en] \"next\" cannot show \"Next >\""));
    EXPECT_TRUE(reported("id 12426 (headline_uninstall_info) is missing"));
    // Nothing else: every report names a fault made above.
    EXPECT_FALSE(reported("(back) is missing"));
    EXPECT_FALSE(reported("<buttontext"));
}

} // namespace
} // namespace skintest
