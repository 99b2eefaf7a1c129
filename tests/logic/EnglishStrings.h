#pragma once
// The shipped English language table as a string lookup for tests of the
// user texts, read from the source tree once. Used on the test's own thread.

#include "config/LangSource.h"
#include "logic/MaintenanceAnswer.h"
#include "platform/Unicode.h"
#include "support/TempDir.h"

#include <string>
#include <vector>

namespace logictest {

inline const std::vector<std::string>& EnglishTable() {
    static const std::vector<std::string> table = [] {
        const std::string here = __FILE__;
        const std::string root = here.substr(0, here.rfind("tests/logic/"));
        const std::string source =
            testsupport::ReadTestFile(plat::Utf8ToWide(root + "dist/default/lang/en.txt"));
        std::vector<std::string> strings;
        std::string error;
        if (!config::ParseLangSource(source, &strings, &error))
            strings.clear();
        return strings;
    }();
    return table;
}

// Empty for an id the table lacks, as the launcher's lookup gives it.
inline logic::LangLookup EnglishLang() {
    return [](int id) {
        const std::vector<std::string>& table = EnglishTable();
        if (id < 0 || static_cast<std::size_t>(id) >= table.size())
            return std::wstring();
        return plat::Utf8ToWide(table[static_cast<std::size_t>(id)]);
    };
}

} // namespace logictest
