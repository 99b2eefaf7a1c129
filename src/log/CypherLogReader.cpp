#include "log/CypherLogReader.h"

#include "base/Strings.h"

#include "base/Buffer.h"
#include "log/BlowfishCbc.h"
#include "log/CypherLogFormat.h"

#include <zlib.h>

#include <cstring>

namespace cypherlog {

namespace {

constexpr unsigned char kSyncMark[] = {0x00, 0x00, 0xFF, 0xFF};

// A finished segment ends with a padded cipher block; a segment whose writer
// never closed it ends with whole blocks of deflate data. Every block the
// writer emits ends with a sync-flush mark, so padding is taken off only when
// it is well formed and the data before it ends with that mark (or is empty).
void StripPadding(CBuffer* plain) {
    const std::size_t size = plain->Size();
    if (size < CBlowfishCbc::kBlockSize)
        return;
    const std::uint8_t* bytes = plain->Data();
    const std::uint8_t pad = bytes[size - 1];
    if (pad == 0 || pad > CBlowfishCbc::kBlockSize)
        return;
    for (std::size_t i = size - pad; i < size; ++i)
        if (bytes[i] != pad)
            return;
    const std::size_t data = size - pad;
    if (data != 0 && (data < sizeof kSyncMark || std::memcmp(bytes + data - sizeof kSyncMark,
                                                             kSyncMark, sizeof kSyncMark) != 0))
        return;
    plain->Resize(data);
}

// Inflates raw deflate data that may stop anywhere after a sync flush.
bool Inflate(const CBuffer& data, std::string* out) {
    z_stream z{};
    if (inflateInit2(&z, kWindowBits) != Z_OK)
        return false;
    z.next_in = const_cast<Bytef*>(data.Data());
    z.avail_in = static_cast<uInt>(data.Size());
    unsigned char chunk[64 * 1024];
    bool ok = true;
    for (;;) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        const int rc = inflate(&z, Z_SYNC_FLUSH);
        out->append(reinterpret_cast<const char*>(chunk), sizeof chunk - z.avail_out);
        if (rc == Z_STREAM_END || rc == Z_BUF_ERROR)
            break; // the end of the stream, or of the data there is
        if (rc != Z_OK) {
            ok = false;
            break;
        }
        if (z.avail_in == 0 && z.avail_out != 0)
            break;
    }
    inflateEnd(&z);
    return ok;
}

ReadError DecodeSegment(std::string_view body, std::string_view key, std::string* out) {
    CBlowfishCbc cipher;
    if (!cipher.Start(false, key.data(), key.size(), false))
        return ReadError::CipherUnavailable;
    // An unfinished segment may end in the middle of a block: only whole
    // blocks can be deciphered.
    const std::size_t whole = body.size() / CBlowfishCbc::kBlockSize * CBlowfishCbc::kBlockSize;
    CBuffer plain;
    if (!cipher.Update(body.data(), whole, &plain) || !cipher.Finish(&plain))
        return ReadError::CipherUnavailable;
    StripPadding(&plain);
    if (plain.Size() > 0xFFFFFFFFu || !Inflate(plain, out))
        return ReadError::Inflate;
    return ReadError::None;
}

} // namespace

bool DecodeLog(std::string_view file, std::string_view key, DecodedLog* out) {
    *out = DecodedLog{};
    if (file.substr(0, kMagic.size()) != kMagic) {
        out->text.assign(file);
        return true;
    }
    out->enciphered = true;
    if (key.empty()) {
        out->error = ReadError::KeyMissing;
        return false;
    }
    std::size_t offset = 0;
    while (offset < file.size()) {
        const std::size_t left = file.size() - offset;
        if (left < kHeaderSize || file.substr(offset, kMagic.size()) != kMagic) {
            out->error = ReadError::BadHeader;
            out->errorOffset = offset;
            return false;
        }
        const std::uint32_t length =
            GetLength(reinterpret_cast<const unsigned char*>(file.data() + offset + 4));
        std::size_t end = file.size();
        if (length == kOpenSegment) {
            out->lastSegmentOpen = true;
        } else if (length < kHeaderSize || length > left) {
            out->error = ReadError::BadLength;
            out->errorOffset = offset;
            return false;
        } else {
            end = offset + length;
        }
        const ReadError error = DecodeSegment(
            file.substr(offset + kHeaderSize, end - offset - kHeaderSize), key, &out->text);
        if (error != ReadError::None) {
            out->error = error;
            out->errorOffset = offset;
            return false;
        }
        ++out->segments;
        offset = end;
    }
    return true;
}

const char* ReadErrorText(ReadError error) {
    switch (error) {
    case ReadError::None:
        return "no error";
    case ReadError::KeyMissing:
        return "the log is enciphered and no key was given";
    case ReadError::CipherUnavailable:
        return "the Blowfish cipher cannot be set up with this key";
    case ReadError::BadHeader:
        return "damaged log: no segment header where one should start";
    case ReadError::BadLength:
        return "damaged log: a segment length runs past the end of the file";
    case ReadError::Inflate:
        return "the deciphered data does not decompress: wrong key or damaged segment";
    }
    return "unknown error";
}

bool ParseHexKey(std::string_view hex, std::string* key) {
    if (hex.empty() || hex.size() % 2 != 0)
        return false;
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = base::HexDigitValue(hex[i]);
        const int low = base::HexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<char>((high << 4) | low));
    }
    *key = std::move(bytes);
    return true;
}

} // namespace cypherlog
