#include "WizardText.h"

#include "base/Strings.h"
#include "config/LangSource.h"
#include "platform/Unicode.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace skintest {

const wchar_t* const kProductName = L"Demo Game";

const std::vector<Language>& ShippedLanguages() {
    static const std::vector<Language> languages = [] {
        std::vector<Language> result;
        for (const char* code : {"en", "de", "ru"}) {
            std::ifstream in(std::string(LANG_SOURCE_DIR) + "/" + code + ".txt", std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            std::vector<std::string> strings;
            std::string error;
            EXPECT_TRUE(config::ParseLangSource(text.str(), &strings, &error)) << error;
            Language language;
            language.code = code;
            for (std::size_t id = 0; id < strings.size(); ++id)
                language.strings[static_cast<int>(id)] = plat::Utf8ToWide(strings[id]);
            result.push_back(std::move(language));
        }
        return result;
    }();
    return languages;
}

namespace {

std::wstring S(const Language& language, int id) {
    auto it = language.strings.find(id);
    return it == language.strings.end() ? std::wstring() : it->second;
}

// The label table: one string per id (arrows and run mode aside).
const std::map<int, int> kLabels = {
    {12347, 42}, {12348, 43}, {12411, 38},  {12392, 49},  {12393, 50}, {12397, 52}, {12398, 53},
    {12394, 54}, {12395, 59}, {12377, 48},  {12381, 48},  {12396, 48}, {12388, 48}, {12389, 48},
    {12390, 48}, {12391, 48}, {12346, 60},  {12416, 48},  {12412, 55}, {12413, 56}, {12414, 57},
    {12415, 58}, {12421, 72}, {12422, 79},  {12423, 74},  {12425, 76}, {12426, 78}, {12427, 78},
    {12429, 81}, {12433, 89}, {12434, 90},  {12435, 91},  {12436, 92}, {12378, 61}, {12382, 61},
    {12383, 61}, {12384, 61}, {12419, 112}, {12418, 117}, {12355, 43}, {12359, 72}, {12353, 63},
    {12352, 48}, {12351, 48}, {12357, 52},  {12358, 53},  {12356, 50}, {12365, 62},
};

} // namespace

std::wstring CaptionLine(const Language& language) {
    return std::wstring(kProductName) + L" " + S(language, 111);
}

std::vector<std::wstring> TextsFor(int id, const Language& language, bool arrows) {
    std::vector<std::wstring> texts;
    auto add = [&](int stringId) { texts.push_back(S(language, stringId)); };
    auto format = [&](int stringId, auto... values) {
        texts.push_back(base::FormatW(S(language, stringId).c_str(), values...));
    };
    if (auto it = kLabels.find(id); it != kLabels.end())
        add(it->second);
    switch (id) {
    case 12349:
    case 12375:
    case 12379:
        add(arrows ? 44 : 46);
        break;
    case 12350:
    case 12376:
    case 12380:
        add(arrows ? 45 : 47);
        break;
    case 12354:
        add(64);
        add(48);
        break;
    case 12424:
        for (int s : {86, 75, 87})
            add(s);
        break;
    case 12428:
        add(80);
        add(78);
        break;
    case 12430:
        for (int s : {84, 82, 73, 77, 88, 87, 85})
            add(s);
        break;
    case 12411:
        format(37, 12);
        break;
    case 12405:
        add(18);
        format(4, 2345678.9, 2345678.9);
        format(5, 2345678.9);
        format(16, 100, L"%");
        break;
    case 12406:
        format(37, 12);
        break;
    case 12361:
        for (int s : {65, 66, 18, 84, 82, 73, 77, 88, 87, 85})
            add(s);
        format(4, 2345678.9, 2345678.9);
        format(5, 2345678.9);
        format(16, 100, L"%");
        format(17, 100, L"%");
        format(37, 12);
        break;
    case 12437:
    case 12404:
    case 12362:
        texts.push_back(L"/home/player/Games/Demo Game");
        break;
    case 12420:
        texts.push_back(CaptionLine(language));
        break;
    default:
        break;
    }
    return texts;
}

std::vector<RequiredId> RequiredIds(bool singlePage, int languageCount) {
    std::vector<RequiredId> ids;
    auto on = [&](int step, std::initializer_list<int> list) {
        for (int id : list)
            ids.push_back({id, step});
    };
    if (!singlePage) {
        on(1, {12347, 12348, 12402, 12421});
        on(2, {12349, 12350, 12388, 12392, 12393, 12404, 12423, 12435, 12378});
        on(3, {12389, 12405, 12406, 12407, 12424});
        on(4, {12394, 12425, 12433, 12434});
        on(5, {12399, 12400, 12401, 12412, 12413, 12414, 12415, 12416, 12417, 12418, 12419});
        on(6, {12395, 12396, 12426, 12436, 12437});
        on(7, {12346, 12403, 12427});
        on(8, {12375, 12376, 12377, 12397, 12398, 12422});
        on(9, {12390, 12408, 12428});
        on(10, {12379, 12380, 12381, 12382, 12383, 12384, 12385, 12386, 12387, 12429});
        on(11, {12391, 12411, 12430});
    } else {
        on(1, {12399, 12400, 12401, 12412, 12413, 12414, 12415, 12416, 12417, 12418, 12419});
        on(2, {12395, 12396, 12426, 12436, 12437});
        on(3, {12346, 12403, 12427});
        on(4, {12351, 12352, 12353, 12354, 12355, 12356, 12357, 12358, 12359, 12360, 12361, 12362,
               12363, 12364, 12365});
        on(10, {12379, 12380, 12381, 12382, 12383, 12384, 12385, 12386, 12387, 12429});
    }
    on(0, {12366});
    for (int i = 0; i < languageCount; ++i)
        ids.push_back({12367 + i, 0});
    return ids;
}

std::vector<std::wstring> WrapForList(const std::wstring& text, int width) {
    std::vector<std::wstring> lines;
    std::wstring line;
    std::wstring word;
    auto flushWord = [&] {
        if (word.empty())
            return;
        const std::wstring joined = line.empty() ? word : line + L" " + word;
        if (static_cast<int>(joined.size()) < width) {
            line = joined;
        } else {
            if (!line.empty())
                lines.push_back(line);
            line = word;
        }
        word.clear();
    };
    for (wchar_t c : text) {
        if (c == L'\n') {
            flushWord();
            lines.push_back(line);
            line.clear();
        } else if (c == L' ') {
            flushWord();
        } else {
            word += c;
        }
    }
    flushWord();
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

std::wstring SampleLicence(const std::string& code) {
    if (code == "de")
        return L"NUTZUNGSBEDINGUNGEN\n\n1. Mit der Installation des Spiels erklären Sie sich "
               L"mit diesen Bedingungen einverstanden. Bitte lesen Sie sie vollständig durch, "
               L"bevor Sie fortfahren.\n\n2. Das Spiel und alle zugehörigen Inhalte bleiben "
               L"Eigentum des Herausgebers. Sie erhalten ein einfaches, nicht übertragbares "
               L"Nutzungsrecht für den privaten Gebrauch.\n\n3. Der Launcher prüft bei jedem "
               L"Start die installierten Dateien und lädt Aktualisierungen herunter, sobald "
               L"sie verfügbar sind.\n\n4. Veränderungen an den Spieldateien, Betrug und die "
               L"Nutzung nicht autorisierter Programme können zur Sperrung des Kontos führen.";
    if (code == "ru")
        return L"\u0423\u0421\u041b\u041e\u0412\u0418\u042f "
               L"\u0418\u0421\u041f\u041e\u041b\u042c\u0417\u041e\u0412\u0410\u041d\u0418\u042f\n\n"
               L"1. \u0423\u0441\u0442\u0430\u043d\u0430\u0432\u043b\u0438\u0432\u0430\u044f "
               L"\u0438\u0433\u0440\u0443, \u0432\u044b "
               L"\u043f\u0440\u0438\u043d\u0438\u043c\u0430\u0435\u0442\u0435 "
               L"\u043d\u0430\u0441\u0442\u043e\u044f\u0449\u0438\u0435 "
               L"\u0443\u0441\u043b\u043e\u0432\u0438\u044f. "
               L"\u041f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430, "
               L"\u043f\u0440\u043e\u0447\u0438\u0442\u0430\u0439\u0442\u0435 \u0438\u0445 "
               L"\u043f\u043e\u043b\u043d\u043e\u0441\u0442\u044c\u044e "
               L"\u043f\u0435\u0440\u0435\u0434 "
               L"\u043f\u0440\u043e\u0434\u043e\u043b\u0436\u0435\u043d\u0438\u0435\u043c.\n\n"
               L"2. \u0418\u0433\u0440\u0430 \u0438 \u0432\u0441\u0435 "
               L"\u0435\u0451 \u043c\u0430\u0442\u0435\u0440\u0438\u0430\u043b\u044b "
               L"\u043e\u0441\u0442\u0430\u044e\u0442\u0441\u044f "
               L"\u0441\u043e\u0431\u0441\u0442\u0432\u0435\u043d\u043d\u043e\u0441\u0442\u044c"
               L"\u044e "
               L"\u0438\u0437\u0434\u0430\u0442\u0435\u043b\u044f. \u0412\u044b "
               L"\u043f\u043e\u043b\u0443\u0447\u0430\u0435\u0442\u0435 "
               L"\u043f\u0440\u0430\u0432\u043e \u043b\u0438\u0447\u043d\u043e\u0433\u043e "
               L"\u043d\u0435\u043a\u043e\u043c\u043c\u0435\u0440\u0447\u0435\u0441\u043a\u043e"
               L"\u0433\u043e "
               L"\u0438\u0441\u043f\u043e\u043b\u044c\u0437\u043e\u0432\u0430\u043d\u0438\u044f."
               L"\n\n"
               L"3. \u041f\u0440\u0438 \u043a\u0430\u0436\u0434\u043e\u043c "
               L"\u0437\u0430\u043f\u0443\u0441\u043a\u0435 "
               L"\u043b\u0430\u0443\u043d\u0447\u0435\u0440 "
               L"\u043f\u0440\u043e\u0432\u0435\u0440\u044f\u0435\u0442 "
               L"\u0444\u0430\u0439\u043b\u044b \u0438\u0433\u0440\u044b \u0438 "
               L"\u0437\u0430\u0433\u0440\u0443\u0436\u0430\u0435\u0442 "
               L"\u043e\u0431\u043d\u043e\u0432\u043b\u0435\u043d\u0438\u044f.";
    return L"TERMS AND CONDITIONS\n\n1. By installing the game you agree to these terms. "
           L"Please read them in full before you continue.\n\n2. The game and all of its "
           L"content remain the property of the publisher. You receive a personal, "
           L"non-transferable right to play it for private use.\n\n3. Each time it starts, "
           L"the launcher checks the installed files and downloads updates as soon as they "
           L"are published.\n\n4. Changing the game files, cheating or using unauthorised "
           L"programs may lead to the suspension of your account.\n\n5. The publisher may "
           L"change these terms; the launcher shows the new terms before the next update.";
}

} // namespace skintest
