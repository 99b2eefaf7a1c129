#include "config/XmlQuery.h"

#include <tinyxml2.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace config {

using tinyxml2::XMLElement;

const XMLElement* QueryPath(const XMLElement* start, const std::string& path, QueryResult* result) {
    const XMLElement* found = nullptr;
    result->element = nullptr;
    if (path.empty())
        return nullptr;
    std::size_t pos = 0;
    for (;;) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        result->segmentBegin = pos;
        result->segmentEnd = end;
        if (end == pos) {
            result->kind = kQueryEnd;
            break;
        }
        if (path[pos] == '@') {
            result->kind = kQueryAttribute;
            break;
        }
        if (path.compare(pos, end - pos, "text()") == 0) {
            result->kind = kQueryText;
            break;
        }
        result->kind = kQueryElement;
        // Element names are read through a 256-byte buffer: at most 255 characters.
        std::string name = path.substr(pos, std::min<std::size_t>(end - pos, 255));
        const XMLElement* parent = found ? found : start;
        found = parent ? parent->FirstChildElement(name.c_str()) : nullptr;
        if (!found)
            break;
        if (end == path.size()) {
            result->kind = kQueryEnd;
            break;
        }
        if (end + 1 == path.size())
            break; // a trailing "/": kind stays "element"
        pos = end + 1;
    }
    result->element = found;
    return found;
}

bool QueryText(const XMLElement* start, const std::string& path, std::string* value) {
    QueryResult r;
    if (!QueryPath(start, path, &r) || r.kind != kQueryText || r.segmentEnd != path.size())
        return false;
    const char* text = r.element->GetText();
    *value = text ? text : "";
    return true;
}

bool QueryAttribute(const XMLElement* start, const std::string& path, std::string* value) {
    QueryResult r;
    if (!QueryPath(start, path, &r) || r.kind != kQueryAttribute || r.segmentEnd != path.size())
        return false;
    std::string name = path.substr(r.segmentBegin + 1, r.segmentEnd - r.segmentBegin - 1);
    const char* attribute = r.element->Attribute(name.c_str());
    if (!attribute)
        return false;
    *value = attribute;
    return true;
}

const XMLElement* QueryElement(const XMLElement* start, const std::string& path) {
    QueryResult r;
    const XMLElement* e = QueryPath(start, path, &r);
    return e && r.kind == kQueryEnd ? e : nullptr;
}

bool ParseBool(const std::string& text, bool* value) {
    if (text.size() == 1) {
        if (text[0] != '0' && text[0] != '1')
            return false;
        *value = text[0] == '1';
        return true;
    }
    if (std::strncmp(text.c_str(), "true", text.size()) == 0) {
        *value = true;
        return true;
    }
    if (std::strncmp(text.c_str(), "false", text.size()) == 0) {
        *value = false;
        return true;
    }
    return false;
}

bool ParseInt(const std::string& text, std::int32_t* value) {
    if (text.empty() || text.find('\0') != std::string::npos)
        return false;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.c_str() + (hex ? 2 : 0);
    if (*begin == ' ' || *begin == '\t' || *begin == '\n' ||
        (hex && (*begin == '-' || *begin == '+')))
        return false;
    char* end = nullptr;
    errno = 0;
    if (hex) {
        unsigned long v = std::strtoul(begin, &end, 16);
        if (errno != 0 || *end != '\0' || end == begin || v > 0xFFFFFFFFul)
            return false;
        *value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
        return true;
    }
    long v = std::strtol(begin, &end, 10);
    if (errno != 0 || *end != '\0' || end == begin || v < INT32_MIN || v > INT32_MAX)
        return false;
    *value = static_cast<std::int32_t>(v);
    return true;
}

bool QueryBool(const XMLElement* start, const std::string& path, bool defaultValue) {
    std::string text;
    bool value = defaultValue;
    bool found = path.find('@') != std::string::npos ? QueryAttribute(start, path, &text)
                                                     : QueryText(start, path, &text);
    return found && ParseBool(text, &value) ? value : defaultValue;
}

std::int32_t QueryInt(const XMLElement* start, const std::string& path, std::int32_t defaultValue) {
    std::string text;
    std::int32_t value = defaultValue;
    bool found = path.find('@') != std::string::npos ? QueryAttribute(start, path, &text)
                                                     : QueryText(start, path, &text);
    return found && ParseInt(text, &value) ? value : defaultValue;
}

} // namespace config
