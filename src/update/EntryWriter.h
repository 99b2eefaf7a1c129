#pragma once
// Writes one archive entry into the installation folder. The entry's bytes
// stream from the archive reader into a new file beside the target, which
// takes the target's place by rename only once every byte is written and
// verified: a kill at any moment leaves the old file or the new one, never a
// part, and memory stays flat whatever the entry's size. The target is found
// with the path rule the checker uses (an existing folder or file whose name
// matches without regard to case is reused); a link in the way is replaced,
// never written through. Used on the unpacker's worker threads, one writer
// per thread.

#include "platform/Error.h"
#include "platform/File.h"
#include "update/PathResolver.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace update {

// How the writer reaches the files; the unpacker implements it and tests
// replace it to play files in use.
class IEntryFiles {
public:
    virtual ~IEntryFiles() = default;
    // Creates the new file beside the target (a fresh name, never followed).
    virtual bool CreateTempFile(const std::wstring& path, plat::File* file) = 0;
    // Puts the finished new file in the target's place. A file in use or
    // protected fails here with its system error.
    virtual bool ReplaceTarget(const std::wstring& temp, const std::wstring& target) = 0;
};

// The bytes of one entry, as its reader gives them.
using EntrySink = std::function<bool(const void* data, std::size_t size)>;
enum class ProduceResult {
    Ok,      // every byte went through and matched the archive's size and CRC
    Damaged, // the archive's data are wrong: nothing of it may be kept
    Refused, // the sink refused a block
};
using EntryProducer = std::function<ProduceResult(const EntrySink& sink)>;

// Why an entry was not written.
struct EntryFailure {
    enum class Kind {
        None,    // written (or, with tolerant writes, skipped)
        Damaged, // the archive's data: the package failure
        Create,  // the file could not be created or put in place
        Write,   // the file could not be written
    };
    Kind kind = Kind::None;
    plat::ErrorCode code = plat::kErrSuccess;
};

class CEntryWriter {
public:
    // With tolerant writes a file that cannot be created or written is
    // skipped without a failure.
    CEntryWriter(IEntryFiles* files, CPathResolver* resolver, bool tolerant)
        : files_(files), resolver_(resolver), tolerant_(tolerant) {}

    // A file entry ("\" separated name below the installation folder). A
    // failure to create or write it is no failure when the file there
    // already holds exactly the entry's bytes.
    EntryFailure WriteFile(const std::string& name, std::uint64_t size,
                           const EntryProducer& produce);
    // A folder entry: the folder with its missing parents.
    void MakeFolder(const std::string& name);

private:
    // Whether the file at `path` holds exactly the bytes the producer gives.
    static bool HoldsEntry(const std::wstring& path, std::uint64_t size,
                           const EntryProducer& produce);

    IEntryFiles* files_;
    CPathResolver* resolver_;
    bool tolerant_;
};

} // namespace update
