#include "config/Sha256.h"

#include "base/Strings.h"
#include "platform/File.h"

#include <openssl/evp.h>

#include <vector>

namespace config {

struct CSha256::Impl {
    ~Impl() { EVP_MD_CTX_free(context); }
    EVP_MD_CTX* context = EVP_MD_CTX_new();
};

CSha256::CSha256() : impl_(std::make_unique<Impl>()) {
    Reset();
}

CSha256::~CSha256() = default;

void CSha256::Reset() {
    EVP_DigestInit_ex(impl_->context, EVP_sha256(), nullptr);
}

void CSha256::Update(const void* data, std::size_t size) {
    if (size != 0)
        EVP_DigestUpdate(impl_->context, data, size);
}

Sha256Digest CSha256::Finish() {
    Sha256Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(impl_->context, digest.data(), &length);
    Reset();
    return digest;
}

Sha256Digest Sha256Of(std::string_view bytes) {
    CSha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.Finish();
}

bool Sha256OfFile(const std::wstring& path, Sha256Digest* digest) {
    plat::File file;
    if (!file.Open(path, plat::kRead, plat::Disposition::OpenExisting))
        return false;
    CSha256 hash;
    std::vector<std::uint8_t> block(1 << 20);
    for (;;) {
        std::size_t done = 0;
        if (!file.Read(block.data(), block.size(), &done))
            return false;
        if (done == 0)
            break;
        hash.Update(block.data(), done);
    }
    *digest = hash.Finish();
    return true;
}

std::string ToHex(const std::uint8_t* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

bool FromHex(std::string_view text, std::uint8_t* bytes, std::size_t size) {
    if (text.size() != size * 2)
        return false;
    // Nothing is written unless every digit is one.
    for (char c : text)
        if (base::HexDigitValue(c) < 0)
            return false;
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(base::HexDigitValue(text[2 * i]) * 16 +
                                             base::HexDigitValue(text[2 * i + 1]));
    return true;
}

} // namespace config
