#include "app/CommandLineParser.h"

namespace app {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// The text from `offset` on, empty when the command line is shorter.
std::wstring TailFrom(const std::wstring& text, std::size_t offset) {
    return offset < text.size() ? text.substr(offset) : std::wstring();
}

// The first double-quoted text, quotes kept; the whole line without any
// quote, everything from a lone quote on.
std::wstring QuotedPath(const std::wstring& commandLine) {
    std::size_t open = commandLine.find(L'"');
    if (open == std::wstring::npos)
        return commandLine;
    std::size_t close = commandLine.find(L'"', open + 1);
    if (close == std::wstring::npos)
        return commandLine.substr(open);
    return commandLine.substr(open, close - open + 1);
}

} // namespace

SwitchMatching NativeSwitchMatching() {
#ifdef _WIN32
    return SwitchMatching::Substring;
#else
    return SwitchMatching::WholeToken;
#endif
}

std::size_t FindSwitch(const std::wstring& commandLine, const std::wstring& name,
                       SwitchMatching matching) {
    if (matching == SwitchMatching::Substring)
        return commandLine.find(name);

    bool inQuotes = false;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        wchar_t c = commandLine[i];
        if (c == L'"') {
            inQuotes = !inQuotes;
            continue;
        }
        if (inQuotes || (i > 0 && !IsBlank(commandLine[i - 1])))
            continue;
        if (commandLine.compare(i, name.size(), name) != 0)
            continue;
        std::size_t end = i + name.size();
        if (end == commandLine.size() || IsBlank(commandLine[end]))
            return i;
    }
    return std::wstring::npos;
}

CommandLineState ParseCommandLine(const std::wstring& commandLine, SwitchMatching matching) {
    CommandLineState state;
    auto find = [&](const wchar_t* name) { return FindSwitch(commandLine, name, matching); };
    constexpr auto npos = std::wstring::npos;

    state.rc = rcNone;
    if (find(L"/assistant") != npos) {
        state.assistant = true;
        return state;
    }
    if (find(L"/fast") != npos) {
        state.fast = true;
        return state;
    }
    if (find(L"/runByClientCritical") != npos) {
        state.runByClientCritical = true;
        return state;
    }
    if (find(L"/runByClient") != npos) {
        state.runByClient = true;
        return state;
    }
    state.restart = find(L"/restart") != npos;
    state.autoMode = find(L"/auto") != npos;
    if (state.restart || state.autoMode)
        return state;

    if (find(L"/setlongname") != npos) {
        state.rc = rcSetLongName;
        // The switch and one blank, counted from the start of the line
        // wherever the switch stands.
        state.argument = TailFrom(commandLine, 13);
        return state;
    }
    if (std::size_t at = find(L"/download"); at != npos) {
        state.rc = rcDownload;
        state.argument = TailFrom(commandLine, at + 10);
        return state;
    }
    if (find(L"/crc") != npos) {
        state.rc = rcCrc;
        return state;
    }
    if (find(L"/uninstall") != npos) {
        state.rc = rcUninstall;
        state.quotedPath = QuotedPath(commandLine);
        return state;
    }
    if (std::size_t at = find(L"/ug"); at != npos) {
        state.quotedPath = QuotedPath(commandLine);
        state.rc = rcUninstallGuest;
        state.argument = TailFrom(commandLine, at + state.quotedPath.size() + 5);
        return state;
    }
    if (std::size_t at = find(L"/u"); at != npos) {
        state.rc = rcUninstallFrom;
        state.argument = TailFrom(commandLine, at + 3);
    }
    return state;
}

} // namespace app
