#include "support/ZipWriter.h"

#include <zlib.h>

namespace testsupport {

namespace {

void Append16(std::string* out, std::uint32_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Append32(std::string* out, std::uint32_t value) {
    Append16(out, value & 0xFFFF);
    Append16(out, value >> 16);
}

// 2000-01-01 00:00 as a DOS time and date.
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = 0x2821;

} // namespace

std::string DeflateRaw(std::string_view data) {
    z_stream zs{};
    deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

void Put16(std::string* bytes, std::size_t offset, std::uint16_t value) {
    (*bytes)[offset] = static_cast<char>(value & 0xFF);
    (*bytes)[offset + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string* bytes, std::size_t offset, std::uint32_t value) {
    Put16(bytes, offset, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

std::size_t ZipWriter::Add(const std::string& name, std::string_view data, Method method,
                           std::uint16_t flags) {
    Entry entry;
    entry.name = name;
    entry.method = method;
    entry.flags = flags;
    entry.size = static_cast<std::uint32_t>(data.size());
    entry.crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    entry.packed = method == kDeflated ? DeflateRaw(data) : std::string(data);
    entries_.push_back(std::move(entry));
    return entries_.size() - 1;
}

std::string ZipWriter::Finish() {
    std::string out;
    offsets_.assign(entries_.size(), Offsets{});
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        offsets_[i].localHeader = out.size();
        Append32(&out, 0x04034b50u);
        Append16(&out, 20); // version needed
        Append16(&out, e.flags);
        Append16(&out, e.method);
        Append16(&out, kDosTime);
        Append16(&out, kDosDate);
        Append32(&out, e.crc);
        Append32(&out, static_cast<std::uint32_t>(e.packed.size()));
        Append32(&out, e.size);
        Append16(&out, static_cast<std::uint32_t>(e.name.size()));
        Append16(&out, 0); // extra field
        out += e.name;
        offsets_[i].data = out.size();
        out += e.packed;
    }
    const std::size_t directory = out.size();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        offsets_[i].centralHeader = out.size();
        Append32(&out, 0x02014b50u);
        Append16(&out, 20); // version made by
        Append16(&out, 20); // version needed
        Append16(&out, e.flags);
        Append16(&out, e.method);
        Append16(&out, kDosTime);
        Append16(&out, kDosDate);
        Append32(&out, e.crc);
        Append32(&out, static_cast<std::uint32_t>(e.packed.size()));
        Append32(&out, e.size);
        Append16(&out, static_cast<std::uint32_t>(e.name.size()));
        Append16(&out, 0); // extra field
        Append16(&out, 0); // comment
        Append16(&out, 0); // disk
        Append16(&out, 0); // internal attributes
        Append32(&out, 0); // external attributes
        Append32(&out, static_cast<std::uint32_t>(offsets_[i].localHeader));
        out += e.name;
    }
    endRecord_ = out.size();
    Append32(&out, 0x06054b50u);
    Append16(&out, 0); // this disk
    Append16(&out, 0); // disk of the directory
    Append16(&out, static_cast<std::uint32_t>(entries_.size()));
    Append16(&out, static_cast<std::uint32_t>(entries_.size()));
    Append32(&out, static_cast<std::uint32_t>(endRecord_ - directory));
    Append32(&out, static_cast<std::uint32_t>(directory));
    Append16(&out, static_cast<std::uint32_t>(comment_.size()));
    out += comment_;
    return out;
}

} // namespace testsupport
