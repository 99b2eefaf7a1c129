#include "ThemeCheck.h"

#include "base/Strings.h"
#include "platform/Unicode.h"
#include "skin/SkinButton.h"
#include "skin/SkinComboBox.h"
#include "skin/SkinForm.h"
#include "skin/SkinListBox.h"
#include "skin/SkinStatic.h"

#include <cstring>
#include <map>
#include <set>

namespace skintest {

namespace {

using skin::CSkinControl;

std::string Narrow(const std::wstring& text) {
    return plat::WideToUtf8(text);
}

bool IsImageAttribute(const char* name) {
    static const char* const kNames[] = {"img",
                                         "imgDown",
                                         "imgN",
                                         "imgH",
                                         "imgP",
                                         "imgD",
                                         "texture",
                                         "textureIcon",
                                         "textureIconItem",
                                         "textureIconMain",
                                         "imgBg",
                                         "imgBar",
                                         "imgItemH",
                                         "imgBtnUpN",
                                         "imgBtnUpH",
                                         "imgBtnUpP",
                                         "imgBtnDnN",
                                         "imgBtnDnH",
                                         "imgBtnDnP",
                                         "imgThumb"};
    for (const char* known : kNames)
        if (std::strcmp(known, name) == 0)
            return true;
    // The picture label of a picture button.
    return false;
}

void CheckPictures(const tinyxml2::XMLElement* element, const ThemeUnderCheck& theme,
                   std::vector<std::string>* problems) {
    for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
        const bool picture =
            IsImageAttribute(a->Name()) ||
            (std::strcmp(a->Name(), "text") == 0 && std::strcmp(element->Name(), "button") == 0);
        if (!picture)
            continue;
        const std::string path = a->Value();
        std::string bytes;
        if (!theme.members->GetMember(theme.folder + path, &bytes)) {
            problems->push_back("picture \"" + path + "\" of <" + element->Name() + "> is missing");
            continue;
        }
        // A language variant of a picture exists for all shipped languages
        // or for none.
        int variants = 0;
        for (const Language& language : ShippedLanguages())
            variants += theme.members->GetMember(
                theme.folder + skin::CSkinTheme::LanguageVariant(path, language.code + "_"),
                &bytes);
        if (variants != 0 && variants != static_cast<int>(ShippedLanguages().size()))
            problems->push_back("picture \"" + path + "\" lacks some language variants");
    }
    for (const tinyxml2::XMLElement* child = element->FirstChildElement(); child;
         child = child->NextSiblingElement())
        CheckPictures(child, theme, problems);
}

void CheckPieces(const CSkinControl* control, const tinyxml2::XMLElement* element,
                 std::vector<std::string>* problems) {
    const std::string name = element->Name();
    const std::string where = "<" + name + " func=\"" + control->GetName() + "\">";
    if (auto* button = dynamic_cast<const skin::CSkinButtonTextCommon*>(control)) {
        const bool textured = element->Attribute("texture") ||
                              (element->Attribute("profile") &&
                               std::string(element->Attribute("profile")) != "link" &&
                               std::string(element->Attribute("profile")) != "toggle");
        const std::size_t pieces = button->PieceCount();
        if (name == "checkbox" && pieces != 8)
            problems->push_back(where + " has " + std::to_string(pieces) + " pieces, 8 expected");
        else if (name != "checkbox" && textured && pieces != 4 && pieces != 36 &&
                 !element->Attribute("imgN"))
            problems->push_back(where + " has " + std::to_string(pieces) +
                                " pieces, 4 or 36 expected");
    }
    if (auto* combo = dynamic_cast<const skin::CSkinComboBox*>(control))
        if (combo->PieceCount() != 6)
            problems->push_back(where + " has " + std::to_string(combo->PieceCount()) +
                                " pieces, 6 expected");
    if (auto* list = dynamic_cast<const skin::CSkinListBox*>(control))
        if (!list->ScrollBar() || list->ScrollBar()->PieceCount() != 8)
            problems->push_back(where + " has no scroll bar of 8 pieces");
}

} // namespace

