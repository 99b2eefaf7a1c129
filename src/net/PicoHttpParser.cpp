#include "net/PicoHttpParser.h"

#include "platform/TextCase.h"

#include <cctype>
#include <cstring>

namespace NetEx {

namespace {

// Token characters of a header name (RFC 7230 tchar).
bool IsTokenChar(unsigned char c) {
    if (std::isalnum(c))
        return true;
    return c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

// Reads over the bytes of one head; every step tells whether the bytes ran
// out (incomplete) or did not fit the grammar (malformed).
class Cursor {
public:
    Cursor(const char* data, std::size_t length) : p_(data), end_(data + length) {}

    bool AtEnd() const { return p_ == end_; }
    char Peek() const { return *p_; }
    const char* Position() const { return p_; }
    void Skip() { ++p_; }

    // Expects the literal; -2 when the bytes end inside it.
    int Expect(std::string_view literal) {
        for (char c : literal) {
            if (AtEnd())
                return CPicoHttpParser::kIncomplete;
            if (*p_ != c)
                return CPicoHttpParser::kMalformed;
            ++p_;
        }
        return CPicoHttpParser::kComplete;
    }
    // Everything up to the line end; the line end ("\r\n" or "\n") is passed.
    int Line(const char** start, std::size_t* length) {
        *start = p_;
        while (!AtEnd() && *p_ != '\r' && *p_ != '\n') {
            unsigned char c = static_cast<unsigned char>(*p_);
            if (c < 0x20 && c != '\t')
                return CPicoHttpParser::kMalformed;
            ++p_;
        }
        if (AtEnd())
            return CPicoHttpParser::kIncomplete;
        *length = static_cast<std::size_t>(p_ - *start);
        return LineEnd();
    }
    int LineEnd() {
        if (*p_ == '\r') {
            ++p_;
            if (AtEnd())
                return CPicoHttpParser::kIncomplete;
            if (*p_ != '\n')
                return CPicoHttpParser::kMalformed;
        }
        ++p_;
        return CPicoHttpParser::kComplete;
    }

private:
    const char* p_;
    const char* end_;
};

} // namespace

int CPicoHttpParser::Parse(const char* data, std::size_t length) {
    headerCount_ = 0;
    minorVersion_ = -1;
    status_ = 0;
    reason_ = {};
    result_ = ParseHead(data, length);
    return result_;
}

int CPicoHttpParser::ParseHead(const char* data, std::size_t length) {
    Cursor in(data, length);
    int r = in.Expect("HTTP/1.");
    if (r != kComplete)
        return r;
    if (in.AtEnd())
        return kIncomplete;
    if (!std::isdigit(static_cast<unsigned char>(in.Peek())))
        return kMalformed;
    minorVersion_ = in.Peek() - '0';
    in.Skip();
    if ((r = in.Expect(" ")) != kComplete)
        return r;
    int status = 0;
    for (int i = 0; i < 3; ++i) {
        if (in.AtEnd())
            return kIncomplete;
        if (!std::isdigit(static_cast<unsigned char>(in.Peek())))
            return kMalformed;
        status = status * 10 + (in.Peek() - '0');
        in.Skip();
    }
    status_ = status;
    if (in.AtEnd())
        return kIncomplete;
    const char* text = nullptr;
    std::size_t textLength = 0;
    if (in.Peek() == ' ') {
        in.Skip();
        if ((r = in.Line(&text, &textLength)) != kComplete)
            return r;
        reason_ = {text, textLength};
    } else if (in.Peek() == '\r' || in.Peek() == '\n') {
        if ((r = in.LineEnd()) != kComplete)
            return r;
    } else {
        return kMalformed;
    }

    for (;;) {
        if (in.AtEnd())
            return kIncomplete;
        if (in.Peek() == '\r' || in.Peek() == '\n')
            return in.LineEnd();
        if (headerCount_ == kMaxHeaders)
            return kMalformed;
        Header& header = headers_[headerCount_];
        header = Header{};
        if (in.Peek() == ' ' || in.Peek() == '\t') {
            // A continuation of the previous header's value.
            while (!in.AtEnd() && (in.Peek() == ' ' || in.Peek() == '\t'))
                in.Skip();
        } else {
            header.name = in.Position();
            while (!in.AtEnd() && in.Peek() != ':') {
                if (!IsTokenChar(static_cast<unsigned char>(in.Peek())))
                    return kMalformed;
                in.Skip();
            }
            if (in.AtEnd())
                return kIncomplete;
            header.nameLength = static_cast<std::size_t>(in.Position() - header.name);
            if (header.nameLength == 0)
                return kMalformed;
            in.Skip();
            while (!in.AtEnd() && (in.Peek() == ' ' || in.Peek() == '\t'))
                in.Skip();
        }
        if ((r = in.Line(&text, &textLength)) != kComplete)
            return r;
        while (textLength > 0 && (text[textLength - 1] == ' ' || text[textLength - 1] == '\t'))
            --textLength;
        header.value = text;
        header.valueLength = textLength;
        if (header.name == nullptr)
            header.nameLength = 0;
        ++headerCount_;
    }
}

std::optional<std::string_view> CPicoHttpParser::ContentLength() const {
    constexpr std::string_view kName = "Content-Length";
    for (std::size_t i = 0; i < headerCount_; ++i) {
        std::string_view name = headers_[i].Name();
        if (plat::EqualsNoCase(name, kName))
            return headers_[i].Value();
    }
    return std::nullopt;
}

} // namespace NetEx
