#pragma once
// The file version of an executable, the stand-in for the version resource
// of a Windows program: a small fixed block in the image made of a marker
// text and four 32-bit little-endian numbers (major, minor, build,
// revision). A publisher sets it in a built file with the stub patch tool;
// the launcher reads its own, and the client's to record which client
// version its change actions last ran against. Free functions; any thread.

#include "platform/Process.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

// Bytes of the whole block: the marker, then the four numbers.
inline constexpr std::size_t kFileVersionBlockSize = 32;

// The marker text, put together at run time so that it occurs in an image
// only inside the block.
std::string FileVersionMarker();
// "major.minor.build.revision".
std::string FileVersionText(const FileVersion& version);
// Four dot-separated decimal numbers, nothing else.
bool ParseFileVersionText(std::string_view text, FileVersion* version);

// The version in an image's block (its first occurrence); false without one.
bool ReadFileVersionOfImage(std::string_view image, FileVersion* version);
bool WriteFileVersionInImage(std::string* image, const FileVersion& version);
// The same for a file on disk, which must be a regular file of at most
// 512 MiB; the write replaces the file through a temporary one and keeps
// its permission bits.
bool ReadFileVersionOfFile(const std::wstring& path, FileVersion* version);
bool WriteFileVersionInFile(const std::wstring& path, const FileVersion& version);

} // namespace plat
