#include "platform/CommandLine.h"

#include "platform/FileSystem.h"

namespace plat {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Characters that make an argument need quotes. Only blanks separate, but
// line ends are quoted too so that a joined line reads as what it is.
bool NeedsQuotes(const std::wstring& argument) {
    if (argument.empty())
        return true;
    return argument.find_first_of(L" \t\n\v\"") != std::wstring::npos;
}

} // namespace

// A quote run is counted together with the quote that opened the current
// quoted part: every third quote of such a run is a literal quote and leaves
// the quoted part; a run that ends on the second closes it.
std::vector<std::wstring> SplitArguments(const std::wstring& text) {
    std::vector<std::wstring> arguments;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    if (i == n)
        return arguments;

    std::wstring current;
    std::size_t backslashes = 0;
    int quotes = 0; // 1 inside a quoted part, 0 outside
    while (i < n) {
        wchar_t c = text[i];
        if (IsBlank(c) && quotes == 0) {
            arguments.push_back(std::move(current));
            current.clear();
            backslashes = 0;
            while (i < n && IsBlank(text[i]))
                ++i;
            if (i == n)
                return arguments;
            continue;
        }
        if (c == L'\\') {
            current.push_back(c);
            ++backslashes;
            ++i;
            continue;
        }
        if (c != L'"') {
            current.push_back(c);
            backslashes = 0;
            ++i;
            continue;
        }
        // A quote: the backslashes before it are halved; an odd one escapes it.
        current.resize(current.size() - backslashes / 2);
        if (backslashes % 2 == 0) {
            ++quotes;
        } else {
            current.back() = L'"';
        }
        backslashes = 0;
        ++i;
        while (i < n && text[i] == L'"') {
            if (++quotes == 3) {
                current.push_back(L'"');
                quotes = 0;
            }
            ++i;
        }
        if (quotes == 2)
            quotes = 0;
    }
    arguments.push_back(std::move(current));
    return arguments;
}

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!NeedsQuotes(argument))
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            // Each backslash before a quote is doubled and one more escapes it.
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    // Backslashes before the closing quote are doubled so it stays a quote.
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

std::wstring JoinArguments(const std::vector<std::wstring>& arguments) {
    std::wstring line;
    bool first = true;
    for (const std::wstring& argument : arguments) {
        if (!first)
            line.push_back(L' ');
        first = false;
        line += QuoteArgument(argument);
    }
    return line;
}

void SplitProgramToken(const std::wstring& commandLine, std::wstring* program, std::wstring* rest) {
    std::size_t start = 0;
    const std::size_t n = commandLine.size();
    while (start < n && IsBlank(commandLine[start]))
        ++start;

    std::size_t end = n; // one past the program token
    std::size_t restStart = n;
    if (start < n && commandLine[start] == L'"') {
        std::size_t close = commandLine.find(L'"', start + 1);
        *program = commandLine.substr(start + 1, close == std::wstring::npos ? std::wstring::npos
                                                                             : close - start - 1);
        if (close != std::wstring::npos) {
            restStart = close + 1;
            if (restStart < n && IsBlank(commandLine[restStart]))
                ++restStart;
        }
        *rest = commandLine.substr(restStart);
        return;
    }

    // Unquoted: every blank is a possible end of the program; the longest
    // prefix that names an existing file wins, else the first word.
    std::size_t firstBlank = n;
    for (std::size_t i = start; i < n; ++i) {
        if (IsBlank(commandLine[i])) {
            firstBlank = i;
            break;
        }
    }
    end = firstBlank;
    for (std::size_t i = n; i > firstBlank; --i) {
        if (i != n && !IsBlank(commandLine[i]))
            continue;
        if (IsBlank(commandLine[i - 1]))
            continue;
        if (FileExists(commandLine.substr(start, i - start))) {
            end = i;
            break;
        }
    }
    *program = commandLine.substr(start, end - start);
    restStart = end < n ? end + 1 : n;
    *rest = commandLine.substr(restStart);
}

std::wstring BuildCommandLine(const std::wstring& program, const std::wstring& tail) {
    std::wstring line = L"\"" + program + L"\"";
    if (!tail.empty())
        line += L" " + tail;
    return line;
}

} // namespace plat
