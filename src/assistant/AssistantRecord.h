#pragma once
// The data block the launcher writes to the assistant's pipe after a command
// (AssistantData, 5148 bytes) and the shortcut entries that follow it
// (AssistantIcon, 654 bytes each), with their byte codec. Texts are UTF-16LE
// and zero-terminated inside fixed-size fields; numbers are little-endian.
// Pure; any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace assistant {

inline constexpr std::size_t kAssistantDataSize = 5148;
inline constexpr std::size_t kAssistantIconSize = 654;
// Where the icon count sits in the block.
inline constexpr std::size_t kIconCountOffset = 5144;

struct AssistantIcon {
    std::wstring name; // shortcut name
    std::wstring exec; // target file name, relative to the installation folder
    bool add = false;  // create ("Add") or delete ("Del")
};

struct AssistantData {
    std::int32_t command = 0;
    std::wstring installFolder;  // chInstallFolder, 261 characters with the terminator
    std::wstring userName;       // chUserName, 257
    std::wstring shortName;      // chShortName, 33
    std::wstring fullName;       // chFullName, 65
    std::wstring iconName;       // chIconName, 65
    std::wstring regPath;        // chRegPath, 261
    std::wstring helpLink;       // chHelpLink, 261
    std::wstring urlInfoAbout;   // chUrlInfoAbout, 261
    std::wstring urlUpdateInfo;  // chUrlUpdateInfo, 261
    std::wstring lnkDesktopIcon; // chLnkDesctopIcon, 261
    std::wstring launcherName;   // chLauncherName, 65
    std::wstring temp;           // chTemp, 517
    bool iconPrograms = false;
    bool iconProgramsFolder = false;
    bool iconStartMenu = false;
    std::vector<AssistantIcon> icons;
};

// The text fields of the block, in block order, with the names the
// launcher's log gives them.
struct TextField {
    const char* name;
    std::size_t offset;
    std::size_t chars; // the field's size in UTF-16 units, terminator included
    std::wstring AssistantData::*member;
};
const std::vector<TextField>& AssistantTextFields();

// The block for `data`, its icon count being data.icons.size(). A text that
// does not fit its field (the terminator included) or holds a zero
// character is refused, never cut: false with last error 122 and `badField`
// naming the field.
bool EncodeAssistantData(const AssistantData& data, std::string* block,
                         std::string* badField = nullptr);
bool EncodeAssistantIcon(const AssistantIcon& icon, std::string* bytes,
                         std::string* badField = nullptr);

// Reads a block of exactly kAssistantDataSize bytes (false for any other
// size). Every text ends at its first zero character and never reaches past
// its field; a field without one is named in `unterminated` and its text
// stops at the field's end less one character. `data->icons` stays empty;
// the count comes back in iconCount.
bool DecodeAssistantData(std::string_view block, AssistantData* data, std::uint32_t* iconCount,
                         std::vector<std::string>* unterminated);
bool DecodeAssistantIcon(std::string_view bytes, AssistantIcon* icon,
                         std::vector<std::string>* unterminated);

// The text of one zero-terminated UTF-16LE field of `chars` units at
// `offset`; `terminated` tells whether the field held a zero unit (without
// one the last unit counts as the terminator).
std::wstring DecodeTextField(std::string_view bytes, std::size_t offset, std::size_t chars,
                             bool* terminated);

// 32-bit little-endian numbers: the command codes on the pipe.
std::string EncodeCode(std::int32_t code);
std::int32_t DecodeCode(std::string_view bytes);

} // namespace assistant
