// Encoding and decoding of the cross-process message records.

#include "platform/posix/MessageWire.h"

namespace plat::posix {

namespace {

constexpr std::string_view kRequestMagic = "LWM1";
constexpr std::string_view kReplyMagic = "LWR1";

void PutUint(std::string* out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Reads little-endian numbers and byte runs from a text, remembering
// whether it ran past the end. A short-lived local of whichever thread
// decodes.
class WireReader {
public:
    explicit WireReader(std::string_view bytes) : bytes_(bytes) {}

    std::uint64_t Uint(int bytes) {
        if (!Has(static_cast<std::size_t>(bytes)))
            return 0;
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[pos_ + i]))
                     << (8 * i);
        pos_ += static_cast<std::size_t>(bytes);
        return value;
    }
    std::string_view Bytes(std::size_t count) {
        if (!Has(count))
            return {};
        std::string_view run = bytes_.substr(pos_, count);
        pos_ += count;
        return run;
    }
    bool Ok() const { return ok_; }
    bool AtEnd() const { return pos_ == bytes_.size(); }

private:
    bool Has(std::size_t count) {
        if (ok_ && bytes_.size() - pos_ >= count)
            return true;
        ok_ = false;
        return false;
    }

    std::string_view bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace

std::string EncodeRequest(const WireRequest& request) {
    std::string out(kRequestMagic);
    PutUint(&out, static_cast<std::uint32_t>(request.kind), 4);
    PutUint(&out, request.window, 8);
    PutUint(&out, request.message, 4);
    PutUint(&out, request.wParam, 8);
    PutUint(&out, static_cast<std::uint64_t>(request.lParam), 8);
    PutUint(&out, request.number, 8);
    PutUint(&out, request.payload.size(), 4);
    out += request.payload;
    return out;
}

bool DecodeRequestHeader(std::string_view header, WireRequest* request,
                         std::uint32_t* payloadSize) {
    if (header.size() != kRequestHeaderSize || header.substr(0, 4) != kRequestMagic)
        return false;
    WireReader reader(header.substr(4));
    std::uint64_t kind = reader.Uint(4);
    request->window = reader.Uint(8);
    request->message = static_cast<std::uint32_t>(reader.Uint(4));
    request->wParam = reader.Uint(8);
    request->lParam = static_cast<LPARAM>(reader.Uint(8));
    request->number = reader.Uint(8);
    *payloadSize = static_cast<std::uint32_t>(reader.Uint(4));
    if (!reader.Ok() || kind < static_cast<std::uint32_t>(WireKind::Post) ||
        kind > static_cast<std::uint32_t>(WireKind::List) || *payloadSize > kMaxWirePayload)
        return false;
    request->kind = static_cast<WireKind>(kind);
    return true;
}

std::string EncodeReply(const WireReply& reply) {
    std::string out(kReplyMagic);
    PutUint(&out, reply.status, 4);
    PutUint(&out, static_cast<std::uint64_t>(reply.result), 8);
    PutUint(&out, reply.payload.size(), 4);
    out += reply.payload;
    return out;
}

bool DecodeReplyHeader(std::string_view header, WireReply* reply, std::uint32_t* payloadSize) {
    if (header.size() != kReplyHeaderSize || header.substr(0, 4) != kReplyMagic)
        return false;
    WireReader reader(header.substr(4));
    reply->status = static_cast<std::uint32_t>(reader.Uint(4));
    reply->result = static_cast<LRESULT>(reader.Uint(8));
    *payloadSize = static_cast<std::uint32_t>(reader.Uint(4));
    return reader.Ok() && *payloadSize <= kMaxWirePayload;
}

std::string EncodeWindowList(const std::vector<WireWindow>& windows) {
    std::string out;
    PutUint(&out, windows.size(), 4);
    for (const WireWindow& window : windows) {
        PutUint(&out, window.window, 8);
        PutUint(&out, window.className.size(), 4);
        out += window.className;
        PutUint(&out, window.title.size(), 4);
        out += window.title;
    }
    return out;
}

bool DecodeWindowList(std::string_view bytes, std::vector<WireWindow>* windows) {
    WireReader reader(bytes);
    std::uint64_t count = reader.Uint(4);
    windows->clear();
    // Each entry takes at least 16 bytes: a count beyond that is a lie.
    if (!reader.Ok() || count > bytes.size() / 16)
        return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        WireWindow window;
        window.window = reader.Uint(8);
        window.className = std::string(reader.Bytes(reader.Uint(4)));
        window.title = std::string(reader.Bytes(reader.Uint(4)));
        if (!reader.Ok())
            return false;
        windows->push_back(std::move(window));
    }
    return reader.AtEnd();
}

} // namespace plat::posix
