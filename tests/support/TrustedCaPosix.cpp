#include "support/TrustedCa.h"

#include <fstream>

namespace testsupport {

TrustedCa::TrustedCa(const std::string& pem) {
    dir_ = std::make_unique<TempDir>();
    const std::string path = dir_->NarrowPath() + "/ca.pem";
    {
        std::ofstream file(path, std::ios::binary);
        file << pem;
        if (!file.flush())
            return;
    }
    store_ = std::make_unique<ScopedEnv>("SSL_CERT_FILE", path);
    ok_ = true;
}

TrustedCa::~TrustedCa() = default;

} // namespace testsupport
