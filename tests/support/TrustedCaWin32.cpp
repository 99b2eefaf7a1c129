#include "support/TrustedCa.h"

#include <windows.h>

#include <wincrypt.h>

#include <vector>

namespace testsupport {

TrustedCa::TrustedCa(const std::string& pem) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
        return;
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                              CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
        return;
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!store)
        return;
    PCCERT_CONTEXT added = nullptr;
    ok_ = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                           CERT_STORE_ADD_REPLACE_EXISTING, &added) != FALSE;
    added_ = added;
    CertCloseStore(store, 0);
}

TrustedCa::~TrustedCa() {
    // Deleting frees the context as well; the store it came from stays
    // open until then through the context's own reference.
    if (added_)
        CertDeleteCertificateFromStore(static_cast<PCCERT_CONTEXT>(added_));
}

} // namespace testsupport
