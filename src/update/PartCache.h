#pragma once
// What the unpacker knows of each temporary package file: its size and
// running CRC-32, and the parts received in this launcher run that are still
// held in memory. Pending parts reach the file when they are flushed, or as
// soon as one file holds more than the memory bound. Not locked itself: the
// unpacker's lock guards every call (window thread and unpacker thread).

#include "base/Buffer.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace update {

// The state of one temporary file.
struct PartCache {
    std::uint32_t crc = 0;        // CRC-32 of every byte of the file
    std::uint32_t size = 0;       // bytes on disk plus the pending ones
    std::vector<CBuffer> pending; // parts not yet on disk, in arrival order
    std::size_t pendingBytes = 0; // their total length
    bool unpacked = false;        // a task for this file finished
    bool complete = false;        // the download of this file has ended
};

class CPartCache {
public:
    explicit CPartCache(std::size_t memoryBound) : memoryBound_(memoryBound) {}

    // Registers the file (from disk when it is new) and appends the part when
    // one is given. False when a part is offered to a complete file.
    bool AddPart(const std::wstring& path, const void* part, std::size_t length);
    // False (size and CRC 0) when the file is not cached.
    bool GetState(const std::wstring& path, std::uint32_t* size, std::uint32_t* crc) const;
    // The file's bytes from disk followed by the pending parts, exactly the
    // cached size of them; false when the file is not cached, already
    // unpacked, or the bytes do not add up to the cached size.
    bool Gather(const std::wstring& path, CBuffer* bytes) const;
    // Makes the temporary file itself hold the whole cached content (the
    // pending parts are written to it) so that it can be read in place;
    // gives the cached size. Fails under the same rules as Gather.
    bool Settle(const std::wstring& path, std::uint32_t* size);

    void Forget(const std::wstring& path);
    void MarkComplete(const std::wstring& path);
    // Also drops the pending parts, the size and the CRC.
    void MarkUnpacked(const std::wstring& path);

    // Writes the pending parts of every file that is not unpacked to the end
    // of its file. Parts that cannot be written stay pending.
    void Flush();
    bool IsDirty() const { return dirty_; }

private:
    static PartCache LoadFromDisk(const std::wstring& path);
    // Appends the pending parts to the file and drops them.
    static bool WritePending(const std::wstring& path, PartCache* entry);
    // Bytes of the file on disk (0 when it cannot be opened).
    static std::uint64_t DiskSize(const std::wstring& path);

    std::size_t memoryBound_;
    std::map<std::wstring, PartCache> files_;
    bool dirty_ = false;
};

} // namespace update
