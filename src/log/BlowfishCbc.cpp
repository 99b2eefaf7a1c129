#include "log/BlowfishCbc.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <climits>

namespace {

// The library context holding the "legacy" provider, for Blowfish, and the
// "default" one, which loading any provider by hand no longer brings along.
// Built once on first use, from whichever thread comes first.
class CCipherLibrary {
public:
    CCipherLibrary() {
        context_ = OSSL_LIB_CTX_new();
        if (!context_)
            return;
        legacy_ = OSSL_PROVIDER_load(context_, "legacy");
        default_ = OSSL_PROVIDER_load(context_, "default");
        if (legacy_ && default_)
            cipher_ = EVP_CIPHER_fetch(context_, "BF-CBC", nullptr);
    }
    ~CCipherLibrary() {
        EVP_CIPHER_free(cipher_);
        if (default_)
            OSSL_PROVIDER_unload(default_);
        if (legacy_)
            OSSL_PROVIDER_unload(legacy_);
        OSSL_LIB_CTX_free(context_);
    }
    CCipherLibrary(const CCipherLibrary&) = delete;
    CCipherLibrary& operator=(const CCipherLibrary&) = delete;

    const EVP_CIPHER* Cipher() const { return cipher_; }

private:
    OSSL_LIB_CTX* context_ = nullptr;
    OSSL_PROVIDER* legacy_ = nullptr;
    OSSL_PROVIDER* default_ = nullptr;
    EVP_CIPHER* cipher_ = nullptr;
};

const EVP_CIPHER* BlowfishCipher() {
    static CCipherLibrary library;
    return library.Cipher();
}

} // namespace

struct CBlowfishCbc::Impl {
    ~Impl() { EVP_CIPHER_CTX_free(context); }
    EVP_CIPHER_CTX* context = nullptr;
};

CBlowfishCbc::CBlowfishCbc() : impl_(std::make_unique<Impl>()) {}

CBlowfishCbc::~CBlowfishCbc() = default;

bool CBlowfishCbc::IsAvailable() {
    return BlowfishCipher() != nullptr;
}

bool CBlowfishCbc::IsStarted() const {
    return impl_->context != nullptr;
}

bool CBlowfishCbc::Start(bool encrypt, const void* key, std::size_t keyLength, bool padding) {
    EVP_CIPHER_CTX_free(impl_->context);
    impl_->context = nullptr;
    const EVP_CIPHER* cipher = BlowfishCipher();
    if (!cipher || keyLength == 0 || keyLength > INT_MAX)
        return false;
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (!context)
        return false;
    const unsigned char iv[kBlockSize] = {};
    const int enc = encrypt ? 1 : 0;
    // The key length is set between a first start without key and the real one.
    if (EVP_CipherInit_ex(context, cipher, nullptr, nullptr, nullptr, enc) != 1 ||
        EVP_CIPHER_CTX_set_key_length(context, static_cast<int>(keyLength)) != 1 ||
        EVP_CipherInit_ex(context, nullptr, nullptr, static_cast<const unsigned char*>(key), iv,
                          enc) != 1 ||
        EVP_CIPHER_CTX_set_padding(context, padding ? 1 : 0) != 1) {
        EVP_CIPHER_CTX_free(context);
        return false;
    }
    impl_->context = context;
    return true;
}

bool CBlowfishCbc::Update(const void* data, std::size_t size, CBuffer* out) {
    if (!impl_->context)
        return false;
    const auto* in = static_cast<const unsigned char*>(data);
    // Fed in slices that an int can count, each with room for one extra block.
    constexpr std::size_t kSlice = 1u << 20;
    while (size > 0) {
        const std::size_t slice = size < kSlice ? size : kSlice;
        const std::size_t start = out->Size();
        out->Resize(start + slice + kBlockSize);
        int written = 0;
        if (EVP_CipherUpdate(impl_->context, out->Data() + start, &written, in,
                             static_cast<int>(slice)) != 1) {
            out->Resize(start);
            return false;
        }
        out->Resize(start + static_cast<std::size_t>(written));
        in += slice;
        size -= slice;
    }
    return true;
}

bool CBlowfishCbc::Finish(CBuffer* out) {
    if (!impl_->context)
        return false;
    const std::size_t start = out->Size();
    out->Resize(start + kBlockSize);
    int written = 0;
    const bool ok = EVP_CipherFinal_ex(impl_->context, out->Data() + start, &written) == 1;
    out->Resize(start + (ok ? static_cast<std::size_t>(written) : 0));
    EVP_CIPHER_CTX_free(impl_->context);
    impl_->context = nullptr;
    return ok;
}
