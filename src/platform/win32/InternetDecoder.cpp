#include "platform/win32/InternetDecoder.h"

#include "platform/TextCase.h"

#include <zlib.h>

namespace plat::win {

namespace {

// Output is made in pieces of this size.
constexpr std::size_t kPiece = 64 << 10;

} // namespace

struct InternetDecoder::Stream {
    z_stream z{};
};

std::unique_ptr<InternetDecoder> InternetDecoder::For(std::string_view encoding) {
    std::string name = ToLowerAscii(encoding);
    if (name == "gzip" || name == "x-gzip")
        return std::unique_ptr<InternetDecoder>(new InternetDecoder(Kind::Gzip));
    if (name == "deflate")
        return std::unique_ptr<InternetDecoder>(new InternetDecoder(Kind::Deflate));
    return nullptr;
}

InternetDecoder::InternetDecoder(Kind kind) : kind_(kind), stream_(std::make_unique<Stream>()) {}

InternetDecoder::~InternetDecoder() {
    if (started_)
        inflateEnd(&stream_->z);
}

bool InternetDecoder::Start(int windowBits) {
    if (started_)
        inflateEnd(&stream_->z);
    stream_->z = z_stream{};
    started_ = inflateInit2(&stream_->z, windowBits) == Z_OK;
    return started_;
}

bool InternetDecoder::Add(std::string_view input, std::string* output) {
    if (finished_)
        return input.empty();
    if (!started_) {
        // gzip: the gzip wrapping only; deflate: the zlib wrapping first.
        if (!Start(kind_ == Kind::Gzip ? 16 + MAX_WBITS : MAX_WBITS))
            return false;
    }
    if (kind_ == Kind::Deflate && !triedRaw_)
        head_.append(input);
    stream_->z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream_->z.avail_in = static_cast<uInt>(input.size());
    while (stream_->z.avail_in > 0 && !finished_) {
        std::size_t before = output->size();
        output->resize(before + kPiece);
        stream_->z.next_out = reinterpret_cast<Bytef*>(output->data() + before);
        stream_->z.avail_out = static_cast<uInt>(kPiece);
        int result = inflate(&stream_->z, Z_NO_FLUSH);
        output->resize(before + kPiece - stream_->z.avail_out);
        if (result == Z_STREAM_END) {
            finished_ = true;
        } else if (result == Z_DATA_ERROR && kind_ == Kind::Deflate && !triedRaw_ &&
                   stream_->z.total_out == 0) {
            // Not zlib-wrapped: start again on the same bytes as raw deflate.
            triedRaw_ = true;
            std::string again = std::move(head_);
            if (!Start(-MAX_WBITS))
                return false;
            return Add(again, output);
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            return false;
        }
        if (stream_->z.total_out > 0) {
            triedRaw_ = true; // the wrapping is settled
            head_.clear();
        }
    }
    return true;
}

} // namespace plat::win
