#include "update/ZipInflate.h"

#include "base/Crc32.h"

#include <zlib.h>
#ifdef LAUNCHER_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <algorithm>
#include <memory>
#include <vector>

namespace update {

namespace {

// Where inflated bytes go: the caller's buffer, or a block handed to a sink.
class Output {
public:
    Output(std::uint8_t* out, const CZipFile::Sink* sink, std::uint32_t expected)
        : out_(out), sink_(sink), expected_(expected) {
        if (!out_)
            block_.resize(
                std::min<std::size_t>(kInflateBlock, std::max<std::uint32_t>(expected, 1)));
    }
    // Room for the next call of the inflater.
    std::uint8_t* Target() { return out_ ? out_ + produced_ : block_.data(); }
    std::size_t Room() const {
        std::size_t left = expected_ - produced_;
        return out_ ? left : std::min(left, block_.size());
    }
    // The inflater wrote `count` bytes at Target(); false when the sink
    // refused them.
    bool Produced(std::size_t count) {
        if (count == 0)
            return true;
        const std::uint8_t* bytes = Target();
        crc_ = base::Crc32(bytes, count, crc_);
        produced_ += static_cast<std::uint32_t>(count);
        return out_ || (*sink_)(bytes, count);
    }
    bool Full() const { return produced_ == expected_; }
    std::uint32_t Crc() const { return crc_; }

private:
    std::uint8_t* out_;
    const CZipFile::Sink* sink_;
    std::uint32_t expected_;
    std::uint32_t produced_ = 0;
    std::uint32_t crc_ = 0;
    std::vector<std::uint8_t> block_;
};

#ifdef LAUNCHER_HAVE_ISAL
ZipResult InflateIsal(const std::uint8_t* in, std::size_t inSize, std::uint32_t expected,
                      Output* output) {
    auto state = std::make_unique<inflate_state>();
    isal_inflate_init(state.get());
    state->crc_flag = ISAL_DEFLATE;
    state->next_in = const_cast<std::uint8_t*>(in);
    state->avail_in = static_cast<std::uint32_t>(inSize);
    while (!output->Full()) {
        std::size_t room = output->Room();
        state->next_out = output->Target();
        state->avail_out = static_cast<std::uint32_t>(room);
        int rc = isal_inflate(state.get());
        if (rc != ISAL_DECOMP_OK)
            return kZipCorrupt;
        std::size_t got = room - state->avail_out;
        if (!output->Produced(got))
            return kZipSinkFailed;
        if (state->block_state == ISAL_BLOCK_FINISH)
            break;
        // Neither input left nor output made: the stream ended too early.
        if (got == 0 && state->avail_in == 0)
            return kZipCorrupt;
    }
    (void)expected;
    return output->Full() ? kZipOk : kZipCorrupt;
}
#endif

ZipResult InflateWithZlib(const std::uint8_t* in, std::size_t inSize, Output* output) {
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK)
        return kZipCorrupt;
    zs.next_in = const_cast<Bytef*>(in);
    zs.avail_in = static_cast<uInt>(inSize);
    ZipResult result = kZipOk;
    while (!output->Full()) {
        std::size_t room = output->Room();
        zs.next_out = output->Target();
        zs.avail_out = static_cast<uInt>(room);
        int rc = inflate(&zs, Z_NO_FLUSH);
        std::size_t got = room - zs.avail_out;
        if (!output->Produced(got)) {
            result = kZipSinkFailed;
            break;
        }
        if (rc == Z_STREAM_END)
            break;
        if (rc != Z_OK) {
            result = kZipCorrupt;
            break;
        }
    }
    inflateEnd(&zs);
    if (result == kZipOk && !output->Full())
        result = kZipCorrupt;
    return result;
}

} // namespace

ZipResult InflateEntry(const std::uint8_t* in, std::size_t inSize, std::uint32_t expected,
                       std::uint8_t* out, const CZipFile::Sink* sink, std::uint32_t* crc) {
    Output output(out, sink, expected);
#ifdef LAUNCHER_HAVE_ISAL
    ZipResult result = InflateIsal(in, inSize, expected, &output);
#else
    ZipResult result = InflateWithZlib(in, inSize, &output);
#endif
    *crc = output.Crc();
    return result;
}

ZipResult InflateEntryZlib(const std::uint8_t* in, std::size_t inSize, std::uint32_t expected,
                           std::uint8_t* out, const CZipFile::Sink* sink, std::uint32_t* crc) {
    Output output(out, sink, expected);
    ZipResult result = InflateWithZlib(in, inSize, &output);
    *crc = output.Crc();
    return result;
}

const char* InflaterName() {
#ifdef LAUNCHER_HAVE_ISAL
    return "isa-l";
#else
    return "zlib";
#endif
}

} // namespace update
