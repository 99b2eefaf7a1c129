#pragma once
// Undoes the content encodings of an answer's body (gzip, and deflate in
// its zlib wrapping or raw, as servers send both) as its bytes arrive.
// WinINet's own decoding drops the Content-Encoding field from the head and
// takes deflate as raw only, so the layer decodes itself. The owner thread
// of the request.

#include <memory>
#include <string>
#include <string_view>

namespace plat::win {

class InternetDecoder {
public:
    // A decoder for a Content-Encoding value; null when the layer does not
    // know the encoding (the body then comes as it is).
    static std::unique_ptr<InternetDecoder> For(std::string_view encoding);
    ~InternetDecoder();
    InternetDecoder(const InternetDecoder&) = delete;
    InternetDecoder& operator=(const InternetDecoder&) = delete;

    // Appends what `input` decodes to; false when it does not decode.
    bool Add(std::string_view input, std::string* output);
    // True once the encoded stream ended where it should.
    bool Finished() const { return finished_; }

private:
    enum class Kind { Gzip, Deflate };
    explicit InternetDecoder(Kind kind);
    bool Start(int windowBits);

    struct Stream;
    const Kind kind_;
    std::unique_ptr<Stream> stream_;
    bool started_ = false;
    bool triedRaw_ = false;
    bool finished_ = false;
    std::string head_; // deflate's first bytes, kept until the wrapping is known
};

} // namespace plat::win
