#pragma once
// The resource archive in memory: every member of a RAR 4 archive unpacked
// once into a map from member name ("\" separated, as stored) to its bytes.
// Filled on the window thread at preinit and only read afterwards.

#include "config/MemberSource.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace config {

// Reads a RAR 4 archive (solid or not, see RarArchive.h) and keeps its
// members. Opened on the window thread; any thread may look members up once
// it is filled.
class CArchiveHelperRar final : public IMemberSource {
public:
    // Replaces the whole map with the members of the archive. Directory
    // entries are left out and a later member replaces an earlier one of the
    // same name. Any decoder error, a member whose bytes do not match the
    // size and CRC-32 of its header, a link, members larger than 256 MiB
    // together, or an archive without its end block fails and leaves the
    // map empty.
    bool OpenArchive(const void* bytes, std::size_t length);

    // Looks up the name after resolving ".." segments and dropping a leading
    // "\"; the comparison is exact and case-sensitive.
    bool GetMember(const std::string& name, std::string* bytes) const override;

    std::vector<std::string> MemberNames() const;
    void Clear() { members_.clear(); }

private:
    std::map<std::string, std::string> members_;
};

// Resolves a member name: a ".." segment removes the segment before it and a
// leading "\" is dropped ("x\..\config.xml" and "\config.xml" give
// "config.xml").
std::string NormaliseMemberName(const std::string& name);

// The process's one archive reader, holding the resource archive: filled on
// the window thread at preinit, only read afterwards.
class CArchiveHolder {
public:
    static CArchiveHelperRar& Instance();
};

// Sets the C runtime locale to "C.UTF-8" so that the C library's wide and
// narrow conversions handle text outside ASCII. The entry point calls it
// once, before any other thread starts.
void InitArchiveLocale();

} // namespace config
