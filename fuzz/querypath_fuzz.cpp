// Fuzzes the path query and the value readers over arbitrary XML: the first
// line of the input is the path, the rest the document.
#include "config/XmlQuery.h"

#include <tinyxml2.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t newline = input.find('\n');
    std::string path = input.substr(0, newline);
    std::string xml = newline == std::string::npos ? std::string() : input.substr(newline + 1);

    tinyxml2::XMLDocument doc;
    if (doc.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS)
        return 0;
    const tinyxml2::XMLElement* root = doc.FirstChildElement();
    config::QueryResult result;
    config::QueryPath(root, path, &result);
    if (result.segmentBegin > path.size() || result.segmentEnd > path.size())
        __builtin_trap();
    std::string value;
    config::QueryText(root, path, &value);
    config::QueryAttribute(root, path, &value);
    config::QueryElement(root, path);
    config::QueryBool(root, path, true);
    config::QueryInt(root, path, 0);
    return 0;
}
