#pragma once
// Makes a test's certificate authority trusted for as long as the object
// lives, where the platform's HTTPS layer looks for trust: on Linux a trust
// store file of its own that SSL_CERT_FILE names (as OpenSSL's tools read
// it); on Windows the machine's root store (the current user's would ask
// the person at the screen), from which the certificate is taken out again
// at the end. The test's main thread, while no other thread reads the
// environment or the store.

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <memory>
#include <string>

namespace testsupport {

class TrustedCa {
public:
    // `pem`: the authority's certificate in PEM form.
    explicit TrustedCa(const std::string& pem);
    ~TrustedCa();
    TrustedCa(const TrustedCa&) = delete;
    TrustedCa& operator=(const TrustedCa&) = delete;

    // False when the certificate could not be made trusted.
    bool Ok() const { return ok_; }

private:
    bool ok_ = false;
#ifdef _WIN32
    const void* added_ = nullptr; // the store's copy of the certificate
#else
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<ScopedEnv> store_;
#endif
};

} // namespace testsupport
