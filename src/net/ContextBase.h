#pragma once
// A connection context: one HTTP server, as a client describes it, and what
// the transport keeps for it (connection handle, HTTP log, byte totals).
// Built on the client's thread; from the moment it is posted, only the
// transport thread touches it.

#include "net/NetTypes.h"
#include "net/UrlComponents.h"

#include <cstdint>
#include <memory>
#include <string>

class CCypherLog;

namespace NetEx {

class CNetClient;
class CNetTransportBase;

// Adds bytes to a total kept elsewhere (the transport's).
struct ByteForwarder {
    void* object = nullptr;
    void (*add)(void* object, std::uint64_t bytes) = nullptr;
};

// The log clock the transport hands to every context log.
struct LogClockValue {
    bool set = false;
    std::int64_t offsetMs = 0;
    int zoneSeconds = 0;
};

// The part of a context that is no HTTP: the server's address, the
// connection handle, the HTTP log and the byte totals. CContextHttx is the
// context the transport makes; this base is never used on its own.
class CContextBase {
public:
    CContextBase(const CContextBase&) = delete;
    CContextBase& operator=(const CContextBase&) = delete;

    std::uint32_t GetId() const { return id_; }
    const std::string& GetName() const { return name_; }
    CUrlComponents& GetUrl() { return url_; }
    const CUrlComponents& GetUrl() const { return url_; }

    // Closes the connection and the log; nothing without a connection.
    void Close();

    // --- Transport thread ------------------------------------------------
    // Takes the client and transport and names the log after the context.
    void Attach(CNetClient* client, CNetTransportBase* transport);
    CNetClient* Client() const { return client_; }
    // Whether the certificate checks a request's flags waive may be waived
    // (the transport's setting; never before the context is attached).
    bool CertificateWaiversAllowed() const;
    const std::string& LogName() const { return logName_; }
    // Opens the context's HTTP log in the settings' folder: 0, or the error
    // number (183 when a log is already open).
    std::uint32_t OpenLog(const HttpLogSettings& settings, std::uint32_t processId,
                          const LogClockValue& clock);
    void ApplyLogClock(const LogClockValue& clock);
    CCypherLog* Log() const { return log_.get(); }
    // The log takes debug-level records (see HttpLogSettings).
    bool DebugRecords() const { return log_ && debugRecords_; }
    // InternetConnect; false with the error in *error and in the log.
    bool Connect(plat::HINTERNET internet, std::uint32_t* error);
    plat::HINTERNET Connection() const { return connection_; }
    void SetForwarders(ByteForwarder sent, ByteForwarder received);
    void CountSent(std::uint64_t bytes);
    void CountReceived(std::uint64_t bytes);
    std::uint64_t BytesSent() const { return bytesSent_; }
    std::uint64_t BytesReceived() const { return bytesReceived_; }

protected:
    CContextBase();
    ~CContextBase();

    std::uint32_t id_ = 0;
    std::string name_;
    CUrlComponents url_;
    bool argsChanged_ = false;

private:
    CNetClient* client_ = nullptr;
    CNetTransportBase* transport_ = nullptr;
    std::string logName_;
    plat::HINTERNET connection_ = 0;
    bool connected_ = false;
    std::uint64_t bytesSent_ = 0;
    std::uint64_t bytesReceived_ = 0;
    ByteForwarder sentForwarder_;
    ByteForwarder receivedForwarder_;
    std::unique_ptr<CCypherLog> log_;
    bool debugRecords_ = false;
};

} // namespace NetEx
