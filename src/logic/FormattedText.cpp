#include "logic/FormattedText.h"

#include "logic/LangFormat.h"

namespace logic {

bool RenderFormattedText(const std::vector<TextValue>& values,
                         const std::function<std::wstring(int)>& strings, std::wstring* text) {
    if (values.empty())
        return false;
    std::wstring format;
    if (values[0].kind == TextValue::StringId)
        format = strings(static_cast<int>(values[0].integer));
    else if (values[0].kind == TextValue::Text)
        format = values[0].text;
    else
        return false;
    std::vector<LangArg> args;
    for (std::size_t i = 1; i < values.size(); ++i) {
        const TextValue& value = values[i];
        if (value.kind == TextValue::Real)
            args.push_back(LangArg{LangArg::Real, 0, value.real, {}});
        else if (value.kind == TextValue::Text)
            args.push_back(LangArg{LangArg::Text, 0, 0, value.text});
        else
            args.push_back(LangArg{LangArg::Integer, value.integer, 0, {}});
    }
    FormatLangArgs(format, args, text);
    return true;
}

} // namespace logic
