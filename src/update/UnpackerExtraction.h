#pragma once
// One task's work on the unpacker thread: the entries of a RAR or ZIP package
// (or a single downloaded file) written into the installation folder. Entries
// are unpacked into one reused buffer, verified, and only then written; names
// that would leave the installation folder are refused. Private to
// CUnpackerThread; lives for one task on the unpacker thread.

#include "platform/MappedFile.h"
#include "update/UnpackerThread.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace update {

class CUnpackerThread::CExtraction {
public:
    // `map` holds the complete package; `package` is its path for messages.
    CExtraction(CUnpackerThread* owner, RunSettings settings, plat::MappedFile* map,
                std::wstring package);

    bool UnpackRar();
    bool UnpackZip();
    // Writes the whole mapped file as `name` under the installation folder.
    bool WriteWholeFile(const std::wstring& name);

private:
    // Entry i of n has begun: a progress message when enough time passed.
    void Progress(std::size_t i, std::size_t n);
    // A directory entry, or a file entry's verified data.
    void MakeDirectory(const std::string& name);
    bool WriteFile(const std::wstring& name, const void* data, std::size_t size);
    // Room for an entry of `size` bytes.
    std::uint8_t* EntryBuffer(std::size_t size);
    bool Stopped() const;
    // The package failure reports.
    void Fail(const char* text);

    CUnpackerThread* owner_;
    RunSettings settings_;
    plat::MappedFile* map_;
    std::wstring package_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t capacity_ = 0;
};

// Whether an entry name may be written below the installation folder.
bool IsWritableEntryName(const std::string& name);
// The native path of a folder entry: double quotes removed, "/" turned into
// "\" and doubled separators folded, then joined to the folder.
std::wstring DirectoryEntryPath(const std::wstring& installDir, const std::string& name);
// True when the file holds exactly these bytes.
bool FileHoldsBytes(const std::wstring& path, const void* data, std::size_t size);

} // namespace update
