#pragma once
// A small TLS peer for the HTTPS tests: a self-signed certificate made for
// each server (its subject alternative name and whether it has expired are
// the test's choice), one fixed answer per connection, on a thread of its
// own; connections whose handshake fails are dropped and counted.

#include "support/Sockets.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <string>
#include <thread>
#include <utility>

#ifndef _WIN32
#include <csignal>
#include <pthread.h>
#endif

namespace inettest {

// A certificate authority of a test's own: its certificate can be written
// to a file that stands in for the system's trust store (SSL_CERT_FILE), or
// handed in PEM form to testsupport::TrustedCa.
class TestCa {
public:
    TestCa() {
        key_ = EVP_EC_gen("P-256");
        cert_ = X509_new();
        X509_set_version(cert_, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert_), 7);
        X509_gmtime_adj(X509_getm_notBefore(cert_), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert_), 86400);
        X509_set_pubkey(cert_, key_);
        X509_NAME* name = X509_get_subject_name(cert_);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("launcher test CA"), -1,
                                   -1, 0);
        X509_set_issuer_name(cert_, name);
        X509V3_CTX v3;
        X509V3_set_ctx_nodb(&v3);
        X509V3_set_ctx(&v3, cert_, cert_, nullptr, nullptr, 0);
        for (auto [nid, value] : {std::pair{NID_basic_constraints, "critical,CA:TRUE"},
                                  std::pair{NID_key_usage, "critical,keyCertSign,cRLSign"}}) {
            X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &v3, nid, value);
            X509_add_ext(cert_, extension, -1);
            X509_EXTENSION_free(extension);
        }
        X509_sign(cert_, key_, EVP_sha256());
    }
    ~TestCa() {
        X509_free(cert_);
        EVP_PKEY_free(key_);
    }
    TestCa(const TestCa&) = delete;
    TestCa& operator=(const TestCa&) = delete;

    // Writes the certificate in PEM form; false when the file cannot be made.
    bool WritePem(const std::string& path) const {
        FILE* file = std::fopen(path.c_str(), "w");
        if (file == nullptr)
            return false;
        bool written = PEM_write_X509(file, cert_) == 1;
        return std::fclose(file) == 0 && written;
    }
    // The certificate in PEM form; empty when it cannot be written.
    std::string Pem() const {
        BIO* bio = BIO_new(BIO_s_mem());
        std::string pem;
        if (bio != nullptr && PEM_write_bio_X509(bio, cert_) == 1) {
            char* data = nullptr;
            long size = BIO_get_mem_data(bio, &data);
            if (size > 0)
                pem.assign(data, static_cast<std::size_t>(size));
        }
        BIO_free(bio);
        return pem;
    }
    X509* Cert() const { return cert_; }
    EVP_PKEY* Key() const { return key_; }

private:
    EVP_PKEY* key_ = nullptr;
    X509* cert_ = nullptr;
};

// The subject alternative names of a test certificate for `names`. Wine's
// WinINet matches the host only against DNS names, an address too: on
// Windows an address is named in both forms (a certificate for another name
// is still refused).
inline std::string CertificateNames(const std::string& names) {
#ifdef _WIN32
    if (names.rfind("IP:", 0) == 0)
        return names + ",DNS:" + names.substr(3);
#endif
    return names;
}

// Serves one fixed answer per connection over TLS on 127.0.0.1, on its own
// thread; connections whose handshake fails are dropped. The certificate is
// self-signed, or issued by `issuer` when one is given.
class TlsServer {
public:
    TlsServer(const std::string& subjectAltName, bool expired, const TestCa* issuer = nullptr) {
        EVP_PKEY* key = EVP_EC_gen("P-256");
        X509* cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), expired ? -2 * 86400 : -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), expired ? -86400 : 86400);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("launcher test"), -1, -1,
                                   0);
        X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer->Cert()) : name);
        X509V3_CTX v3;
        X509V3_set_ctx_nodb(&v3);
        X509V3_set_ctx(&v3, issuer ? issuer->Cert() : cert, cert, nullptr, nullptr, 0);
        X509_EXTENSION* san = X509V3_EXT_conf_nid(nullptr, &v3, NID_subject_alt_name,
                                                  CertificateNames(subjectAltName).c_str());
        X509_add_ext(cert, san, -1);
        X509_EXTENSION_free(san);
        X509_sign(cert, issuer ? issuer->Key() : key, EVP_sha256());
        context_ = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(context_, cert);
        SSL_CTX_use_PrivateKey(context_, key);
        X509_free(cert);
        EVP_PKEY_free(key);

        listenFd_ = testsupport::ListenOnLoopback(4, &port_);
        waker_.Open();
        thread_ = std::thread([this] { Run(); });
    }
    ~TlsServer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopped_ = true;
            if (activeFd_ != testsupport::kNoSocket)
                testsupport::ShutdownSocket(activeFd_, false);
        }
        waker_.Wake();
        thread_.join();
        testsupport::CloseSocket(listenFd_);
        waker_.Close();
        SSL_CTX_free(context_);
    }
    std::uint16_t Port() const { return port_; }
    // Connections accepted so far, handshakes that failed included.
    int Connections() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return connections_;
    }

private:
    void Run() {
#ifndef _WIN32
        // A client that hangs up after a refused certificate makes the
        // answer's write fail; without this it would raise SIGPIPE and end
        // the whole test program.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
#endif
        for (;;) {
            testsupport::SocketHandle watched[2] = {listenFd_, waker_.Handle()};
            bool ready[2] = {};
            if (testsupport::WaitReadable(watched, ready, 2, -1) < 0 || ready[1])
                return;
            testsupport::SocketHandle fd = testsupport::AcceptConnection(listenFd_);
            if (fd == testsupport::kNoSocket)
                continue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stopped_) {
                    testsupport::CloseSocket(fd);
                    return;
                }
                activeFd_ = fd;
                ++connections_;
            }
            Answer(fd);
            std::lock_guard<std::mutex> lock(mutex_);
            activeFd_ = testsupport::kNoSocket;
            testsupport::CloseSocket(fd);
        }
    }
    void Answer(testsupport::SocketHandle fd) {
        SSL* ssl = SSL_new(context_);
        // OpenSSL takes a Windows SOCKET as an int too.
        SSL_set_fd(ssl, static_cast<int>(fd));
        if (SSL_accept(ssl) == 1) {
            std::string head;
            char chunk[1024];
            int got = 0;
            while (head.find("\r\n\r\n") == std::string::npos &&
                   (got = SSL_read(ssl, chunk, sizeof chunk)) > 0)
                head.append(chunk, static_cast<std::size_t>(got));
            const char answer[] = "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n"
                                  "Connection: close\r\n\r\nsecure";
            SSL_write(ssl, answer, sizeof answer - 1);
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
    }

    SSL_CTX* context_ = nullptr;
    testsupport::SocketHandle listenFd_ = testsupport::kNoSocket;
    testsupport::SocketWaker waker_;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    int connections_ = 0;
    bool stopped_ = false;
    testsupport::SocketHandle activeFd_ = testsupport::kNoSocket;
    std::thread thread_;
};

} // namespace inettest
