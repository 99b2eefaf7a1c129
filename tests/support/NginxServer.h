#pragma once
// A real nginx on 127.0.0.1 for tests: started from a generated configuration
// that serves one folder (byte ranges on), with optional redirects and a rate
// limit, on a free port. Owned by one test; stopped on destruction.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class NginxServer {
public:
    struct Redirect {
        std::string from; // exact location, e.g. "/old/update.rxml"
        std::string to;   // target path or URL
        int status = 302;
    };

    NginxServer() = default;
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // Serves `root` (a native folder path). limitRate: bytes per second per
    // connection, 0 for none. False when nginx is missing or does not answer.
    bool Start(const std::string& root, const std::vector<Redirect>& redirects = {},
               std::uint64_t limitRate = 0);
    void Stop();
    std::uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port>"
    std::string BaseUrl() const;
    // Where nginx writes its logs; useful when a test fails.
    const std::string& Prefix() const { return prefix_; }

private:
    std::string prefix_;
    std::uint16_t port_ = 0;
    int pid_ = 0;
};

} // namespace testsupport
