#include "logic/LicenseText.h"

#include "base/Strings.h"
#include "config/XmlQuery.h"

#include <tinyxml2.h>

namespace logic {

namespace {

void ReplaceAll(std::string* text, std::string_view from, std::string_view to) {
    for (std::size_t at = text->find(from); at != std::string::npos;
         at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

} // namespace

bool ReadLicenseText(std::string_view document, std::wstring* text) {
    tinyxml2::XMLDocument xml;
    if (xml.Parse(document.data(), document.size()) != tinyxml2::XML_SUCCESS)
        return false;
    std::string licence;
    if (!config::QueryText(xml.RootElement(), "LICENSE/text()", &licence) || licence.empty())
        return false;
    ReplaceAll(&licence, "<br/>", "\n");
    ReplaceAll(&licence, "&nbsp;", " ");
    *text = base::Utf8ToWide(licence);
    return true;
}

} // namespace logic
