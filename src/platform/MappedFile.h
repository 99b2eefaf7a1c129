#pragma once
// A read-only memory view of the first bytes of a file, so that large files
// can be read without copying them to the heap. Owned by one thread at a
// time; unmapped on destruction. The file must not shrink while it is mapped.

#include "platform/Error.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps the first `length` bytes of the file for reading. Fails with 38
    // (end of file) when the file holds fewer bytes. A length of 0 succeeds
    // with an empty view.
    bool Open(const std::wstring& path, std::uint64_t length);
    void Close();

    const std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }

    // A hint for a front-to-back reader: the bytes before `offset` will not
    // be read again soon, so their pages may leave the process's memory.
    // Reading them later stays valid (they come back from the file).
    void ReleaseBefore(std::size_t offset);
    // A hint after a walk that touched pages all over the view (the headers
    // of an archive): every page may leave the process's memory until it is
    // read again.
    void ReleaseTouched();

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t released_ = 0; // bytes already given back
};

} // namespace plat
