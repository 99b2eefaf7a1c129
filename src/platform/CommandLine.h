#pragma once
// Windows command-line text rules: splitting into arguments, quoting an
// argument so that it splits back unchanged, and finding the program token.

#include <string>
#include <vector>

namespace plat {

// Splits like CommandLineToArgvW for the text after the program name:
// blanks separate, double quotes group, 2n backslashes before a quote give n
// backslashes and a quote that toggles, 2n+1 give n and a literal quote, and
// "" inside a quoted run gives a literal quote.
std::vector<std::wstring> SplitArguments(const std::wstring& text);

// Quotes one argument when it needs it, escaping quotes and the backslashes
// before them, so that SplitArguments gives it back.
std::wstring QuoteArgument(const std::wstring& argument);
std::wstring JoinArguments(const std::vector<std::wstring>& arguments);

// Splits a full command line into the program and the rest (the text after
// the blank that ends the program token). A quoted token is taken up to its
// closing quote; an unquoted one is the longest blank-delimited prefix that
// names an existing file, else the first blank-delimited word.
void SplitProgramToken(const std::wstring& commandLine, std::wstring* program, std::wstring* rest);

// A command line made from a program path and a tail; the path is always
// quoted.
std::wstring BuildCommandLine(const std::wstring& program, const std::wstring& tail);

} // namespace plat
