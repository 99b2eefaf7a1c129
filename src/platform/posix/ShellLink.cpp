// Shortcuts as freedesktop desktop entries. The launcher's own keys
// (X-Launcher-Target, X-Launcher-Arguments, X-Launcher-Icon) keep the target
// and arguments exactly as given; Exec carries the same command in the
// quoting the desktop expects, and is read back when the launcher's keys are
// missing (entries made by someone else).

#include "platform/ShellLink.h"

#include "platform/CommandLine.h"
#include "platform/Error.h"
#include "platform/Unicode.h"
#include "platform/posix/TextFiles.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace plat {

namespace {

constexpr std::size_t kMaxEntryFile = 64 * 1024;
constexpr const char kGroup[] = "[Desktop Entry]";

// A value as desktop entries store strings: backslash escapes for the
// characters a line cannot hold.
std::string EscapeValue(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case ' ':
            out += i == 0 ? "\\s" : " ";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string UnescapeValue(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        switch (c) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            out += c;
        }
    }
    return out;
}

// One argument of Exec: quoted when it holds a character the desktop's
// command parser reserves; '%' doubled, as field codes begin with it.
std::string ExecArgument(const std::string& argument) {
    static const std::string kReserved = " \t\n\"'\\><~|&;$*?#()`";
    bool quote = argument.empty() || argument.find_first_of(kReserved) != std::string::npos;
    std::string out;
    if (quote)
        out += '"';
    for (char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        out += c;
        if (c == '%')
            out += '%';
    }
    if (quote)
        out += '"';
    return out;
}

// The first argument of an Exec value (after the string escapes were undone).
std::string FirstExecArgument(const std::string& exec) {
    std::string out;
    std::size_t i = 0;
    while (i < exec.size() && exec[i] == ' ')
        ++i;
    bool quoted = i < exec.size() && exec[i] == '"';
    if (quoted)
        ++i;
    for (; i < exec.size(); ++i) {
        char c = exec[i];
        if (quoted && c == '\\' && i + 1 < exec.size()) {
            out += exec[++i];
            continue;
        }
        if (quoted ? c == '"' : c == ' ')
            break;
        if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%')
            ++i;
        out += c;
    }
    return out;
}

std::string Line(const char* key, const std::wstring& value) {
    return std::string(key) + "=" + EscapeValue(WideToUtf8(value)) + "\n";
}

} // namespace

bool SaveShellLink(const std::wstring& path, const ShellLink& link) {
    if (link.target.empty()) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    std::string exec = ExecArgument(WideToUtf8(link.target));
    for (const std::wstring& argument : SplitArguments(link.arguments))
        exec += " " + ExecArgument(WideToUtf8(argument));
    std::wstring iconFile = link.iconFile.empty() ? link.target : link.iconFile;

    std::string text = std::string(kGroup) + "\n";
    text += "Type=Application\n";
    text += "Version=1.0\n";
    text += Line("Name", link.displayName);
    text += "Exec=" + EscapeValue(exec) + "\n";
    if (!link.workingFolder.empty())
        text += Line("Path", link.workingFolder);
    text += "Terminal=false\n";
    text += Line("X-Launcher-Target", link.target);
    text += Line("X-Launcher-Arguments", link.arguments);
    text += Line("X-Launcher-Icon", iconFile + L"," + std::to_wstring(link.iconIndex));
    // Desktops start entries on the desktop only when they may be run.
    return posix::ReplaceFileContents(WideToUtf8(path), text, 0755);
}

bool LoadShellLink(const std::wstring& path, ShellLink* link) {
    std::string text;
    if (!posix::ReadSmallFile(WideToUtf8(path), kMaxEntryFile, &text))
        return false;
    bool inGroup = false, sawGroup = false, haveTarget = false;
    std::string exec;
    *link = ShellLink();
    for (const std::string& line : posix::SplitLines(text)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            inGroup = line == kGroup;
            sawGroup = sawGroup || inGroup;
            continue;
        }
        std::size_t equals = line.find('=');
        if (!inGroup || equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        std::string raw = line.substr(equals + 1);
        while (!raw.empty() && raw[0] == ' ')
            raw.erase(0, 1);
        std::wstring value = Utf8ToWide(UnescapeValue(raw));
        if (key == "Name") {
            link->displayName = value;
        } else if (key == "Exec") {
            exec = UnescapeValue(raw);
        } else if (key == "Path") {
            link->workingFolder = value;
        } else if (key == "X-Launcher-Target") {
            link->target = value;
            haveTarget = true;
        } else if (key == "X-Launcher-Arguments") {
            link->arguments = value;
        } else if (key == "X-Launcher-Icon") {
            std::size_t comma = value.find_last_of(L',');
            link->iconFile = value.substr(0, comma);
            if (comma != std::wstring::npos)
                link->iconIndex = std::wcstol(value.c_str() + comma + 1, nullptr, 10);
        }
    }
    if (!sawGroup) {
        SetLastError(kErrInvalidData);
        return false;
    }
    if (!haveTarget)
        link->target = Utf8ToWide(FirstExecArgument(exec));
    return true;
}

bool SetFolderIcon(const std::wstring& folder, const std::wstring& iconFile, int iconIndex) {
    std::string text = std::string(kGroup) + "\n";
    text += "Type=Directory\n";
    text += Line("Icon", iconFile);
    text += Line("X-Launcher-Icon", iconFile + L"," + std::to_wstring(iconIndex));
    std::string native = WideToUtf8(folder);
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    return posix::ReplaceFileContents(native + "/" + WideToUtf8(kFolderSettingsFile), text, 0644);
}

} // namespace plat
