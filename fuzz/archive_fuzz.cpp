// Fuzz target for the resource archive reader: arbitrary bytes must either be
// refused with an empty map or give members that every lookup finds.

#include "config/ArchiveHelperRar.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    config::InitArchiveLocale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    config::CArchiveHelperRar reader;
    bool opened = reader.OpenArchive(data, size);
    if (!opened && !reader.MemberNames().empty())
        __builtin_trap(); // a refused archive leaves nothing behind
    std::string bytes;
    for (const std::string& name : reader.MemberNames()) {
        // A stored name that resolves to itself finds its member.
        if (config::NormaliseMemberName(name) == name && !reader.GetMember(name, &bytes))
            __builtin_trap();
    }
    return 0;
}
