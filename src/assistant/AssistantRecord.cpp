#include "assistant/AssistantRecord.h"

#include "platform/Error.h"
#include "platform/Unicode.h"

#include <algorithm>

namespace assistant {

namespace {

constexpr std::size_t kIconNameOffset = 0;
constexpr std::size_t kIconNameChars = 65;
constexpr std::size_t kIconExecOffset = 130;
constexpr std::size_t kIconExecChars = 261;
constexpr std::size_t kIconActionOffset = 652;
constexpr std::size_t kFlagsOffset = 5140;

void PutU32(std::string& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t GetU32(std::string_view bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value =
            (value << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
    return value;
}

// Writes the text into its field (already zero-filled). False when it does
// not fit with its terminator or holds a zero character.
bool PutText(std::string& bytes, std::size_t offset, std::size_t chars, const std::wstring& text) {
    if (text.find(L'\0') != std::wstring::npos)
        return false;
    std::string encoded = plat::WideToUtf16Le(text);
    if (encoded.size() / 2 + 1 > chars)
        return false;
    bytes.replace(offset, encoded.size(), encoded);
    return true;
}

bool Refuse(std::string* badField, const char* name) {
    if (badField)
        *badField = name;
    plat::SetLastError(plat::kErrInsufficientBuffer);
    return false;
}

} // namespace

const std::vector<TextField>& AssistantTextFields() {
    static const std::vector<TextField> fields = {
        {"chInstallFolder", 4, 261, &AssistantData::installFolder},
        {"chUserName", 526, 257, &AssistantData::userName},
        {"chShortName", 1040, 33, &AssistantData::shortName},
        {"chFullName", 1106, 65, &AssistantData::fullName},
        {"chIconName", 1236, 65, &AssistantData::iconName},
        {"chRegPath", 1366, 261, &AssistantData::regPath},
        {"chHelpLink", 1888, 261, &AssistantData::helpLink},
        {"chUrlInfoAbout", 2410, 261, &AssistantData::urlInfoAbout},
        {"chUrlUpdateInfo", 2932, 261, &AssistantData::urlUpdateInfo},
        {"chLnkDesctopIcon", 3454, 261, &AssistantData::lnkDesktopIcon},
        {"chLauncherName", 3976, 65, &AssistantData::launcherName},
        {"chTemp", 4106, 517, &AssistantData::temp},
    };
    return fields;
}

bool EncodeAssistantData(const AssistantData& data, std::string* block, std::string* badField) {
    std::string bytes(kAssistantDataSize, '\0');
    PutU32(bytes, 0, static_cast<std::uint32_t>(data.command));
    for (const TextField& field : AssistantTextFields())
        if (!PutText(bytes, field.offset, field.chars, data.*field.member))
            return Refuse(badField, field.name);
    bytes[kFlagsOffset] = data.iconPrograms ? 1 : 0;
    bytes[kFlagsOffset + 1] = data.iconProgramsFolder ? 1 : 0;
    bytes[kFlagsOffset + 2] = data.iconStartMenu ? 1 : 0;
    PutU32(bytes, kIconCountOffset, static_cast<std::uint32_t>(data.icons.size()));
    *block = std::move(bytes);
    return true;
}

bool EncodeAssistantIcon(const AssistantIcon& icon, std::string* bytes, std::string* badField) {
    std::string out(kAssistantIconSize, '\0');
    if (!PutText(out, kIconNameOffset, kIconNameChars, icon.name))
        return Refuse(badField, "Name");
    if (!PutText(out, kIconExecOffset, kIconExecChars, icon.exec))
        return Refuse(badField, "Exec");
    out[kIconActionOffset] = icon.add ? 1 : 0;
    *bytes = std::move(out);
    return true;
}

bool DecodeAssistantData(std::string_view block, AssistantData* data, std::uint32_t* iconCount,
                         std::vector<std::string>* unterminated) {
    if (block.size() != kAssistantDataSize)
        return false;
    *data = AssistantData();
    unterminated->clear();
    data->command = static_cast<std::int32_t>(GetU32(block, 0));
    for (const TextField& field : AssistantTextFields()) {
        bool terminated = true;
        data->*field.member = DecodeTextField(block, field.offset, field.chars, &terminated);
        if (!terminated)
            unterminated->push_back(field.name);
    }
    data->iconPrograms = block[kFlagsOffset] != 0;
    data->iconProgramsFolder = block[kFlagsOffset + 1] != 0;
    data->iconStartMenu = block[kFlagsOffset + 2] != 0;
    *iconCount = GetU32(block, kIconCountOffset);
    return true;
}

bool DecodeAssistantIcon(std::string_view bytes, AssistantIcon* icon,
                         std::vector<std::string>* unterminated) {
    if (bytes.size() != kAssistantIconSize)
        return false;
    unterminated->clear();
    bool terminated = true;
    icon->name = DecodeTextField(bytes, kIconNameOffset, kIconNameChars, &terminated);
    if (!terminated)
        unterminated->push_back("Name");
    icon->exec = DecodeTextField(bytes, kIconExecOffset, kIconExecChars, &terminated);
    if (!terminated)
        unterminated->push_back("Exec");
    icon->add = bytes[kIconActionOffset] != 0;
    return true;
}

std::wstring DecodeTextField(std::string_view bytes, std::size_t offset, std::size_t chars,
                             bool* terminated) {
    std::string_view field = bytes.substr(offset, chars * 2);
    std::size_t units = 0;
    while (units < chars && 2 * units + 1 < field.size() &&
           (field[2 * units] != '\0' || field[2 * units + 1] != '\0'))
        ++units;
    *terminated = units < chars && 2 * units + 1 < field.size();
    if (!*terminated)
        units = chars == 0 ? 0 : std::min(chars - 1, field.size() / 2);
    return plat::Utf16LeToWide(field.substr(0, units * 2));
}

std::string EncodeCode(std::int32_t code) {
    std::string bytes(4, '\0');
    PutU32(bytes, 0, static_cast<std::uint32_t>(code));
    return bytes;
}

std::int32_t DecodeCode(std::string_view bytes) {
    return bytes.size() < 4 ? 0 : static_cast<std::int32_t>(GetU32(bytes, 0));
}

} // namespace assistant
