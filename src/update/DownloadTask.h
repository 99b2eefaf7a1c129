#pragma once
// One element of the launcher's download queue: a package file (or the
// launcher itself) and how much of it is still to be fetched. The checker
// thread creates the records and appends them under its lock; the window
// thread takes them from the queue head.

#include <cstdint>
#include <list>
#include <string>

namespace update {

struct DownloadTask {
    // The package file as the manifest names it (UTF-8), relative to the
    // update path; "Launcher.exe" for the launcher's own task.
    std::string name;
    // Full address of the launcher's own task; empty for packages, which
    // are fetched as the update path followed by the name.
    std::string url;
    std::uint32_t crc32 = 0;
    std::uint32_t size = 0;
    // The SHA-256 a signed release gives (hexadecimal); empty otherwise.
    std::string sha256;
    // Used only by the launcher's own task.
    std::string text1;
    std::string text2;
    std::uint32_t number = 0;
    // Resume point: the next byte to ask for and how many remain.
    std::uint32_t nextOffset = 0;
    std::uint32_t remaining = 0;
};

// The launcher's queue of tasks; the head is the one being fetched.
using DownloadQueue = std::list<DownloadTask>;

} // namespace update
