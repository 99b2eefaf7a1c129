#include "update/PackageSink.h"

#include "base/Crc32.h"
#include "platform/FileSystem.h"

#include <vector>

namespace update {

namespace {

constexpr std::size_t kReadBlock = 1 << 20;
// How much is written before the disk is asked to start on it. Left to the
// system, a large download piles up gigabytes of dirty pages until the
// writer is throttled; started as it goes, the disk works all along. A
// 4 GiB download ran at 0.80 of `curl -o`'s rate without it and at 1.21
// with it (1 GiB: 1.0-1.1 and 1.5).
constexpr std::uint64_t kWriteBackStep = 8u << 20;

} // namespace

PackageVerdict JudgePackage(std::uint64_t size, std::uint32_t crc, std::uint64_t expectedSize,
                            std::uint32_t expectedCrc) {
    if (size < expectedSize)
        return PackageVerdict::Incomplete;
    if (size > expectedSize || crc != expectedCrc)
        return PackageVerdict::Damaged;
    return PackageVerdict::Complete;
}

CPackageSink::CPackageSink(std::wstring path, std::uint64_t expectedSize, std::uint32_t expectedCrc)
    : path_(std::move(path)), expectedSize_(expectedSize), expectedCrc_(expectedCrc) {
    plat::File file;
    std::uint64_t size = 0;
    if (file.Open(path_, plat::kRead, plat::Disposition::OpenExisting) && file.Size(&size))
        size_ = size;
    // An empty file's CRC is known; any other is read when it is needed.
    crcKnown_ = size_ == 0;
}

CPackageSink::~CPackageSink() = default;

std::uint64_t CPackageSink::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return size_;
}

bool CPackageSink::LoadCrc(std::uint32_t* error) {
    if (crcKnown_)
        return true;
    plat::File file;
    if (!file.Open(path_, plat::kRead, plat::Disposition::OpenExisting)) {
        *error = plat::GetLastError();
        return false;
    }
    std::vector<std::uint8_t> block(kReadBlock);
    std::uint64_t left = size_;
    std::uint32_t crc = 0;
    while (left > 0) {
        std::size_t done = 0;
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        if (!file.Read(block.data(), want, &done)) {
            *error = plat::GetLastError();
            return false;
        }
        if (done == 0) {
            // The file shrank under us: only what is there counts.
            size_ -= left;
            break;
        }
        crc = base::Crc32(block.data(), done, crc);
        left -= done;
    }
    crc_ = crc;
    crcKnown_ = true;
    return true;
}

PackageVerdict CPackageSink::Verdict() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (size_ < expectedSize_)
        return PackageVerdict::Incomplete;
    std::uint32_t error = 0;
    if (size_ == expectedSize_ && !LoadCrc(&error))
        return PackageVerdict::Damaged;
    return JudgePackage(size_, crc_, expectedSize_, expectedCrc_);
}

void CPackageSink::Discard() {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.Close();
    plat::DeleteFile(path_);
    size_ = 0;
    crc_ = 0;
    crcKnown_ = true;
}

bool CPackageSink::BeginBody(std::uint64_t offset, std::uint32_t* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    *error = 0;
    file_.Close();
    if (offset == 0 && size_ != 0) {
        // The server sent the whole file again: what was here goes.
        size_ = 0;
        crc_ = 0;
        crcKnown_ = true;
    }
    // Only the bytes that come next are taken, and none once the file is
    // as long as it will ever be.
    if (offset != size_ || (expectedSize_ != 0 && size_ >= expectedSize_))
        return false;
    if (!LoadCrc(error))
        return false;
    // The file is cut at what is known of it: bytes a failed write left
    // behind are not part of it.
    writeBackFrom_ = size_;
    if (!file_.Open(path_, plat::kWrite, plat::Disposition::OpenAlways) ||
        !file_.Seek(static_cast<std::int64_t>(size_), plat::SeekFrom::Begin) ||
        !file_.SetEndOfFile()) {
        *error = plat::GetLastError();
        file_.Close();
        return false;
    }
    return true;
}

bool CPackageSink::WriteBody(const void* data, std::size_t size, std::uint32_t* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_.IsOpen()) {
        *error = plat::kErrInvalidHandle;
        return false;
    }
    if (!file_.Write(data, size)) {
        *error = plat::GetLastError();
        return false;
    }
    crc_ = base::Crc32(data, size, crc_);
    size_ += size;
    if (size_ - writeBackFrom_ >= kWriteBackStep) {
        file_.StartWriteBack(writeBackFrom_, size_ - writeBackFrom_);
        writeBackFrom_ = size_;
    }
    return true;
}

void CPackageSink::EndBody() {
    std::lock_guard<std::mutex> lock(mutex_);
    file_.Close();
}

} // namespace update
