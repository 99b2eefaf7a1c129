#pragma once
// AES-128 in ECB mode with PKCS#7 padding over one OpenSSL cipher context,
// keyed by a text of hexadecimal digits. Enciphers and deciphers the client
// update data file. Used by one thread at a time (the window thread for the
// launcher, the main thread for the tools).

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace config {

class CCipher {
public:
    static constexpr std::size_t kBlockSize = 16;
    static constexpr std::size_t kKeyDigits = 32;

    CCipher();
    virtual ~CCipher();
    CCipher(const CCipher&) = delete;
    CCipher& operator=(const CCipher&) = delete;

    // Takes the key from its text, two digits per byte in order; a shorter
    // text leaves the remaining bytes zero. A missing or empty text, one
    // longer than 32 digits or one with a pair that is not hexadecimal
    // disables the cipher: the result is false and every later Encrypt and
    // Decrypt fails until a valid key is set.
    bool SetKey(const char* keyText);
    bool HasKey() const;

    // Replaces `out` with the result; false leaves `out` unchanged.
    bool Encrypt(std::string_view plain, std::string* out);
    // Fails on empty input, input that is not whole blocks, or bad padding
    // (which is what a wrong key usually gives).
    bool Decrypt(std::string_view data, std::string* out);

private:
    bool Run(bool encrypt, std::string_view in, std::string* out);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// True when the text is exactly 32 hexadecimal digits.
bool IsFullCipherKey(std::string_view keyText);

} // namespace config
