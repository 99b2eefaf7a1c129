#include "skin/LicenseRenderer.h"

#include "base/Strings.h"
#include "log/LogImplW.h"
#include "skin/SkinListBox.h"

#include <algorithm>
#include <array>

namespace skin {

namespace {

// What a token of the text is.
enum TokenCode : int {
    kContent = 0,
    kQuoted = 1,
    kSpace = 2,
    kTagStart = 3, // a tag not listed
    kTagEnd = 4,   // ">" and "/>"
    kOrderedList = 5,
    kOrderedListEnd = 6,
    kCenter = 7,
    kParagraph = 9,
    kParagraphEnd = 10,
    kUnorderedList = 11,
    kUnorderedListEnd = 12,
    kListItem = 13,
    kListItemEnd = 14,
    kAttrStart = 15,
    kAttrValue = 16,
    kAttrType = 17,
    kAttrStyle = 18,
    kEntityLt = 19,
    kEntityGt = 20,
    kEntityQuot = 21,
    kCommentStart = 22,
    kCommentEnd = 23,
    kLineBreak = 24,
    kLineFeed = 25,
    kHeading1 = 26, // to kHeading1 + 5
    kHeadingEnd = 32,
};

struct TokenRule {
    std::string_view text;
    int code;
};

// Matching is on the bytes of the UTF-8 text, case-sensitive, the longest
// match winning.
constexpr std::array<TokenRule, 37> kTokens = {{
    {"<!--", kCommentStart}, {"-->", kCommentEnd},
    {"\n", kLineFeed},       {" ", kSpace},
    {">", kTagEnd},          {"/>", kTagEnd},
    {"<", kTagStart},        {"\"", kQuoted},
    {"<ol", kOrderedList},   {"</ol>", kOrderedListEnd},
    {"<ul", kUnorderedList}, {"</ul>", kUnorderedListEnd},
    {"<li", kListItem},      {"</li>", kListItemEnd},
    {"start=", kAttrStart},  {"value=", kAttrValue},
    {"type=", kAttrType},    {"style=", kAttrStyle},
    {"<h1>", kHeading1},     {"<h2>", kHeading1 + 1},
    {"<h3>", kHeading1 + 2}, {"<h4>", kHeading1 + 3},
    {"<h5>", kHeading1 + 4}, {"<h6>", kHeading1 + 5},
    {"</h1>", kHeadingEnd},  {"</h2>", kHeadingEnd},
    {"</h3>", kHeadingEnd},  {"</h4>", kHeadingEnd},
    {"</h5>", kHeadingEnd},  {"</h6>", kHeadingEnd},
    {"&lt;", kEntityLt},     {"&gt;", kEntityGt},
    {"&quot;", kEntityQuot}, {"<p", kParagraph},
    {"</p>", kParagraphEnd}, {"<center>", kCenter},
    {"<br>", kLineBreak},
}};
// The other spellings of a line break.
constexpr std::array<TokenRule, 2> kMoreTokens = {{{"<br/>", kLineBreak}, {"<BR>", kLineBreak}}};

struct Token {
    int code = kContent;
    std::string_view text;
};

// The first bytes of the registered tokens: content runs are scanned
// without trying the table at every byte.
bool MayStartToken(char c) {
    return std::string_view("<->\n /\"svt&").find(c) != std::string_view::npos;
}

// Splits the text into registered tokens and the content between them. A
// quoted token is the text between its quotation marks; a comment is
// skipped whole. Unterminated quotes and comments run to the end.
class CTokenizer {
public:
    explicit CTokenizer(std::string_view text) : text_(text) {}

