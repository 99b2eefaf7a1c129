#include "config/LangSource.h"

#include "platform/Unicode.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace config {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Far above any real table; keeps a mistyped id from sizing a huge table.
constexpr std::uint32_t kMaxId = 65535;

bool Unescape(std::string_view text, std::string* out, std::string* fault) {
    out->clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out->push_back(text[i]);
            continue;
        }
        if (++i == text.size()) {
            *fault = "backslash at the end of the line";
            return false;
        }
        switch (text[i]) {
        case 'n':
            out->push_back('\n');
            break;
        case 't':
            out->push_back('\t');
            break;
        case '\\':
            out->push_back('\\');
            break;
        default:
            *fault = std::string("unknown escape \\") + text[i];
            return false;
        }
    }
    return true;
}

bool ParseId(std::string_view text, std::uint32_t* id) {
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *id);
    return ec == std::errc() && end == text.data() + text.size() && *id <= kMaxId;
}

bool IsOneOf(char c, std::string_view set) {
    return set.find(c) != std::string_view::npos;
}

} // namespace

bool ParseLangSource(std::string_view source, std::vector<std::string>* strings,
                     std::string* error) {
    strings->clear();
    if (source.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        source.remove_prefix(kByteOrderMark.size());

    std::vector<std::string> result;
    std::vector<bool> seen;
    int lineNumber = 0;
    auto fail = [&](const std::string& fault) {
        if (error)
            *error = "line " + std::to_string(lineNumber) + ": " + fault;
        return false;
    };

    while (!source.empty()) {
        ++lineNumber;
        const std::size_t end = source.find('\n');
        std::string_view line = source.substr(0, end);
        source.remove_prefix(end == std::string_view::npos ? source.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;

        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return fail("no tab after the id");
        std::uint32_t id = 0;
        if (!ParseId(line.substr(0, tab), &id))
            return fail(std::string(1, '"')
                            .append(line.substr(0, tab))
                            .append("\" is not an id (0 to 65535)"));
        bool valid = false;
        plat::Utf8ToWide(line, &valid);
        if (!valid)
            return fail("invalid UTF-8");
        std::string text, fault;
        if (!Unescape(line.substr(tab + 1), &text, &fault))
            return fail(fault);

        if (id >= result.size()) {
            result.resize(id + 1);
            seen.resize(id + 1, false);
        }
        if (seen[id])
            return fail("id " + std::to_string(id) + " appears twice");
        seen[id] = true;
        result[id] = std::move(text);
    }
    for (std::size_t id = 0; id < seen.size(); ++id) {
        if (!seen[id]) {
            if (error)
                *error = "id " + std::to_string(id) + " is missing";
            return false;
        }
    }
    if (result.empty()) {
        if (error)
            *error = "no strings";
        return false;
    }
    *strings = std::move(result);
    return true;
}

std::string EscapeLangText(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
        else
            out.push_back(c);
    }
    return out;
}

std::vector<std::string> ExtractPlaceholders(std::string_view text) {
    std::vector<std::string> found;
    std::size_t i = 0;
    while ((i = text.find('%', i)) != std::string_view::npos) {
        if (i + 1 < text.size() && text[i + 1] == '%') {
            i += 2;
            continue;
        }
        std::size_t j = i + 1;
        auto skip = [&](std::string_view set) {
            while (j < text.size() && IsOneOf(text[j], set))
                ++j;
        };
        skip("-+ #0");       // flags
        skip("0123456789*"); // width
        if (j < text.size() && text[j] == '.') {
            ++j;
            skip("0123456789*"); // precision
        }
        skip("hlLqjzt"); // length
        if (j < text.size() && IsOneOf(text[j], "diouxXeEfFgGaAcspn"))
            ++j;
        else if (j < text.size())
            ++j; // not a conversion: keep the offending character
        found.emplace_back(text.substr(i, j - i));
        i = j;
    }
    return found;
}

std::string FormatPlaceholders(const std::vector<std::string>& placeholders) {
    std::string out = "[";
    for (std::size_t i = 0; i < placeholders.size(); ++i) {
        if (i > 0)
            out += ' ';
        out += placeholders[i];
    }
    return out + "]";
}

bool CheckTranslation(const std::vector<std::string>& reference,
                      const std::vector<std::string>& translation,
                      std::vector<std::string>* problems) {
    bool same = true;
    auto report = [&](std::string line) {
        same = false;
        if (problems)
            problems->push_back(std::move(line));
    };
    if (reference.size() != translation.size())
        report("ids differ: the reference holds ids 0 to " +
               std::to_string(static_cast<long long>(reference.size()) - 1) +
               ", the translation 0 to " +
               std::to_string(static_cast<long long>(translation.size()) - 1));
    const std::size_t common = std::min(reference.size(), translation.size());
    for (std::size_t id = 0; id < common; ++id) {
        const auto expected = ExtractPlaceholders(reference[id]);
        const auto actual = ExtractPlaceholders(translation[id]);
        if (expected != actual)
            report("id " + std::to_string(id) + ": placeholders differ: reference " +
                   FormatPlaceholders(expected) + ", translation " + FormatPlaceholders(actual));
    }
    return same;
}

} // namespace config
