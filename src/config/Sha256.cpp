#include "config/Sha256.h"

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

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool FromHex(std::string_view text, std::uint8_t* bytes, std::size_t size) {
    if (text.size() != size * 2)
        return false;
    // Nothing is written unless every digit is one.
    for (char c : text)
        if (HexValue(c) < 0)
            return false;
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] =
            static_cast<std::uint8_t>(HexValue(text[2 * i]) * 16 + HexValue(text[2 * i + 1]));
    return true;
}

} // namespace config
