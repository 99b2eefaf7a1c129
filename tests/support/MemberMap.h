#pragma once
// Resource archive members held in memory by name, for code that reads
// theme and language files through config::IMemberSource. Test thread only.

#include "config/MemberSource.h"

#include <map>
#include <string>

namespace testsupport {

class MemberMap : public config::IMemberSource {
public:
    bool GetMember(const std::string& name, std::string* bytes) const override {
        auto it = members.find(name);
        if (it == members.end())
            return false;
        *bytes = it->second;
        return true;
    }
    std::map<std::string, std::string> members;
};

} // namespace testsupport
