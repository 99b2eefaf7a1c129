#pragma once
// The licence renderer: lays out a text in a small subset of HTML (the
// licence terms from the server, message-box texts) as plain lines of fewer
// than a given number of characters, one line per item of a skinned list
// box. Lists are indented two blanks per level and numbered or bulleted,
// headings and paragraphs break lines, unknown tags vanish and the three
// entities &lt; &gt; &quot; become their characters. The text comes from
// outside: nesting, indentation, list numbers, word length and the line
// count are bounded, so a hostile document costs at most a bounded list and
// time linear in its size. Pure functions over the text; the list variant
// runs on the window thread.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class CLogImplW;

namespace skin {

class CSkinListBox;

// The bounds a laid-out text stays within.
struct TextLayoutLimits {
    int maxListDepth = 8;            // deeper lists are read as the deepest
    int maxListNumber = 999999;      // numbers of ordered items stay within +-this
    std::size_t maxWordChars = 1024; // a longer word is cut
    std::size_t maxLines = 10000;    // the text ends after this many lines
};

// The lines of `text` (UTF-8) laid out for lines of fewer than `maxChars`
// characters (a single longer word stands on a line of its own after the
// indent).
std::vector<std::wstring> LayoutTextLines(std::string_view text, int maxChars,
                                          const TextLayoutLimits& limits = {});

// Appends the lines to the list; with a log, each line is written there too.
// Callers empty the list first.
void RenderTextToList(CSkinListBox* list, std::string_view text, int maxChars,
                      CLogImplW* log = nullptr);

} // namespace skin
