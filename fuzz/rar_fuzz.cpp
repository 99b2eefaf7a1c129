// Fuzz target for the RAR package reader (header walk and decoder): arbitrary
// bytes must be refused or read without touching memory outside the input;
// a member never yields more bytes than its header gives, whichever way it
// is read, and a member read twice gives the same bytes.

#include "config/RarArchive.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Members larger than this are not unpacked: the header walk already bounds
// what the unpacker would allocate, and a fuzz run has little time.
constexpr std::uint64_t kMaxMemberBytes = 1 << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    config::CRarArchive archive;
    if (!archive.Open(data, size))
        return 0;
    for (std::size_t i = 0; i < archive.Members().size(); ++i) {
        const config::RarFileHeader& member = archive.Members()[i];
        if (member.isDirectory || member.isLink || member.unpackedSize > kMaxMemberBytes)
            continue;
        std::string first, second;
        auto into = [](std::string* out, std::uint64_t limit) {
            return [out, limit](const void* bytes, std::size_t count) {
                if (out->size() + count > limit)
                    __builtin_trap(); // more than the header gives
                out->append(static_cast<const char*>(bytes), count);
                return true;
            };
        };
        const bool ok = archive.Extract(i, into(&first, member.unpackedSize));
        if (ok && first.size() != member.unpackedSize)
            __builtin_trap();
        if (archive.IsDirect(i)) {
            const bool direct = archive.ExtractStored(i, into(&second, member.unpackedSize));
            if (direct != ok || (ok && second != first))
                __builtin_trap();
        }
    }
    return 0;
}
