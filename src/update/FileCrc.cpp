#include "update/FileCrc.h"

#include "base/Crc32.h"
#include "platform/File.h"

namespace update {

namespace {

plat::ErrorCode LastErrorOr(plat::ErrorCode fallback) {
    const plat::ErrorCode code = plat::GetLastError();
    return code != plat::kErrSuccess ? code : fallback;
}

// Reads from the current position to the end, continuing the CRC.
bool CrcToEnd(plat::File* file, std::vector<unsigned char>* block, std::uint32_t* crc,
              std::uint64_t* total) {
    for (;;) {
        std::size_t done = 0;
        if (!file->Read(block->data(), block->size(), &done))
            return false;
        if (done == 0)
            return true;
        *crc = base::Crc32(block->data(), done, *crc);
        *total += done;
    }
}

} // namespace

CFileCrcReader::CFileCrcReader(std::size_t blockSize) : block_(blockSize ? blockSize : 1) {}

bool CFileCrcReader::Compute(const std::wstring& path, std::uint32_t* crc, std::uint64_t* size,
                             plat::ErrorCode* error) {
    *crc = 0;
    *size = 0;
    *error = plat::kErrSuccess;
    plat::File file;
    if (!file.Open(path, plat::kRead, plat::Disposition::OpenExisting)) {
        *error = LastErrorOr(plat::kErrFileNotFound);
        return false;
    }
    if (!CrcToEnd(&file, &block_, crc, size)) {
        *error = LastErrorOr(plat::kErrInvalidFunction);
        return false;
    }
    return true;
}

FileMatch CFileCrcReader::Compare(const std::wstring& path, std::uint32_t crc, std::uint32_t size,
                                  plat::ErrorCode* error) {
    *error = plat::kErrSuccess;
    plat::File file;
    if (!file.Open(path, plat::kRead | plat::kNoFollow, plat::Disposition::OpenExisting)) {
        *error = LastErrorOr(plat::kErrFileNotFound);
        return FileMatch::Unreadable;
    }
    std::uint64_t length = 0;
    if (file.Size(&length) && length != size)
        return FileMatch::Different;
    std::uint32_t actual = 0;
    std::uint64_t total = 0;
    // A read that fails half-way leaves contents that cannot match.
    if (!CrcToEnd(&file, &block_, &actual, &total))
        return FileMatch::Different;
    return actual == crc && total == size ? FileMatch::Same : FileMatch::Different;
}

} // namespace update
