#pragma once
// The value syntaxes of theme attributes and the lookup of a control's keys
// on its element and its profile. A malformed value counts as absent, so
// the caller's default stays; where a value is a size, a negative number
// or one that overflows counts as absent too. Pure functions; any thread.

#include "platform/Geometry.h"

#include <cstdint>
#include <string>

namespace tinyxml2 {
class XMLElement;
}

namespace skin {

// Integer: leading white space skipped, "0x"/"0X" means base 16, otherwise
// base 10 with an optional sign; the whole text must be used and the value
// must fit in 32 bits.
bool ParseThemeInt(const char* text, int* value);
// Boolean: "1", "0", "true" or "false".
bool ParseThemeBool(const char* text, bool* value);
// Pair: two base-10 integers joined by one comma, nothing else.
bool ParseThemePair(const char* text, int* first, int* second);
// Colour: three base-10 integers 0..255 joined by commas (red, green, blue),
// red in the low byte.
bool ParseThemeColour(const char* text, plat::COLORREF* colour);

// Readers of one attribute of one element; false (value untouched) when the
// attribute is absent or malformed.
bool ReadInt(const tinyxml2::XMLElement* element, const char* name, int* value);
// An integer meant as a size: negative values count as absent.
bool ReadSizeInt(const tinyxml2::XMLElement* element, const char* name, int* value);
bool ReadBool(const tinyxml2::XMLElement* element, const char* name, bool* value);
bool ReadPoint(const tinyxml2::XMLElement* element, const char* name, plat::Point* value);
// A pair meant as a width and height: a negative side counts as absent.
bool ReadSize(const tinyxml2::XMLElement* element, const char* name, plat::Size* value);
bool ReadColour(const tinyxml2::XMLElement* element, const char* name, plat::COLORREF* value);
bool ReadText(const tinyxml2::XMLElement* element, const char* name, std::string* value);

// The first child element with that name, or null.
const tinyxml2::XMLElement* ChildElement(const tinyxml2::XMLElement* element, const char* name);

// A control's keys: its own element first, then its profile (the child of
// the theme's "profiles" element named by the control's "profile"
// attribute). A key absent or malformed on the element is taken from the
// profile.
class CElementKeys {
public:
    CElementKeys(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles);

    const tinyxml2::XMLElement* Element() const { return element_; }
    // Null without a profiles element or a profile attribute, or when no
    // profile has that name.
    const tinyxml2::XMLElement* Profile() const { return profile_; }

    bool Int(const char* name, int* value) const;
    bool SizeInt(const char* name, int* value) const;
    bool Bool(const char* name, bool* value) const;
    bool Point(const char* name, plat::Point* value) const;
    bool Size(const char* name, plat::Size* value) const;
    bool Colour(const char* name, plat::COLORREF* value) const;
    bool Text(const char* name, std::string* value) const;
    // The attribute's element: the control's when it has the attribute,
    // else the profile's when that has it, else null (used for images,
    // whose companion "_a" attribute is read from the same element).
    const tinyxml2::XMLElement* Holder(const char* name) const;
    // A child element: the control's own, else the profile's.
    const tinyxml2::XMLElement* Child(const char* name) const;

private:
    const tinyxml2::XMLElement* element_;
    const tinyxml2::XMLElement* profile_ = nullptr;
};

} // namespace skin
