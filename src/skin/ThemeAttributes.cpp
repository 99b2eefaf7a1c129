#include "skin/ThemeAttributes.h"

#include <tinyxml2.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace skin {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A base-10 integer that uses the whole span [begin, end).
bool ParseDecimalSpan(const char* begin, const char* end, int* value) {
    if (begin == end)
        return false;
    const char* p = begin;
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    if (p == end)
        return false;
    long long v = 0;
    for (; p != end; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        v = v * 10 + (*p - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    v = negative ? -v : v;
    if (v < INT_MIN || v > INT_MAX)
        return false;
    *value = static_cast<int>(v);
    return true;
}

} // namespace

bool ParseThemeInt(const char* text, int* value) {
    if (!text)
        return false;
    while (IsSpace(*text))
        ++text;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const char* digits = text + 2;
        if (*digits == '\0')
            return false;
        unsigned long long v = 0;
        for (const char* p = digits; *p; ++p) {
            int d;
            if (*p >= '0' && *p <= '9')
                d = *p - '0';
            else if (*p >= 'a' && *p <= 'f')
                d = *p - 'a' + 10;
            else if (*p >= 'A' && *p <= 'F')
                d = *p - 'A' + 10;
            else
                return false;
            v = v * 16 + static_cast<unsigned>(d);
            if (v > 0xFFFFFFFFull)
                return false;
        }
        *value = static_cast<int>(static_cast<std::uint32_t>(v));
        return true;
    }
    return ParseDecimalSpan(text, text + std::strlen(text), value);
}

bool ParseThemeBool(const char* text, bool* value) {
    if (!text)
        return false;
    if (std::strcmp(text, "1") == 0 || std::strcmp(text, "true") == 0) {
        *value = true;
        return true;
    }
    if (std::strcmp(text, "0") == 0 || std::strcmp(text, "false") == 0) {
        *value = false;
        return true;
    }
    return false;
}

bool ParseThemePair(const char* text, int* first, int* second) {
    if (!text)
        return false;
    const char* comma = std::strchr(text, ',');
    if (!comma || std::strchr(comma + 1, ','))
        return false;
    int a = 0, b = 0;
    if (!ParseDecimalSpan(text, comma, &a) ||
        !ParseDecimalSpan(comma + 1, comma + 1 + std::strlen(comma + 1), &b))
        return false;
    *first = a;
    *second = b;
    return true;
}

bool ParseThemeColour(const char* text, plat::COLORREF* colour) {
    if (!text)
        return false;
    int parts[3];
    const char* begin = text;
    for (int i = 0; i < 3; ++i) {
        const char* end = i < 2 ? std::strchr(begin, ',') : begin + std::strlen(begin);
        if (!end || !ParseDecimalSpan(begin, end, &parts[i]) || parts[i] < 0 || parts[i] > 255)
            return false;
        begin = end + 1;
    }
    *colour = plat::RGB(static_cast<std::uint8_t>(parts[0]), static_cast<std::uint8_t>(parts[1]),
                        static_cast<std::uint8_t>(parts[2]));
    return true;
}

bool ReadInt(const tinyxml2::XMLElement* element, const char* name, int* value) {
    return element && ParseThemeInt(element->Attribute(name), value);
}

bool ReadSizeInt(const tinyxml2::XMLElement* element, const char* name, int* value) {
    int v = 0;
    if (!ReadInt(element, name, &v) || v < 0)
        return false;
    *value = v;
    return true;
}

bool ReadBool(const tinyxml2::XMLElement* element, const char* name, bool* value) {
    return element && ParseThemeBool(element->Attribute(name), value);
}

bool ReadPoint(const tinyxml2::XMLElement* element, const char* name, plat::Point* value) {
    int x = 0, y = 0;
    if (!element || !ParseThemePair(element->Attribute(name), &x, &y))
        return false;
    *value = plat::Point{x, y};
    return true;
}

bool ReadSize(const tinyxml2::XMLElement* element, const char* name, plat::Size* value) {
    int cx = 0, cy = 0;
    if (!element || !ParseThemePair(element->Attribute(name), &cx, &cy) || cx < 0 || cy < 0)
        return false;
    *value = plat::Size{cx, cy};
    return true;
}

bool ReadColour(const tinyxml2::XMLElement* element, const char* name, plat::COLORREF* value) {
    return element && ParseThemeColour(element->Attribute(name), value);
}

bool ReadText(const tinyxml2::XMLElement* element, const char* name, std::string* value) {
    const char* text = element ? element->Attribute(name) : nullptr;
    if (!text)
        return false;
    *value = text;
    return true;
}

const tinyxml2::XMLElement* ChildElement(const tinyxml2::XMLElement* element, const char* name) {
    return element ? element->FirstChildElement(name) : nullptr;
}

CElementKeys::CElementKeys(const tinyxml2::XMLElement* element,
                           const tinyxml2::XMLElement* profiles)
    : element_(element) {
    const char* name = element ? element->Attribute("profile") : nullptr;
    if (profiles && name && *name)
        profile_ = profiles->FirstChildElement(name);
}

bool CElementKeys::Int(const char* name, int* value) const {
    return ReadInt(element_, name, value) || ReadInt(profile_, name, value);
}

bool CElementKeys::SizeInt(const char* name, int* value) const {
    return ReadSizeInt(element_, name, value) || ReadSizeInt(profile_, name, value);
}

bool CElementKeys::Bool(const char* name, bool* value) const {
    return ReadBool(element_, name, value) || ReadBool(profile_, name, value);
}

bool CElementKeys::Point(const char* name, plat::Point* value) const {
    return ReadPoint(element_, name, value) || ReadPoint(profile_, name, value);
}

bool CElementKeys::Size(const char* name, plat::Size* value) const {
    return ReadSize(element_, name, value) || ReadSize(profile_, name, value);
}

bool CElementKeys::Colour(const char* name, plat::COLORREF* value) const {
    return ReadColour(element_, name, value) || ReadColour(profile_, name, value);
}

bool CElementKeys::Text(const char* name, std::string* value) const {
    return ReadText(element_, name, value) || ReadText(profile_, name, value);
}

const tinyxml2::XMLElement* CElementKeys::Holder(const char* name) const {
    if (element_ && element_->Attribute(name))
        return element_;
    if (profile_ && profile_->Attribute(name))
        return profile_;
    return nullptr;
}

const tinyxml2::XMLElement* CElementKeys::Child(const char* name) const {
    if (const tinyxml2::XMLElement* own = ChildElement(element_, name))
        return own;
    return ChildElement(profile_, name);
}

} // namespace skin