    bool Next(Token* token) {
        while (pos_ < text_.size()) {
            std::size_t length = 0;
            const int code = MatchAt(pos_, &length);
            if (code < 0) {
                std::size_t end = pos_ + 1;
                std::size_t ignored = 0;
                while (end < text_.size() && MatchAt(end, &ignored) < 0)
                    ++end;
                *token = Token{kContent, text_.substr(pos_, end - pos_)};
                pos_ = end;
                return true;
            }
            const std::size_t start = pos_ + length;
            if (code == kCommentStart) {
                const std::size_t close = text_.find("-->", start);
                pos_ = close == std::string_view::npos ? text_.size() : close + 3;
                continue;
            }
            if (code == kQuoted) {
                const std::size_t close = text_.find('"', start);
                const std::size_t end = close == std::string_view::npos ? text_.size() : close;
                *token = Token{kQuoted, text_.substr(start, end - start)};
                pos_ = close == std::string_view::npos ? text_.size() : close + 1;
                return true;
            }
            *token = Token{code, text_.substr(pos_, length)};
            pos_ = start;
            return true;
        }
        return false;
    }

private:
    // The code of the longest token at `at`, -1 when none starts there.
    int MatchAt(std::size_t at, std::size_t* length) const {
        *length = 0;
        if (!MayStartToken(text_[at]))
            return -1;
        const std::string_view rest = text_.substr(at);
        int code = -1;
        auto consider = [&](const TokenRule& token) {
            if (token.text.size() > *length && rest.substr(0, token.text.size()) == token.text) {
                *length = token.text.size();
                code = token.code;
            }
        };
        for (const TokenRule& token : kTokens)
            consider(token);
        for (const TokenRule& token : kMoreTokens)
            consider(token);
        return code;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// An attribute's number: an optional "-" and decimal digits, anything else
// 0; saturated at the bound.
int ParseNumber(std::string_view value, int bound) {
    bool negative = false;
    std::size_t at = 0;
    if (!value.empty() && value[0] == '-') {
        negative = true;
        at = 1;
    }
    if (at == value.size())
        return 0;
    long long number = 0;
    for (; at < value.size(); ++at) {
        if (value[at] < '0' || value[at] > '9')
            return 0;
        number = std::min<long long>(number * 10 + (value[at] - '0'), bound);
    }
    return static_cast<int>(negative ? -number : number);
}

const std::wstring kBullet = L"\u2022 ";

class CTextLayout {
public:
    CTextLayout(std::string_view text, int maxChars, const TextLayoutLimits& limits)
        : tokens_(text), maxChars_(maxChars), limits_(limits) {}

    std::vector<std::wstring> Run() {
        Token token;
        while (!full_ && tokens_.Next(&token))
            Handle(token);
        if (!full_ && !line_.empty() && line_ != indent_)
            Emit(line_);
        return std::move(lines_);
    }

private:
    struct Level {
        bool ordered = false;
        int counter = 1;
        std::wstring bullet = kBullet;
    };

    void Handle(const Token& token) {
        switch (token.code) {
        case kSpace:
            if (!TrimmedEmpty())
                Word(L" ");
            return;
        case kTagStart:
            SkipTag();
            return;
        case kParagraph:
            SkipTag();
            Break();
            return;
        case kLineBreak:
            Break();
            return;
        case kLineFeed:
        case kParagraphEnd:
            EndBlock();
            return;
        case kHeadingEnd:
            if (EndBlock())
                Emit(std::wstring());
            return;
        case kCenter:
            // Blanks alone never make a line longer than the width.
            if (line_.size() < static_cast<std::size_t>(std::max(maxChars_, 0)))
                line_ += L"   ";
            return;
        case kEntityLt:
            Word(L"<");
            return;
        case kEntityGt:
            Word(L">");
            return;
        case kEntityQuot:
            Word(L"\"");
            return;
        case kOrderedList:
        case kUnorderedList:
            OpenList(token.code == kOrderedList);
            return;
        case kListItem:
            ListItem();
            return;
        case kListItemEnd:
            return;
        case kOrderedListEnd:
        case kUnorderedListEnd:
            CloseList();
            return;
        case kQuoted:
            Word(L"\"" + base::Utf8ToWide(token.text) + L"\"");
            return;
        default:
            if (token.code >= kHeading1 && token.code < kHeading1 + 6) {
                EndBlock();
                return;
            }
            // Content, and tokens that mean nothing outside a tag.
            Word(base::Utf8ToWide(token.text));
            return;
        }
    }

    void Emit(const std::wstring& line) {
        if (lines_.size() >= limits_.maxLines) {
            full_ = true;
            return;
        }
        lines_.push_back(line);
    }

    // The line without its leading and trailing blanks.
    std::wstring_view Trimmed() const {
        const std::size_t first = line_.find_first_not_of(L' ');
        if (first == std::wstring::npos)
            return {};
        const std::size_t last = line_.find_last_not_of(L' ');
        return std::wstring_view(line_).substr(first, last - first + 1);
    }
    bool TrimmedEmpty() const { return line_.find_first_not_of(L' ') == std::wstring::npos; }

    void Word(std::wstring word) {
        if (word.size() > limits_.maxWordChars)
            word.resize(limits_.maxWordChars);
        if (line_.size() + word.size() < static_cast<std::size_t>(std::max(maxChars_, 0))) {
            line_ += word;
            return;
        }
        // A word that does not fit starts the next line; a line of nothing
        // but blanks is not worth one of its own.
        if (!TrimmedEmpty())
            Emit(line_);
        line_ = indent_;
        if (word != L" ")
            line_ += word;
    }

    // A line break: the line ends even when it is empty.
    void Break() {
        Emit(line_);
        line_ = indent_;
    }

    // The end of a block: the line ends when it holds more than a bare
    // bullet. True when it did.
    bool EndBlock() {
        if (TrimmedEmpty() || Trimmed() == bulletLine_)
            return false;
        Emit(line_);
        line_ = indent_;
        return true;
    }

    void SkipTag() {
        Token token;
        while (tokens_.Next(&token) && token.code != kTagEnd) {
        }
    }

    // Reads the rest of a tag; the attributes this tag takes change the
    // level (none outside lists).
    void ReadTag(int tag, Level* level) {
        Token token;
        while (tokens_.Next(&token) && token.code != kTagEnd) {
            const int attribute = token.code;
            if (attribute != kAttrStart && attribute != kAttrValue && attribute != kAttrType &&
                attribute != kAttrStyle)
                continue;
            Token value;
            if (!tokens_.Next(&value))
                return;
            if (value.code == kTagEnd)
                return; // no value: the tag ends here
            if (!level)
                continue;
            const bool numberFor = (tag == kOrderedList && attribute == kAttrStart) ||
                                   (tag == kListItem && attribute == kAttrValue);
            if (numberFor && level->ordered)
                level->counter = ParseNumber(value.text, limits_.maxListNumber);
            else if (attribute == kAttrType && !level->ordered && tag != kOrderedList)
                level->bullet = kBullet; // "circle", "square" and the rest look alike
            else if (attribute == kAttrStyle && tag == kUnorderedList &&
                     (value.text == "list-style: none;" || value.text == "list-style: none"))
                level->bullet.clear();
        }
    }

    void OpenList(bool ordered) {
        if (static_cast<int>(levels_.size()) >= limits_.maxListDepth) {
            // Deeper lists read as the deepest: their items continue it.
            ++overflow_;
            ReadTag(ordered ? kOrderedList : kUnorderedList, nullptr);
            return;
        }
        levels_.push_back(Level{ordered, 1, kBullet});
        ReadTag(ordered ? kOrderedList : kUnorderedList, &levels_.back());
    }

    void ListItem() {
        if (levels_.empty()) {
            SkipTag();
            return;
        }
        if (!TrimmedEmpty()) {
            Emit(line_);
            if (levels_.size() == 1)
                Emit(std::wstring());
        }
        Level& level = levels_.back();
        ReadTag(kListItem, &level);
        const std::size_t width = std::max(maxChars_, 0) / 2;
        indent_.assign(std::min(2 * levels_.size(), width), L' ');
        line_ = indent_;
        if (level.ordered) {
            line_ += std::to_wstring(level.counter) + L". ";
            if (level.counter < limits_.maxListNumber)
                ++level.counter;
        } else {
            line_ += level.bullet;
        }
        bulletLine_ = std::wstring(Trimmed());
    }

    void CloseList() {
        indent_.clear();
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (!levels_.empty())
            levels_.pop_back();
        if (!levels_.empty())
            return;
        Emit(line_);
        Emit(std::wstring());
        line_ = indent_;
    }

    CTokenizer tokens_;
    int maxChars_;
    TextLayoutLimits limits_;
    std::vector<std::wstring> lines_;
    std::wstring line_;
    std::wstring indent_;
    std::wstring bulletLine_;
    std::vector<Level> levels_;
    int overflow_ = 0; // lists opened past the depth bound
    bool full_ = false;
};

} // namespace

std::vector<std::wstring> LayoutTextLines(std::string_view text, int maxChars,
                                          const TextLayoutLimits& limits) {
    return CTextLayout(text, maxChars, limits).Run();
}

void RenderTextToList(CSkinListBox* list, std::string_view text, int maxChars, CLogImplW* log) {
    for (const std::wstring& line : LayoutTextLines(text, maxChars)) {
        if (list)
            list->AddItem(line);
        if (log)
            log->Write(line, true);
    }
}

} // namespace skin
