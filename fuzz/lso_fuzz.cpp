// Fuzz target for the language table reader: arbitrary bytes must either be
// rejected or yield a table whose every string converts to text.

#include "config/LauncherLang.h"
#include "config/LsoFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> strings;
    if (config::ReadLso(bytes, &strings) != config::kLsoOk)
        return 0;

    config::CLauncherLangTable table;
    if (table.AddLanguageBytes(bytes, "Fuzz", "fz", "", 0) != 0)
        __builtin_trap(); // the table must accept what the reader accepted
    for (int id = -1; id <= table.Current()->StringCount(); ++id)
        table.GetString(id);
    return 0;
}