std::vector<std::string> CheckStructure(const ThemeUnderCheck& theme) {
    std::vector<std::string> problems;
    const CDialog& dialog = *theme.dialog;
    const tinyxml2::XMLElement* forms = theme.document->RootElement()->FirstChildElement("forms");
    // Steps 1..N in document order.
    int expected = 1;
    for (int i = 0; i < dialog.FormCount(); ++i, ++expected)
        if (dialog.Form(i)->GetNum() != expected)
            problems.push_back("step " + std::to_string(i + 1) + " in document order is numbered " +
                               std::to_string(dialog.Form(i)->GetNum()));
    // Every control element loaded; ids counted.
    std::map<int, std::vector<int>> steps; // id -> steps holding it
    int index = 0;
    for (const tinyxml2::XMLElement* step = forms->FirstChildElement("step"); step;
         step = step->NextSiblingElement("step"), ++index) {
        const skin::CSkinForm* form = dialog.Form(index);
        // Controls keep the document's order; a control that failed to
        // load is missing from the form's list.
        int next = 0;
        for (const tinyxml2::XMLElement* child = step->FirstChildElement(); child;
             child = child->NextSiblingElement()) {
            if (!skin::MakeControl(child->Name(), nullptr))
                continue;
            const std::string func = child->Attribute("func") ? child->Attribute("func") : "";
            const CSkinControl* control = form->GetControl(next);
            if (!control || control->GetName() != func) {
                problems.push_back("step " + std::to_string(form->GetNum()) + ": <" +
                                   child->Name() + (func.empty() ? "" : " func=\"" + func + "\"") +
                                   "> did not load");
                continue;
            }
            ++next;
            CheckPieces(control, child, &problems);
            const int id = skin::ControlIdFromName(func);
            if (!func.empty() && id == -1)
                problems.push_back("unknown function name \"" + func + "\"");
            if (id != -1)
                steps[id].push_back(form->GetNum());
            const plat::Rect rect = control->GetRect();
            const plat::Size size =
                form->GetImage().IsEmpty()
                    ? plat::Size{}
                    : plat::Size{form->GetImage().Width(), form->GetImage().Height()};
            if (rect.left < 0 || rect.top < 0 || rect.right > size.cx || rect.bottom > size.cy)
                problems.push_back("step " + std::to_string(form->GetNum()) + ": \"" + func +
                                   "\" leaves the window");
        }
        if (next != form->GetControlCount())
            problems.push_back("step " + std::to_string(form->GetNum()) + ": " +
                               std::to_string(form->GetControlCount() - next) +
                               " unexpected controls");
    }
    for (const auto& [id, where] : steps)
        if (id != 12345 && where.size() > 1)
            problems.push_back("id " + std::to_string(id) + " appears " +
                               std::to_string(where.size()) + " times");
    for (const RequiredId& required :
         RequiredIds(theme.singlePage, static_cast<int>(ShippedLanguages().size()))) {
        auto it = steps.find(required.id);
        if (it == steps.end()) {
            problems.push_back("id " + std::to_string(required.id) + " (" +
                               skin::ControlNameFromId(required.id) + ") is missing");
            continue;
        }
        if (required.step != 0 && it->second.front() != required.step)
            problems.push_back("id " + std::to_string(required.id) + " is on step " +
                               std::to_string(it->second.front()) + ", not " +
                               std::to_string(required.step));
    }
    // Every step the mode shows has the close button.
    for (int i = 0; i < dialog.FormCount(); ++i) {
        const skin::CSkinForm* form = dialog.Form(i);
        if (form->GetImage().IsEmpty())
            continue;
        bool close = false;
        for (int c = 0; c < form->GetControlCount(); ++c)
            close = close || form->GetControl(c)->GetName() == "close";
        if (!close)
            problems.push_back("step " + std::to_string(form->GetNum()) + " has no close button");
    }
    CheckPictures(theme.document->RootElement(), theme, &problems);
    return problems;
}

