#include "Textures.h"
#include "Themes.h"

namespace themegen {

const std::vector<LanguageArt>& Languages() {
    static const std::vector<LanguageArt> languages = {
        {"en", L"EN", {L"Adventure awaits.", L"Your journey starts here."}},
        {"de", L"DE", {L"Das Abenteuer wartet.", L"Deine Reise beginnt hier."}},
        {"ru",
         L"RU",
         {L"\u041f\u0440\u0438\u043a\u043b\u044e\u0447\u0435\u043d\u0438\u0435 "
          L"\u0436\u0434\u0451\u0442.",
          L"\u0422\u0432\u043e\u0439 \u043f\u0443\u0442\u044c "
          L"\u043d\u0430\u0447\u0438\u043d\u0430\u0435\u0442\u0441\u044f "
          L"\u0437\u0434\u0435\u0441\u044c."}},
    };
    return languages;
}

XmlElement Control(const std::string& element, const std::string& func, int x, int y) {
    XmlElement control(element);
    if (!func.empty())
        control.Attr("func", func);
    control.Pair("pt", x, y);
    return control;
}

XmlElement Sized(const std::string& element, const std::string& func, int x, int y, int w, int h) {
    XmlElement control = Control(element, func, x, y);
    control.Pair("size", w, h);
    return control;
}

void AddTaglines(ThemeFiles& files, const std::string& name, int width, int height, int em) {
    for (const LanguageArt& language : Languages()) {
        const plat::Bitmap picture = Tagline(language.tagline, width, height, em);
        files.AddPng("art\\" + language.code + "_" + name, picture);
        // The plain name is the picture of a language without its own.
        if (language.code == "en")
            files.AddPng("art\\" + name, picture);
    }
}

} // namespace themegen
