#pragma once
// The temporary file of one queued download under "tmp", written as the
// bytes arrive: each read of a package range is appended to the file and
// the running CRC-32 continues over it, on the transport thread, so neither
// the package nor a copy of it is ever held in memory and a kill loses at
// most the read in flight. It is the one place that says whether the file
// is complete: whole, with the size and CRC-32 the manifest gives.
//
// Threads: the update cycle (window thread) makes it, reads its state and
// discards it while no request writes to it; the transport thread writes
// to it while its request is in flight. A lock guards the state all the
// same.

#include "net/BodySink.h"
#include "platform/File.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace update {

enum class PackageVerdict {
    Incomplete, // fewer bytes than the file has: the download goes on
    Complete,   // the whole file with its CRC-32
    Damaged,    // too long, or the right length with another CRC-32
};

// The rule itself, for a file of `size` bytes whose CRC-32 is `crc`.
PackageVerdict JudgePackage(std::uint64_t size, std::uint32_t crc, std::uint64_t expectedSize,
                            std::uint32_t expectedCrc);

class CPackageSink final : public NetEx::IBodySink {
public:
    // Takes up what the file holds already (its size; its CRC-32 when a
    // verdict or an append needs it), so a download goes on from there.
    CPackageSink(std::wstring path, std::uint64_t expectedSize, std::uint32_t expectedCrc);
    ~CPackageSink() override;
    CPackageSink(const CPackageSink&) = delete;
    CPackageSink& operator=(const CPackageSink&) = delete;

    const std::wstring& Path() const { return path_; }
    // Bytes the file holds.
    std::uint64_t Size() const;
    // The verdict on what the file holds (reads the file for its CRC-32 the
    // first time a whole file needs one).
    PackageVerdict Verdict();
    // Deletes the file; the download starts again from nothing.
    void Discard();

    // --- NetEx::IBodySink ---------------------------------------------------
    std::uint64_t FileSize() const override { return expectedSize_; }
    // Takes an answer that starts at the file's end, or at 0 (the file
    // starts again); refuses any other offset, and any answer once the
    // file is whole.
    bool BeginBody(std::uint64_t offset, std::uint32_t* error) override;
    bool WriteBody(const void* data, std::size_t size, std::uint32_t* error) override;
    void EndBody() override;

private:
    // The CRC-32 of the file's first size_ bytes, read from disk; false with
    // the error when they cannot be read.
    bool LoadCrc(std::uint32_t* error);

    mutable std::mutex mutex_;
    const std::wstring path_;
    const std::uint64_t expectedSize_;
    const std::uint32_t expectedCrc_;
    std::uint64_t size_ = 0;
    std::uint64_t writeBackFrom_ = 0; // where the disk's writing was last asked to start
    std::uint32_t crc_ = 0;
    bool crcKnown_ = false; // crc_ covers the first size_ bytes
    plat::File file_;       // open while an answer is written
};

} // namespace update