namespace {

// Sets the text and reports when it does not fit its control.
void CheckText(CSkinControl* control, const std::wstring& text, const std::string& code,
               std::vector<std::string>* problems) {
    control->SetWindowText(text);
    const std::string where =
        "[" + code + "] \"" + control->GetName() + "\" cannot show \"" + Narrow(text) + "\"";
    if (auto* label = dynamic_cast<skin::CSkinText*>(control)) {
        if (label->LabelWidth() > label->LabelRoom())
            problems->push_back(where + ": " + std::to_string(label->LabelWidth()) + " > " +
                                std::to_string(label->LabelRoom()) + " pixels");
        return;
    }
    if (auto* icon = dynamic_cast<skin::CSkinIconButtonText*>(control)) {
        const plat::Rect rect{0, 0, icon->GetRect().Width(), icon->GetRect().Height()};
        for (int state = 0; state < 4; ++state) {
            const auto layout = icon->LayoutFor(state, rect);
            if (icon->LabelWidth(state) > layout.label.Width() || layout.label.left < 0 ||
                layout.icon.right > rect.right)
                problems->push_back(where + " beside its icon");
        }
        return;
    }
    if (auto* box = dynamic_cast<skin::CSkinCheckBox*>(control)) {
        for (int state = 0; state < 4; ++state) {
            const int need =
                18 + box->TextOffset().x + box->LabelWidth(box->LabelFontState(state)) + 3;
            if (need > box->GetRect().Width())
                problems->push_back(where + ": " + std::to_string(need) + " > " +
                                    std::to_string(box->GetRect().Width()) + " pixels");
        }
        return;
    }
    if (auto* button = dynamic_cast<skin::CSkinButtonTextCommon*>(control)) {
        // A label keeps 8 pixels from the edges of a picture button; a
        // button without pictures must not have been cut to its size.
        const int margin = button->HasNoImage() ? 0 : 16;
        for (int state = 0; state < 4; ++state) {
            const int need = button->LabelWidth(state) + margin +
                             (button->HasNoImage() ? button->TextOffset().x + 3 : 0);
            if (need > button->GetRect().Width())
                problems->push_back(where + ": " + std::to_string(need) + " > " +
                                    std::to_string(button->GetRect().Width()) + " pixels");
        }
    }
}

void CheckLines(const skin::CSkinListBox& list, const std::vector<std::wstring>& lines,
                const std::string& code, std::vector<std::string>* problems) {
    auto font = list.Font().Get(list.Theme().FontIndex());
    for (const std::wstring& line : lines)
        if (font->TextExtent(line).cx > list.TextRoom())
            problems->push_back("[" + code + "] \"" + list.GetName() +
                                "\" cannot show the line \"" + Narrow(line) +
                                "\": " + std::to_string(font->TextExtent(line).cx) + " > " +
                                std::to_string(list.TextRoom()) + " pixels");
}

} // namespace

std::vector<std::string> CheckTexts(CDialog& dialog, const Language& language, bool arrows) {
    std::vector<std::string> problems;
    for (int i = 0; i < dialog.FormCount(); ++i) {
        const skin::CSkinForm* form = dialog.Form(i);
        for (int c = 0; c < form->GetControlCount(); ++c) {
            CSkinControl* control = form->GetControl(c);
            const int id = skin::ControlIdFromName(control->GetName());
            for (const std::wstring& text : TextsFor(id, language, arrows))
                CheckText(control, text, language.code, &problems);
            if (auto* list = dynamic_cast<skin::CSkinListBox*>(control)) {
                // Lines strictly shorter than the wizard's widths: 57 for the
                // terms, the list's own or 45 and 35 for the message boxes.
                int width = list->MaxCharsInLine();
                if (width < 1)
                    width = id == 12402 ? 57 : id == 12400 ? 35 : 45;
                std::vector<std::wstring> lines = WrapForList(SampleLicence(language.code), width);
                for (int s : {23, 40, 105, 106, 109, 113, 114, 69, 99, 100}) {
                    auto more = WrapForList(language.strings.at(s), width);
                    lines.insert(lines.end(), more.begin(), more.end());
                }
                CheckLines(*list, lines, language.code, &problems);
            }
            if (auto* combo = dynamic_cast<skin::CSkinComboBox*>(control)) {
                // The language names, beside the badge and clear of the
                // arrow at the right end (28 pixels).
                static const wchar_t* const kNames[] = {
                    L"English", L"Deutsch", L"\u0420\u0443\u0441\u0441\u043a\u0438\u0439"};
                for (const wchar_t* name : kNames)
                    for (int slot = 0; slot < 4; ++slot) {
                        auto font = combo->SlotFont(slot).Get(dialog.Theme().FontIndex());
                        const int width = font ? font->TextExtent(name).cx : 0;
                        if (width > combo->TextRect().Width() - 28)
                            problems.push_back("[" + language.code + "] \"language\" cannot show " +
                                               Narrow(name));
                    }
            }
        }
    }
    if (CSkinControl* caption = dialog.CaptionText())
        CheckText(caption, CaptionLine(language), language.code, &problems);
    if (CSkinControl* step = dialog.StepText())
        CheckText(step, base::FormatW(language.strings.at(41).c_str(), 10, 10), language.code,
                  &problems);
    return problems;
}

} // namespace skintest
