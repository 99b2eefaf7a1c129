#include "update/PartCache.h"

#include "base/Crc32.h"
#include "platform/File.h"

#include <algorithm>

namespace update {

namespace {

constexpr std::size_t kReadBlock = 1 << 20;

} // namespace

PartCache CPartCache::LoadFromDisk(const std::wstring& path) {
    PartCache entry;
    plat::File file;
    if (!file.Open(path, plat::kRead, plat::Disposition::OpenExisting))
        return entry;
    std::vector<std::uint8_t> block(kReadBlock);
    std::uint64_t total = 0;
    std::uint32_t crc = 0;
    for (;;) {
        std::size_t done = 0;
        if (!file.Read(block.data(), block.size(), &done))
            return PartCache{};
        if (done == 0)
            break;
        crc = base::Crc32(block.data(), done, crc);
        total += done;
    }
    entry.crc = crc;
    entry.size = static_cast<std::uint32_t>(total);
    return entry;
}

std::uint64_t CPartCache::DiskSize(const std::wstring& path) {
    plat::File file;
    std::uint64_t size = 0;
    if (!file.Open(path, plat::kRead, plat::Disposition::OpenExisting) || !file.Size(&size))
        return 0;
    return size;
}

bool CPartCache::WritePending(const std::wstring& path, PartCache* entry) {
    if (entry->pending.empty())
        return true;
    plat::File file;
    if (!file.Open(path, plat::kWrite, plat::Disposition::OpenAlways) ||
        !file.Seek(0, plat::SeekFrom::End))
        return false;
    std::size_t written = 0;
    bool ok = true;
    for (; written < entry->pending.size(); ++written) {
        const CBuffer& part = entry->pending[written];
        if (!file.Write(part.Data(), part.Size())) {
            ok = false;
            break;
        }
        entry->pendingBytes -= part.Size();
    }
    entry->pending.erase(entry->pending.begin(),
                         entry->pending.begin() + static_cast<std::ptrdiff_t>(written));
    return ok;
}

bool CPartCache::AddPart(const std::wstring& path, const void* part, std::size_t length) {
    auto found = files_.find(path);
    if (found == files_.end())
        found = files_.emplace(path, LoadFromDisk(path)).first;
    PartCache& entry = found->second;
    if (!part || length == 0)
        return true;
    if (entry.complete)
        return false;
    entry.pending.emplace_back(part, length);
    entry.pendingBytes += length;
    entry.crc = base::Crc32(part, length, entry.crc);
    entry.size += static_cast<std::uint32_t>(length);
    dirty_ = true;
    // Beyond the bound the file itself holds the bytes: the same thing a
    // flush at shutdown would leave behind. A failed write keeps them here.
    if (entry.pendingBytes > memoryBound_)
        WritePending(path, &entry);
    return true;
}

bool CPartCache::GetState(const std::wstring& path, std::uint32_t* size, std::uint32_t* crc) const {
    auto found = files_.find(path);
    *size = found == files_.end() ? 0 : found->second.size;
    *crc = found == files_.end() ? 0 : found->second.crc;
    return found != files_.end();
}

bool CPartCache::Gather(const std::wstring& path, CBuffer* bytes) const {
    auto found = files_.find(path);
    if (found == files_.end() || found->second.unpacked)
        return false;
    const PartCache& entry = found->second;
    CBuffer buffer;
    buffer.Resize(entry.size);
    std::size_t gathered = 0;
    plat::File file;
    if (entry.size > 0 && file.Open(path, plat::kRead, plat::Disposition::OpenExisting) &&
        !file.Read(buffer.Data(), entry.size, &gathered))
        return false;
    for (const CBuffer& part : entry.pending) {
        if (part.Size() > entry.size - gathered)
            return false; // never copy beyond the cached size
        std::copy(part.Data(), part.Data() + part.Size(), buffer.Data() + gathered);
        gathered += part.Size();
    }
    if (gathered != entry.size)
        return false;
    *bytes = std::move(buffer);
    return true;
}

bool CPartCache::Settle(const std::wstring& path, std::uint32_t* size) {
    auto found = files_.find(path);
    if (found == files_.end() || found->second.unpacked)
        return false;
    PartCache& entry = found->second;
    std::uint64_t onDisk = DiskSize(path);
    // The rule of Gather: the disk part is read up to the cached size, and
    // the pending parts must fill exactly the rest.
    bool adds =
        entry.pending.empty() ? onDisk >= entry.size : onDisk + entry.pendingBytes == entry.size;
    if (!adds || !WritePending(path, &entry))
        return false;
    *size = entry.size;
    return true;
}

void CPartCache::Forget(const std::wstring& path) {
    auto found = files_.find(path);
    if (found == files_.end())
        return;
    PartCache& entry = found->second;
    entry.complete = false;
    entry.pending.clear();
    entry.pendingBytes = 0;
    entry.size = 0;
    entry.crc = 0;
}

void CPartCache::MarkComplete(const std::wstring& path) {
    auto found = files_.find(path);
    if (found != files_.end())
        found->second.complete = true;
}

void CPartCache::MarkUnpacked(const std::wstring& path) {
    auto found = files_.find(path);
    if (found == files_.end())
        return;
    PartCache& entry = found->second;
    entry.unpacked = true;
    entry.pending.clear();
    entry.pendingBytes = 0;
    entry.size = 0;
    entry.crc = 0;
}

void CPartCache::Flush() {
    if (!dirty_)
        return;
    dirty_ = false;
    for (auto& [path, entry] : files_)
        if (!entry.unpacked)
            WritePending(path, &entry);
}

} // namespace update
