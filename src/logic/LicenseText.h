#pragma once
// The licence document the server sends: an XML document whose LICENSE
// element holds the text, with "<br/>" for line ends and "&nbsp;" for
// blanks. Pure; window thread.

#include <string>
#include <string_view>

namespace logic {

// The licence text of the document; false when it is no XML document or its
// LICENSE text is missing or empty.
bool ReadLicenseText(std::string_view document, std::wstring* text);

} // namespace logic
