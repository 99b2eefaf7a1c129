#include "config/Cipher.h"

#include "base/Strings.h"

#include <openssl/evp.h>

#include <climits>
#include <cstring>
#include <utility>

namespace config {


struct CCipher::Impl {
    ~Impl() { EVP_CIPHER_CTX_free(context); }
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    unsigned char key[kKeyDigits / 2] = {};
    bool hasKey = false;
};

CCipher::CCipher() : impl_(std::make_unique<Impl>()) {}

CCipher::~CCipher() = default;

bool CCipher::SetKey(const char* keyText) {
    impl_->hasKey = false;
    std::memset(impl_->key, 0, sizeof impl_->key);
    if (!keyText || !*keyText)
        return false;
    const std::size_t length = std::strlen(keyText);
    if (length > kKeyDigits)
        return false;
    for (std::size_t i = 0; i < length; i += 2) {
        // An odd length pairs the last digit with the terminating zero.
        const int high = base::HexDigitValue(keyText[i]);
        const int low = base::HexDigitValue(keyText[i + 1]);
        if (high < 0 || low < 0) {
            std::memset(impl_->key, 0, sizeof impl_->key);
            return false;
        }
        impl_->key[i / 2] = static_cast<unsigned char>(high * 16 + low);
    }
    impl_->hasKey = true;
    return true;
}

bool CCipher::HasKey() const {
    return impl_->hasKey;
}

bool CCipher::Encrypt(std::string_view plain, std::string* out) {
    return Run(true, plain, out);
}

bool CCipher::Decrypt(std::string_view data, std::string* out) {
    if (data.empty() || data.size() % kBlockSize != 0)
        return false;
    return Run(false, data, out);
}

bool CCipher::Run(bool encrypt, std::string_view in, std::string* out) {
    EVP_CIPHER_CTX* context = impl_->context;
    if (!impl_->hasKey || !context || in.size() > INT_MAX - kBlockSize)
        return false;
    const int enc = encrypt ? 1 : 0;
    if (EVP_CipherInit_ex(context, EVP_aes_128_ecb(), nullptr, impl_->key, nullptr, enc) != 1)
        return false;
    std::string result(in.size() + kBlockSize, '\0');
    auto* buffer = reinterpret_cast<unsigned char*>(result.data());
    int written = 0, last = 0;
    if (EVP_CipherUpdate(context, buffer, &written,
                         reinterpret_cast<const unsigned char*>(in.data()),
                         static_cast<int>(in.size())) != 1 ||
        EVP_CipherFinal_ex(context, buffer + written, &last) != 1) {
        EVP_CIPHER_CTX_reset(context);
        return false;
    }
    result.resize(static_cast<std::size_t>(written + last));
    *out = std::move(result);
    return true;
}

bool IsFullCipherKey(std::string_view keyText) {
    if (keyText.size() != CCipher::kKeyDigits)
        return false;
    for (char c : keyText) {
        if (base::HexDigitValue(c) < 0)
            return false;
    }
    return true;
}

} // namespace config
