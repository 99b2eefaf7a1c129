#include "platform/FileVersionBlock.h"

#include "platform/File.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <cstdio>

namespace plat {

namespace {

constexpr std::size_t kMarkerLength = 16;
constexpr std::uint64_t kMaxImageBytes = 512ull * 1024 * 1024;

constexpr char Byte(unsigned value, int shift) {
    return static_cast<char>((value >> shift) & 0xFFu);
}

#define LAUNCHER_VERSION_BYTES(v) Byte(v, 0), Byte(v, 8), Byte(v, 16), Byte(v, 24)

// The running executable's own block. Read through volatile so the
// optimiser never folds the compiled numbers into GetOwnFileVersion: a
// patched file must show its patched version.
const volatile char gFileVersionBlock[kFileVersionBlockSize] = {
    'L',
    'F',
    'V',
    'E',
    'R',
    'S',
    'I',
    'O',
    'N',
    'B',
    'L',
    'O',
    'C',
    'K',
    ':',
    '\0',
    LAUNCHER_VERSION_BYTES(LAUNCHER_VERSION_MAJOR),
    LAUNCHER_VERSION_BYTES(LAUNCHER_VERSION_MINOR),
    LAUNCHER_VERSION_BYTES(LAUNCHER_VERSION_PATCH),
    LAUNCHER_VERSION_BYTES(LAUNCHER_VERSION_TWEAK)};

unsigned ReadNumber(std::string_view bytes, std::size_t at) {
    unsigned value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

void WriteNumber(std::string* bytes, std::size_t at, unsigned value) {
    for (int i = 0; i < 4; ++i)
        (*bytes)[at + static_cast<std::size_t>(i)] = Byte(value, 8 * i);
}

std::size_t FindBlock(std::string_view image) {
    const std::string marker = FileVersionMarker();
    std::size_t at = image.find(marker);
    if (at == std::string_view::npos || image.size() - at < kFileVersionBlockSize)
        return std::string_view::npos;
    return at;
}

bool ReadImageFile(const std::wstring& path, std::string* image) {
    File file;
    std::uint64_t size = 0;
    if (!file.Open(path, kRead, Disposition::OpenExisting) || !file.Size(&size))
        return false;
    if (size > kMaxImageBytes)
        return false;
    image->resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    if (!file.Read(image->data(), image->size(), &done))
        return false;
    image->resize(done);
    return true;
}

} // namespace

std::string FileVersionMarker() {
    // Each character is stored one higher, so that no constant of the image
    // holds the head of the marker.
    static const volatile char kHead[] = {'M', 'G', 'W', 'F', 'S', 'T', 'J', 'P'};
    std::string marker;
    for (char c : kHead)
        marker += static_cast<char>(c - 1);
    marker += "NBLOCK:";
    marker += '\0';
    return marker;
}

std::string FileVersionText(const FileVersion& version) {
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", version.major, version.minor, version.build,
                  version.revision);
    return text;
}

bool ParseFileVersionText(std::string_view text, FileVersion* version) {
    unsigned parts[4] = {};
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != '.')
                return false;
            ++at;
        }
        std::size_t start = at;
        std::uint64_t value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 10)
            value = value * 10 + static_cast<unsigned>(text[at++] - '0');
        if (at == start || value > 0xFFFFFFFFull)
            return false;
        parts[i] = static_cast<unsigned>(value);
    }
    if (at != text.size())
        return false;
    *version = FileVersion{parts[0], parts[1], parts[2], parts[3]};
    return true;
}

bool ReadFileVersionOfImage(std::string_view image, FileVersion* version) {
    std::size_t at = FindBlock(image);
    if (at == std::string_view::npos)
        return false;
    at += kMarkerLength;
    *version = FileVersion{ReadNumber(image, at), ReadNumber(image, at + 4),
                           ReadNumber(image, at + 8), ReadNumber(image, at + 12)};
    return true;
}

bool WriteFileVersionInImage(std::string* image, const FileVersion& version) {
    std::size_t at = FindBlock(*image);
    if (at == std::string_view::npos)
        return false;
    at += kMarkerLength;
    WriteNumber(image, at, version.major);
    WriteNumber(image, at + 4, version.minor);
    WriteNumber(image, at + 8, version.build);
    WriteNumber(image, at + 12, version.revision);
    return true;
}

bool ReadFileVersionOfFile(const std::wstring& path, FileVersion* version) {
    std::string image;
    return ReadImageFile(path, &image) && ReadFileVersionOfImage(image, version);
}

bool WriteFileVersionInFile(const std::wstring& path, const FileVersion& version) {
    std::string image;
    if (!ReadImageFile(path, &image) || !WriteFileVersionInImage(&image, version))
        return false;
    // The copy keeps the permission bits; its contents are then rewritten
    // and it is renamed over the file.
    const std::wstring temp = path + L".version.tmp";
    File out;
    if (!CopyFile(path, temp, false) || !out.Open(temp, kWrite, Disposition::TruncateExisting) ||
        !out.Write(image.data(), image.size()) || !out.Flush()) {
        out.Close();
        DeleteFile(temp);
        return false;
    }
    out.Close();
    if (MoveFile(temp, path, kMoveReplaceExisting))
        return true;
    DeleteFile(temp);
    return false;
}

FileVersion GetOwnFileVersion() {
    char copy[kFileVersionBlockSize];
    for (std::size_t i = 0; i < kFileVersionBlockSize; ++i)
        copy[i] = gFileVersionBlock[i];
    FileVersion version;
    ReadFileVersionOfImage(std::string_view(copy, sizeof copy), &version);
    return version;
}

} // namespace plat
