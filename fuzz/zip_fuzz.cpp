// Fuzz target for the ZIP reader: arbitrary bytes must be refused or read
// without touching memory outside the input, and every way of extracting an
// entry must agree on its bytes.

#include "update/ArchivePath.h"
#include "update/ZipFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    update::CZipFile zip;
    if (zip.Open(data, size) != update::kZipOk) {
        if (zip.IsOpen() || zip.Count() != 0)
            __builtin_trap(); // a refused archive leaves nothing open
        return 0;
    }
    for (std::size_t i = 0; i < zip.Count(); ++i) {
        const update::ZipEntry* entry = zip.Entry(i);
        update::IsSafeArchivePath(entry->name);

        std::size_t found = 0;
        if (zip.Find(entry->name, &found) && zip.Entry(found)->name != entry->name)
            __builtin_trap();

        std::string whole;
        update::ZipResult result = zip.Extract(i, &whole);
        if (result == update::kZipOk && whole.size() != entry->uncompressedSize)
            __builtin_trap();

        std::string streamed;
        update::ZipResult sinkResult = zip.Extract(i, [&](const void* bytes, std::size_t length) {
            streamed.append(static_cast<const char*>(bytes), length);
            return true;
        });
        if (sinkResult != result || (result == update::kZipOk && streamed != whole))
            __builtin_trap();
    }
    return 0;
}
