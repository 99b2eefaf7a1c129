#include "log/CypherLog.h"

#include "log/BlowfishCbc.h"
#include "log/CypherLogFormat.h"

#include <zlib.h>

#include <cstring>
#include <limits>

namespace {
constexpr std::size_t kDefaultBufferSize = 16 * 1024;
// Longest slice handed to deflate in one call (its counters are 32-bit).
constexpr std::size_t kDeflateSlice = 1u << 30;
} // namespace

struct CCypherLog::Impl {
    ~Impl() { EndDeflate(); }
    void EndDeflate() {
        if (deflateReady)
            deflateEnd(&deflate);
        deflateReady = false;
    }

    CBlowfishCbc cipher;
    z_stream deflate{};
    bool deflateReady = false;
    CBuffer cipherOut;
    CBuffer deflateOut;
    std::size_t bufferSize = kDefaultBufferSize;
};

CCypherLog::CCypherLog() : impl_(std::make_unique<Impl>()) {}

CCypherLog::~CCypherLog() {
    Close();
}

bool CCypherLog::IsSecure() const {
    return impl_->deflateReady && impl_->cipher.IsStarted();
}

bool CCypherLog::OpenSecure(const std::string& path, const void* key, std::size_t keyLength,
                            std::size_t bufferSize) {
    if (IsOpen() || !Open(path))
        return false;
    if (key == nullptr || keyLength == 0)
        return true;
    if (!CloseEarlierSegment() || !StartSegment(key, keyLength, bufferSize)) {
        Close();
        return false;
    }
    return true;
}

bool CCypherLog::CloseEarlierSegment() {
    plat::File& file = LogFile();
    std::uint64_t offset = 0;
    for (;;) {
        unsigned char header[cypherlog::kHeaderSize];
        std::size_t got = 0;
        if (!file.Seek(static_cast<std::int64_t>(offset), plat::SeekFrom::Begin) ||
            !file.Read(header, sizeof header, &got) || got < sizeof header ||
            std::memcmp(header, cypherlog::kMagic.data(), cypherlog::kMagic.size()) != 0) {
            // Not a chain ending in an open segment: start a fresh file.
            return Rotate() && file.Seek(0, plat::SeekFrom::End);
        }
        const std::uint32_t length = cypherlog::GetLength(header + 4);
        if (length != cypherlog::kOpenSegment) {
            offset += length;
            continue;
        }
        std::uint64_t size = 0;
        if (!file.Size(&size))
            return false;
        const std::uint64_t segment = size - offset;
        const std::uint32_t closed = segment > std::numeric_limits<std::uint32_t>::max()
                                         ? std::numeric_limits<std::uint32_t>::max()
                                         : static_cast<std::uint32_t>(segment);
        unsigned char field[4];
        cypherlog::PutLength(closed, field);
        return file.Seek(static_cast<std::int64_t>(offset + 4), plat::SeekFrom::Begin) &&
               file.Write(field, sizeof field) && file.Seek(0, plat::SeekFrom::End);
    }
}

bool CCypherLog::StartSegment(const void* key, std::size_t keyLength, std::size_t bufferSize) {
    Impl& impl = *impl_;
    impl.bufferSize = bufferSize == 0 ? kDefaultBufferSize : bufferSize;
    if (!impl.cipher.Start(true, key, keyLength, true))
        return false;
    impl.deflate = z_stream{};
    if (deflateInit2(&impl.deflate, cypherlog::kDeflateLevel, Z_DEFLATED, cypherlog::kWindowBits,
                     cypherlog::kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    impl.deflateReady = true;
    unsigned char header[cypherlog::kHeaderSize];
    std::memcpy(header, cypherlog::kMagic.data(), cypherlog::kMagic.size());
    cypherlog::PutLength(cypherlog::kOpenSegment, header + 4);
    return WriteFileBytes(header, sizeof header);
}

bool CCypherLog::WriteBlock(const void* data, std::size_t length) {
    if (!IsSecure())
        return CLog::WriteBlock(data, length);
    Impl& impl = *impl_;
    std::string joined;
    std::string_view block = CutBlock(data, length, &joined);
    z_stream& z = impl.deflate;
    while (!block.empty()) {
        const std::size_t slice = block.size() < kDeflateSlice ? block.size() : kDeflateSlice;
        const int flush = slice == block.size() ? Z_SYNC_FLUSH : Z_NO_FLUSH;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.data()));
        z.avail_in = static_cast<uInt>(slice);
        do {
            impl.deflateOut.Resize(impl.bufferSize);
            z.next_out = impl.deflateOut.Data();
            z.avail_out = static_cast<uInt>(impl.bufferSize);
            const int rc = deflate(&z, flush);
            if (rc != Z_OK && rc != Z_BUF_ERROR)
                return false;
            const std::size_t produced = impl.bufferSize - z.avail_out;
            impl.cipherOut.Clear();
            if (!impl.cipher.Update(impl.deflateOut.Data(), produced, &impl.cipherOut))
                return false;
            if (!impl.cipherOut.Empty() &&
                !WriteFileBytes(impl.cipherOut.Data(), impl.cipherOut.Size()))
                return false;
        } while (z.avail_out == 0);
        block.remove_prefix(slice);
    }
    return true;
}

void CCypherLog::EndSegment() {
    Impl& impl = *impl_;
    impl.cipherOut.Clear();
    if (impl.cipher.Finish(&impl.cipherOut) && !impl.cipherOut.Empty())
        WriteFileBytes(impl.cipherOut.Data(), impl.cipherOut.Size());
    impl.EndDeflate();
}

void CCypherLog::Close() {
    if (IsSecure())
        EndSegment();
    else
        impl_->EndDeflate();
    CLog::Close();
}
