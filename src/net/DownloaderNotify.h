#pragma once
// What the downloader hands its results to: the launcher object implements
// these callbacks. Every call comes on the launcher window's thread, from the
// downloader's completion handling; a callback may start the next download.

#include "base/Buffer.h"

#include <cstdint>
#include <string>

namespace NetEx {

// The kinds of request the downloader issues; the request id carries it.
enum DownloadKind : std::uint32_t {
    kDownloadNone = 0,
    kDownloadCUDFile = 1,   // client update data
    kDownloadKB = 2,        // the KB2999226 system update package
    kDownloadLicense = 3,   // the license document
    kDownloadUpdateXml = 4, // the update manifest
    kDownloadUpdate = 5,    // a byte range of one update file
    kDownloadAffiliate = 6, // known to the dispatch, never issued
};

// What one request for a range of an update file did to the file its sink
// writes.
struct FilePartResult {
    std::uint64_t bytes = 0; // bytes the request added to the file
    // The request broke off: the bytes are valid and the error report follows.
    bool failed = false;
    // The answer was not the asked range (or ran past it): nothing more
    // follows for this request; what was added is valid.
    bool unexpected = false;
    // The server answered the range with the whole file: the file started
    // again at byte 0 and holds the answer's bytes from there.
    bool restarted = false;
};

class IDownloaderNotify {
public:
    virtual ~IDownloaderNotify() = default;
    virtual void fireCUDFileReceived(const CBuffer& body) = 0;
    // total is -1 when the package size could not be determined.
    virtual void fireKBFilePartReceived(std::int32_t received, std::int32_t total) = 0;
    virtual void fireKBFileReceived(const CBuffer& body) = 0;
    virtual void fireLicenseReceived(const CBuffer& body) = 0;
    virtual void fireUpdateXmlReceived(const CBuffer& body) = 0;
    // A range request of an update file ended; its bytes are in the file
    // its sink writes.
    virtual void fireFilePartReceived(const FilePartResult& part) = 0;
    // Raised by the launcher on itself when a queued file is complete.
    virtual void fireFileReceived() = 0;
    virtual void fireFilePartProgress(std::uint32_t bytes, bool inFlight) = 0;
    virtual void fireAffiliateUpdated() = 0;
    // kind: the notify kind; errorCode: WinINet or system error (0: none);
    // status: the HTTP status (0: no answer, 404 when the transport refused
    // the request); body: the answer's body for 502 and 503, else empty.
    virtual void fireNetError(std::uint32_t kind, std::uint32_t errorCode, std::uint32_t status,
                              const std::string& body) = 0;
};

} // namespace NetEx
