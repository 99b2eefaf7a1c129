#pragma once
// Blowfish in CBC mode with an all-zero IV, through OpenSSL's EVP interface
// in a library context of the log library's own (the cipher lives in the
// "legacy" provider). One object per stream; used by one thread at a time.

#include "base/Buffer.h"

#include <cstddef>
#include <memory>

class CBlowfishCbc {
public:
    static constexpr std::size_t kBlockSize = 8;

    CBlowfishCbc();
    ~CBlowfishCbc();
    CBlowfishCbc(const CBlowfishCbc&) = delete;
    CBlowfishCbc& operator=(const CBlowfishCbc&) = delete;

    // Starts a stream with the key's bytes as they are. With padding, the
    // last block carries PKCS padding (added on encryption, checked and
    // removed on decryption); without, only whole blocks pass.
    bool Start(bool encrypt, const void* key, std::size_t keyLength, bool padding);
    // Appends the output of `size` more bytes to `out`.
    bool Update(const void* data, std::size_t size, CBuffer* out);
    // Ends the stream and appends its last output.
    bool Finish(CBuffer* out);
    bool IsStarted() const;

    // True when the cipher can be used in this process.
    static bool IsAvailable();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
