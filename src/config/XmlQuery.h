#pragma once
// The path query over XML elements and the value readers built on it. Pure
// functions; any thread.
//
// A path is element names separated by "/", ending in "text()" or in an
// attribute segment "@name": "log/logLauncher/@enable", "regPath/text()".

#include <cstdint>
#include <string>

namespace tinyxml2 {
class XMLElement;
}

namespace config {

enum QueryKind : int {
    kQueryEnd = 0,       // the path was used up on an element (or met an empty segment)
    kQueryElement = 1,   // an element step was taken last
    kQueryAttribute = 2, // the last segment is "@name"
    kQueryText = 3,      // the last segment is "text()"
};

struct QueryResult {
    const tinyxml2::XMLElement* element = nullptr;
    int kind = kQueryEnd;
    // The current segment, as offsets into the path.
    std::size_t segmentBegin = 0;
    std::size_t segmentEnd = 0;
};

// Walks `path` from `start`. An empty path gives no element and leaves
// `result->kind` as it was.
const tinyxml2::XMLElement* QueryPath(const tinyxml2::XMLElement* start, const std::string& path,
                                      QueryResult* result);

// The text of "…/text()"; an element without text reads as empty.
bool QueryText(const tinyxml2::XMLElement* start, const std::string& path, std::string* value);
// The value of "…/@name" when the element has that attribute.
bool QueryAttribute(const tinyxml2::XMLElement* start, const std::string& path, std::string* value);
// The element a path of element names reaches.
const tinyxml2::XMLElement* QueryElement(const tinyxml2::XMLElement* start,
                                         const std::string& path);

// Value conversions: a one-character boolean is "0" or "1"; a longer one is
// compared with "true" and "false" over its own length (so "" is true).
bool ParseBool(const std::string& text, bool* value);
// Decimal (with an optional sign) or hexadecimal after "0x"; the whole text
// must be consumed and fit in 32 bits.
bool ParseInt(const std::string& text, std::int32_t* value);

// Readers with a default: a missing value or one that does not convert
// gives the default.
bool QueryBool(const tinyxml2::XMLElement* start, const std::string& path, bool defaultValue);
std::int32_t QueryInt(const tinyxml2::XMLElement* start, const std::string& path,
                      std::int32_t defaultValue);

} // namespace config
