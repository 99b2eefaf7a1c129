#include "logic/LangFormat.h"

namespace logic {

std::wstring FormatLangText(std::wstring_view format, std::wstring_view name) {
    std::wstring out;
    out.reserve(format.size() + name.size());
    bool nameUsed = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size()) {
            if (format[i + 1] == L'%') {
                out += L'%';
                ++i;
                continue;
            }
            if (format[i + 1] == L's' && !nameUsed) {
                out += name;
                nameUsed = true;
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

} // namespace logic
