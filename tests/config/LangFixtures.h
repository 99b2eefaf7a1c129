#pragma once
// Fixture builders for the language table tests: an archive held in a map
// and string tables whose texts name their language and id.

#include "config/LsoFile.h"
#include "config/MemberSource.h"
#include "support/MemberMap.h"

#include <map>
#include <string>
#include <vector>

namespace langtest {

// The resource archive as a map from member name to bytes.
using MapMemberSource = testsupport::MemberMap;

// "<code>:<id>" for every id but 0, which is empty as in the shipped tables.
inline std::string TableText(const std::string& code, int id) {
    return id == 0 ? std::string() : code + ":" + std::to_string(id);
}

inline std::string MakeTable(const std::string& code, int count) {
    std::vector<std::string> strings;
    for (int id = 0; id < count; ++id)
        strings.push_back(TableText(code, id));
    return config::WriteLso(strings);
}

} // namespace langtest
