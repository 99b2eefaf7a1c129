#include "config/Ed25519.h"

#include "config/Sha256.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

namespace config {

namespace {

constexpr std::string_view kKeyFilePrefix = "ed25519-private-key ";

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

Key PrivateKey(const Ed25519PrivateKey& seed) {
    return Key(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed.data(), seed.size()));
}

} // namespace

bool Ed25519PublicOf(const Ed25519PrivateKey& privateKey, Ed25519PublicKey* publicKey) {
    Key key = PrivateKey(privateKey);
    std::size_t length = publicKey->size();
    return key && EVP_PKEY_get_raw_public_key(key.get(), publicKey->data(), &length) == 1 &&
           length == publicKey->size();
}

bool GenerateEd25519(Ed25519PrivateKey* privateKey, Ed25519PublicKey* publicKey) {
    Ed25519PrivateKey seed{};
    if (RAND_priv_bytes(seed.data(), static_cast<int>(seed.size())) != 1 ||
        !Ed25519PublicOf(seed, publicKey))
        return false;
    *privateKey = seed;
    return true;
}

bool SignEd25519(const Ed25519PrivateKey& privateKey, std::string_view message,
                 Ed25519Signature* signature) {
    Key key = PrivateKey(privateKey);
    Context context(EVP_MD_CTX_new());
    std::size_t length = signature->size();
    return key && context &&
           EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestSign(context.get(), signature->data(), &length,
                          reinterpret_cast<const unsigned char*>(message.data()),
                          message.size()) == 1 &&
           length == signature->size();
}

bool VerifyEd25519(const Ed25519PublicKey& publicKey, std::string_view message,
                   const Ed25519Signature& signature) {
    Key key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, publicKey.data(), publicKey.size()));
    Context context(EVP_MD_CTX_new());
    return key && context &&
           EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestVerify(context.get(), signature.data(), signature.size(),
                            reinterpret_cast<const unsigned char*>(message.data()),
                            message.size()) == 1;
}

std::string PrivateKeyFileText(const Ed25519PrivateKey& privateKey) {
    return std::string(kKeyFilePrefix) + ToHex(privateKey) + "\n";
}

bool ParsePrivateKeyFile(std::string_view text, Ed25519PrivateKey* privateKey) {
    if (text.ends_with("\r\n"))
        text.remove_suffix(2);
    else if (text.ends_with("\n"))
        text.remove_suffix(1);
    if (!text.starts_with(kKeyFilePrefix))
        return false;
    return FromHex(text.substr(kKeyFilePrefix.size()), privateKey);
}

} // namespace config
