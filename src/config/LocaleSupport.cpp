#include "config/LocaleSupport.h"

#include "platform/TextCase.h"

#include <array>
#include <clocale>
#include <cstdlib>
#include <locale>
#include <stdexcept>

namespace config {

namespace {

struct LcidEntry {
    const char* name;
    std::uint32_t lcid;
};

// The locales the distributions are known to configure, with their neutral
// forms. Extend as new languages ship.
constexpr LcidEntry kLcids[] = {
    {"ar", 0x0001},    {"ar-SA", 0x0401}, {"bg", 0x0002},    {"bg-BG", 0x0402}, {"cs", 0x0005},
    {"cs-CZ", 0x0405}, {"da", 0x0006},    {"da-DK", 0x0406}, {"de", 0x0007},    {"de-DE", 0x0407},
    {"el", 0x0008},    {"el-GR", 0x0408}, {"en", 0x0009},    {"en-US", 0x0409}, {"en-GB", 0x0809},
    {"es", 0x000A},    {"es-ES", 0x0C0A}, {"fi", 0x000B},    {"fi-FI", 0x040B}, {"fr", 0x000C},
    {"fr-FR", 0x040C}, {"hu", 0x000E},    {"hu-HU", 0x040E}, {"it", 0x0010},    {"it-IT", 0x0410},
    {"ja", 0x0011},    {"ja-JP", 0x0411}, {"ko", 0x0012},    {"ko-KR", 0x0412}, {"nl", 0x0013},
    {"nl-NL", 0x0413}, {"pl", 0x0015},    {"pl-PL", 0x0415}, {"pt", 0x0016},    {"pt-BR", 0x0416},
    {"pt-PT", 0x0816}, {"ro-RO", 0x0418}, {"ru", 0x0019},    {"ru-RU", 0x0419}, {"sv-SE", 0x041D},
    {"tr", 0x001F},    {"tr-TR", 0x041F}, {"uk", 0x0022},    {"uk-UA", 0x0422}, {"zh-CN", 0x0804},
    {"zh-TW", 0x0404},
};

// The C++ runtime builds a named locale only when the system has it.
bool RuntimeHasLocale(const std::string& name) {
    try {
        std::locale probe(name.c_str());
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

} // namespace

std::uint32_t LocaleNameToLcid(std::string_view name) {
    for (const LcidEntry& entry : kLcids) {
        if (plat::EqualsNoCase(name, entry.name))
            return entry.lcid;
    }
    return 0;
}

std::string FindRuntimeLocale(std::string_view name) {
    if (name.empty() || name.find('\0') != std::string_view::npos)
        return {};
    std::string posix(name);
    for (char& c : posix) {
        if (c == '-')
            c = '_';
    }
    const std::array<std::string, 4> candidates{std::string(name), posix + ".UTF-8",
                                                posix + ".utf8", posix};
    for (const std::string& candidate : candidates) {
        if (RuntimeHasLocale(candidate))
            return candidate;
    }
    return {};
}

bool SetTimeLocale(const std::string& runtimeName) {
    return !runtimeName.empty() && std::setlocale(LC_TIME, runtimeName.c_str()) != nullptr;
}

std::string LanguageCodeFromLocale(std::string_view value) {
    const std::string_view language = value.substr(0, value.find_first_of("_.@"));
    if (language == "C" || language == "POSIX")
        return "en";
    if (language.size() < 2 || language.size() > 3)
        return {};
    std::string code;
    for (char c : language) {
        c = plat::AsciiLower(c);
        if (c < 'a' || c > 'z')
            return {};
        code.push_back(c);
    }
    return code;
}

std::string SystemLanguageCode() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return LanguageCodeFromLocale(value);
    }
    return {};
}

} // namespace config
