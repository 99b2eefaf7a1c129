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

enum Access : unsigned {
    kRead = 1,
    kWrite = 2,
    kReadWrite = 3,
    // Added to the access: the open fails (123) when the path's last name is
    // a link, so nothing is read or written through it.
    kNoFollow = 4,
};

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
    // Asks the system to start writing the given range of the file to the
    // disk without waiting for it: a long sequential writer that does so as
    // it goes keeps the disk busy from the start instead of piling up dirty
    // pages until the system throttles it. A hint; false only for a closed
    // file.
    bool StartWriteBack(std::uint64_t offset, std::uint64_t length);

    std::intptr_t NativeHandle() const { return fd_; }

private:
    std::intptr_t fd_ = -1; // descriptor or handle of the backend
};

// Whole-file helpers.
bool ReadWholeFile(const std::wstring& path, std::string* contents);
// Replaces the file with these bytes: they go to a new file beside it, which
// then takes its place by rename, so the path holds either the old contents
// or the new ones, never a part. A link at the path is replaced by the file,
// never written through. False with the last error set; nothing is left
// behind then.
bool WriteWholeFile(const std::wstring& path, const void* data, std::size_t size);

// A hidden name beside the path for a file that will take its place,
// unique to this process and call: ".NAME.PID-N.part".
std::wstring TempNameBeside(const std::wstring& path);

} // namespace plat
