#pragma once
// Where the configuration readers find the members of the resource archive
// (configuration documents, theme images, language tables). The archive
// reader implements it; tests use a map.

#include <string>

namespace config {

class IMemberSource {
public:
    virtual ~IMemberSource() = default;
    // A fresh copy of the member's bytes; false when there is no such member.
    // The name is "\" separated, as stored in the archive.
    virtual bool GetMember(const std::string& name, std::string* bytes) const = 0;
};

} // namespace config
