#include "update/UnpackerExtraction.h"

#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "update/ArchivePath.h"
#include "update/RarPackageReader.h"
#include "update/UnpackerMessages.h"
#include "update/ZipFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace update {

bool IsWritableEntryName(const std::string& name) {
    return IsSafeArchivePath(name);
}

std::wstring DirectoryEntryPath(const std::wstring& installDir, const std::string& name) {
    std::string folder;
    for (char c : name) {
        if (c == '"')
            continue;
        char separator = c == '/' ? '\\' : c;
        if (separator == '\\' && !folder.empty() && folder.back() == '\\')
            continue;
        folder += separator;
    }
    return plat::JoinPath(installDir, plat::NativePath(plat::Utf8ToWide(folder)));
}

bool FileHoldsBytes(const std::wstring& path, const void* data, std::size_t size) {
    plat::File file;
    std::uint64_t onDisk = 0;
    if (!file.Open(path, plat::kRead, plat::Disposition::OpenExisting) || !file.Size(&onDisk) ||
        onDisk != size)
        return false;
    std::vector<std::uint8_t> block(std::min<std::size_t>(size, 1 << 20));
    auto expected = static_cast<const std::uint8_t*>(data);
    for (std::size_t offset = 0; offset < size;) {
        std::size_t done = 0;
        if (!file.Read(block.data(), std::min(block.size(), size - offset), &done) || done == 0 ||
            std::memcmp(block.data(), expected + offset, done) != 0)
            return false;
        offset += done;
    }
    return true;
}

CUnpackerThread::CExtraction::CExtraction(CUnpackerThread* owner, RunSettings settings,
                                          plat::MappedFile* map, std::wstring package)
    : owner_(owner), settings_(std::move(settings)), map_(map), package_(std::move(package)) {}

bool CUnpackerThread::CExtraction::Stopped() const {
    return owner_->IsStopped();
}

void CUnpackerThread::CExtraction::Fail(const char* text) {
    owner_->Report(plat::Utf8ToWide(text) + package_, 0, kUnpackPackageFailed, true);
}

void CUnpackerThread::CExtraction::Progress(std::size_t i, std::size_t n) {
    // The finished share of this package, in single precision.
    float share = static_cast<float>(map_->Size()) * static_cast<float>(i) / static_cast<float>(n);
    std::uint64_t processed = 0;
    {
        std::lock_guard<std::mutex> guard(owner_->lock_);
        processed = owner_->processed_;
    }
    owner_->PostProgress(processed + static_cast<std::uint64_t>(share), false);
}

std::uint8_t* CUnpackerThread::CExtraction::EntryBuffer(std::size_t size) {
    if (size > capacity_ || !buffer_) {
        buffer_.reset(new std::uint8_t[std::max<std::size_t>(size, 1)]);
        capacity_ = std::max<std::size_t>(size, 1);
    }
    return buffer_.get();
}

void CUnpackerThread::CExtraction::MakeDirectory(const std::string& name) {
    plat::CreateDirectoryTree(DirectoryEntryPath(settings_.installDir, name));
}

bool CUnpackerThread::CExtraction::WriteFile(const std::wstring& name, const void* data,
                                             std::size_t size) {
    std::wstring path = plat::JoinPath(settings_.installDir, plat::NativePath(name));
    plat::CreateDirectoryTree(plat::FolderOf(path));
    plat::File file;
    const wchar_t* failure = nullptr;
    if (!owner_->CreateTargetFile(path, &file))
        failure = L"unpacker: file can't be create : ";
    else if (!file.Write(data, size))
        failure = L"unpacker: file can't be write : ";
    if (!failure)
        return true;
    plat::ErrorCode error = plat::GetLastError();
    file.Close();
    // A file in use that already holds these bytes is not in the way.
    if (settings_.tolerantWrite || FileHoldsBytes(path, data, size))
        return true;
    owner_->Report(failure + name, error, kUnpackFileFailed, true);
    return false;
}

bool CUnpackerThread::CExtraction::WriteWholeFile(const std::wstring& name) {
    owner_->SetCurrentEntry(plat::WideToUtf8(name));
    return WriteFile(name, map_->Data(), map_->Size());
}

bool CUnpackerThread::CExtraction::UnpackRar() {
    CRarPackageReader reader;
    if (!reader.Open(map_->Data(), map_->Size(),
                     [this](std::size_t offset) { map_->ReleaseBefore(offset); })) {
        Fail("pkg(rar) file error or empty : ");
        return false;
    }
    std::size_t n = reader.Count();
    for (std::size_t i = 1;; ++i) {
        if (Stopped())
            return false;
        CRarPackageReader::Entry entry;
        bool end = false;
        if (!reader.Next(&entry, &end)) {
            if (end)
                return true;
            Fail("pkg(rar) unpack error : ");
            return false;
        }
        Progress(i, std::max(n, i));
        // Links and names that climb out of the folder are never written.
        if (entry.isLink || !IsWritableEntryName(entry.name)) {
            Fail("pkg(rar) unpack error : ");
            return false;
        }
        owner_->SetCurrentEntry(entry.name);
        if (entry.isDirectory || entry.name.back() == '\\') {
            MakeDirectory(entry.name);
            continue;
        }
        auto size = static_cast<std::size_t>(entry.size);
        std::uint8_t* data = EntryBuffer(size);
        if (!reader.ReadData(data, size)) {
            Fail("pkg(rar) unpack error : ");
            return false;
        }
        if (!WriteFile(plat::Utf8ToWide(entry.name), data, size))
            return false;
    }
}

bool CUnpackerThread::CExtraction::UnpackZip() {
    CZipFile zip;
    if (zip.Open(map_->Data(), map_->Size()) != kZipOk) {
        Fail("pkg file error or empty : ");
        return false;
    }
    std::size_t n = zip.Count();
    for (std::size_t i = 1; i <= n; ++i) {
        if (Stopped())
            return false;
        Progress(i, n);
        const ZipEntry* entry = zip.Entry(i - 1);
        if (!IsWritableEntryName(entry->name)) {
            Fail("pkg unpack error : ");
            return false;
        }
        std::size_t size = entry->uncompressedSize;
        std::uint8_t* data = EntryBuffer(size);
        if (zip.Extract(i - 1, data, size) != kZipOk) {
            Fail("pkg unpack error : ");
            return false;
        }
        // Entries follow each other: the input before this one is done with.
        map_->ReleaseBefore(entry->localHeaderOffset);
        owner_->SetCurrentEntry(entry->name);
        if (entry->name.back() == '\\') {
            MakeDirectory(entry->name);
            continue;
        }
        if (!WriteFile(plat::Utf8ToWide(entry->name), data, size))
            return false;
    }
    return true;
}

} // namespace update
