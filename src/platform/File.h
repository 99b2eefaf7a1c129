#pragma once
// An open file handle with the Windows creation kinds the launcher relies on.
// Owned by one thread at a time; closed on destruction.

#include "platform/Error.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

enum class Disposition {
    CreateNew,        // fail with 80 when the file exists
    CreateAlways,     // create or truncate
    OpenExisting,     // fail with 2 when missing
    OpenAlways,       // open or create, keep contents
    TruncateExisting, // open and truncate, fail with 2 when missing
};

enum Access : unsigned { kRead = 1, kWrite = 2, kReadWrite = 3 };

enum class SeekFrom { Begin, Current, End };

class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens `path`. With `created` given, reports whether the file was made
    // by this call (OpenAlways / CreateAlways set last error 183 otherwise,
    // as Windows does).
    bool Open(const std::wstring& path, unsigned access, Disposition disposition,
              bool* created = nullptr);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Read may return fewer bytes than asked only at the end of the file.
    bool Read(void* buffer, std::size_t size, std::size_t* done);
    // Writes everything or fails (112 when the disk is full).
    bool Write(const void* data, std::size_t size);
    bool Seek(std::int64_t offset, SeekFrom from, std::int64_t* position = nullptr);
    // Sets the end of the file at the current position.
    bool SetEndOfFile();
    bool Size(std::uint64_t* size) const;
    bool Flush();

    std::intptr_t NativeHandle() const { return fd_; }

private:
    std::intptr_t fd_ = -1; // descriptor or handle of the backend
};

// Whole-file helpers.
bool ReadWholeFile(const std::wstring& path, std::string* contents);
bool WriteWholeFile(const std::wstring& path, const void* data, std::size_t size);

} // namespace plat
