#include "publish/PublishZipWriter.h"

#include "base/Crc32.h"
#include "platform/Unicode.h"
#include "update/ZipFormat.h"

#include <zlib.h>

#include <algorithm>

namespace publish {

namespace {

using namespace update::zip;
namespace local = update::zip::localHeader;
namespace central = update::zip::centralHeader;

constexpr std::uint16_t kVersionStored = 10;   // 1.0
constexpr std::uint16_t kVersionDeflated = 20; // 2.0, MS-DOS host
constexpr std::uint32_t kAttrArchive = 0x20;
// 2000-01-01 00:00 as DOS time and date: the same files give the same
// package, so a republished package downloads again only when it changed.
constexpr std::uint16_t kDosTime = 0x0000;
constexpr std::uint16_t kDosDate = 0x2821;
// The entry count 0xFFFF and the value 0xFFFFFFFF announce ZIP64 records.
constexpr std::size_t kMaxMembers = 0xFFFE;
constexpr std::uint64_t kMaxOffset = 0xFFFFFFFEu;

// A record of the layout's size with its fields zero.
std::string BlankRecord(std::size_t size) {
    return std::string(size, '\0');
}

// A raw deflate stream of one member, ended on destruction; the writer's
// thread only.
struct DeflateStream {
    z_stream zs{};
    bool open = false;
    ~DeflateStream() {
        if (open)
            deflateEnd(&zs);
    }
};

} // namespace

bool CPublishZipWriter::Create(const std::wstring& path, std::string* error) {
    members_.clear();
    offset_ = 0;
    path_ = path;
    if (!file_.Open(path, plat::kWrite, plat::Disposition::CreateAlways)) {
        *error = PublishSystemError("cannot create", path);
        return false;
    }
    return true;
}

bool CPublishZipWriter::AddFile(const std::string& name, const std::wstring& source,
                                PublishDigest* digest, std::string* error) {
    return AddMember(
        name,
        [&](const std::function<bool(const char*, std::size_t)>& sink, std::string* message) {
            return ReadFileBlocks(source, sink, message);
        },
        digest, error);
}

bool CPublishZipWriter::AddData(const std::string& name, std::string_view data,
                                std::string* error) {
    PublishDigest digest;
    return AddMember(
        name,
        [&](const std::function<bool(const char*, std::size_t)>& sink, std::string*) {
            return data.empty() || sink(data.data(), data.size());
        },
        &digest, error);
}

bool CPublishZipWriter::AddMember(const std::string& name, const Source& source,
                                  PublishDigest* digest, std::string* error) {
    if (!file_.IsOpen()) {
        *error = "no archive is open";
        return false;
    }
    if (members_.size() >= kMaxMembers) {
        *error = plat::WideToUtf8(path_) + ": a ZIP package holds at most " +
                 std::to_string(kMaxMembers) + " files";
        return false;
    }
    if (name.empty() || name.size() > 0xFFFF) {
        *error = "\"" + name + "\" cannot be a member name";
        return false;
    }
    Member member;
    member.name = name;
    member.offset = static_cast<std::uint32_t>(offset_);
    member.method = deflate_ ? kMethodDeflated : kMethodStored;
    bool ascii = std::all_of(name.begin(), name.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    member.flags = ascii ? 0 : kFlagUtf8Name;

    // CRC-32 and sizes are filled in after the data; no extra field.
    std::string header = BlankRecord(local::kRecordSize);
    Set(&header, local::kSignature, kLocalSignature);
    Set(&header, local::kVersion, deflate_ ? kVersionDeflated : kVersionStored);
    Set(&header, local::kFlags, member.flags);
    Set(&header, local::kMethod, member.method);
    Set(&header, local::kTime, kDosTime);
    Set(&header, local::kDate, kDosDate);
    Set(&header, local::kNameLength, static_cast<std::uint32_t>(name.size()));
    header += name;
    if (!Write(header, error))
        return false;

    DeflateStream stream;
    if (deflate_) {
        if (deflateInit2(&stream.zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                         Z_DEFAULT_STRATEGY) != Z_OK) {
            *error = "cannot start deflate";
            return false;
        }
        stream.open = true;
    }
    std::string out(kPublishBlockSize, '\0');
    std::uint64_t compressed = 0;
    // Runs the input through deflate and writes what comes out.
    auto deflateBlock = [&](const char* data, std::size_t size, int flush) {
        stream.zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream.zs.avail_in = static_cast<uInt>(size);
        do {
            stream.zs.next_out = reinterpret_cast<Bytef*>(out.data());
            stream.zs.avail_out = static_cast<uInt>(out.size());
            if (deflate(&stream.zs, flush) == Z_STREAM_ERROR) {
                *error = "deflate failed on " + name;
                return false;
            }
            std::size_t got = out.size() - stream.zs.avail_out;
            compressed += got;
            if (!Write(out.data(), got, error))
                return false;
        } while (stream.zs.avail_out == 0);
        return true;
    };

    PublishDigest sum;
    auto sink = [&](const char* data, std::size_t size) {
        sum.crc = base::Crc32(data, size, sum.crc);
        sum.size += size;
        if (sum.size > kMaxOffset) {
            *error = name + " is larger than a ZIP package can hold (4 GiB)";
            return false;
        }
        if (deflate_)
            return deflateBlock(data, size, Z_NO_FLUSH);
        compressed += size;
        return Write(data, size, error);
    };
    if (!source(sink, error))
        return false;
    if (deflate_ && !deflateBlock(nullptr, 0, Z_FINISH))
        return false;

    if (offset_ > kMaxOffset) {
        *error = plat::WideToUtf8(path_) + " would be larger than a ZIP package can be (4 GiB)";
        return false;
    }
    member.crc = sum.crc;
    member.size = static_cast<std::uint32_t>(sum.size);
    member.compressedSize = static_cast<std::uint32_t>(compressed);
    const std::string sizes = LocalCrcAndSizes(member.crc, member.compressedSize, member.size);
    if (!file_.Seek(static_cast<std::int64_t>(member.offset + local::kCrc.offset),
                    plat::SeekFrom::Begin) ||
        !file_.Write(sizes.data(), sizes.size()) || !file_.Seek(0, plat::SeekFrom::End)) {
        *error = PublishSystemError("cannot write", path_);
        return false;
    }
    members_.push_back(std::move(member));
    *digest = sum;
    return true;
}

bool CPublishZipWriter::Finish(std::string* error) {
    if (!file_.IsOpen()) {
        *error = "no archive is open";
        return false;
    }
    std::uint64_t directoryOffset = offset_;
    std::string directory;
    for (const Member& member : members_) {
        std::uint16_t version =
            member.method == kMethodDeflated ? kVersionDeflated : kVersionStored;
        // No extra field, no comment, disk 0, no internal attributes.
        std::string header = BlankRecord(central::kRecordSize);
        Set(&header, central::kSignature, kCentralSignature);
        Set(&header, central::kMadeBy, kVersionDeflated); // MS-DOS host, 2.0
        Set(&header, central::kVersion, version);
        Set(&header, central::kFlags, member.flags);
        Set(&header, central::kMethod, member.method);
        Set(&header, central::kTime, kDosTime);
        Set(&header, central::kDate, kDosDate);
        Set(&header, central::kCrc, member.crc);
        Set(&header, central::kCompressedSize, member.compressedSize);
        Set(&header, central::kSize, member.size);
        Set(&header, central::kNameLength, static_cast<std::uint32_t>(member.name.size()));
        Set(&header, central::kExternalAttributes, kAttrArchive);
        Set(&header, central::kLocalHeaderOffset, member.offset);
        directory += header;
        directory += member.name;
    }
    if (directoryOffset + directory.size() > kMaxOffset) {
        *error = plat::WideToUtf8(path_) + " would be larger than a ZIP package can be (4 GiB)";
        return false;
    }
    // One disk, no comment.
    std::string end = BlankRecord(endRecord::kRecordSize);
    Set(&end, endRecord::kSignature, kEndSignature);
    Set(&end, endRecord::kDiskEntries, static_cast<std::uint32_t>(members_.size()));
    Set(&end, endRecord::kEntries, static_cast<std::uint32_t>(members_.size()));
    Set(&end, endRecord::kDirectorySize, static_cast<std::uint32_t>(directory.size()));
    Set(&end, endRecord::kDirectoryOffset, static_cast<std::uint32_t>(directoryOffset));
    if (!Write(directory + end, error))
        return false;
    if (!file_.Flush()) {
        *error = PublishSystemError("cannot write", path_);
        return false;
    }
    file_.Close();
    return true;
}

bool CPublishZipWriter::Write(const std::string& bytes, std::string* error) {
    return Write(bytes.data(), bytes.size(), error);
}

bool CPublishZipWriter::Write(const void* data, std::size_t size, std::string* error) {
    if (size == 0)
        return true;
    if (!file_.Write(data, size)) {
        *error = PublishSystemError("cannot write", path_);
        return false;
    }
    offset_ += size;
    return true;
}

} // namespace publish
