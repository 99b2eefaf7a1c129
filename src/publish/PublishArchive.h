#pragma once
// What the publisher needs of a package format: an archive written member by
// member into a file. Each writer is used by one thread; the helpers below
// read source files in blocks so that no file is held whole.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace publish {

// CRC-32 and size of a file as it went into a package.
struct PublishDigest {
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
};

// One package archive being written by one thread. Create, then AddFile
// for each member, then Finish; after a failure the caller deletes the file.
class IPublishArchiveWriter {
public:
    virtual ~IPublishArchiveWriter() = default;
    // Creates (or replaces) the archive file.
    virtual bool Create(const std::wstring& path, std::string* error) = 0;
    // Adds the file at `source` as member `name` ("\" separated) and gives
    // the CRC-32 and size of the bytes it read.
    virtual bool AddFile(const std::string& name, const std::wstring& source, PublishDigest* digest,
                         std::string* error) = 0;
    // Completes the archive and closes its file.
    virtual bool Finish(std::string* error) = 0;
};

// Reading blocks of this size keeps the memory of a run small.
inline constexpr std::size_t kPublishBlockSize = 256 * 1024;

// Hands the file to `sink` in blocks of at most kPublishBlockSize bytes (no
// call for an empty file). False with a message when the file cannot be read
// or the sink returns false (the sink sets the message then).
bool ReadFileBlocks(const std::wstring& path,
                    const std::function<bool(const char* data, std::size_t size)>& sink,
                    std::string* error);

// The CRC-32 and size of a whole file, read in blocks.
bool DigestFile(const std::wstring& path, PublishDigest* digest, std::string* error);

// "<what> <path>: <system message> (error <n>)" for the thread's last error.
std::string PublishSystemError(const std::string& what, const std::wstring& path);

} // namespace publish
