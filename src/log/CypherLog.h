#pragma once
// The HTTP log in its enciphered, compressed form: each open appends a new
// segment whose blocks are deflated and enciphered with Blowfish. Opened
// without a key (or through the plain opens) it writes plain text like CLog.
// Written only from the transport thread.

#include "log/Log.h"

#include <cstddef>
#include <memory>
#include <string>

class CCypherLog : public CLog {
public:
    CCypherLog();
    ~CCypherLog() override;

    bool WriteBlock(const void* data, std::size_t length) override;
    // Ends the open segment (last cipher block) and closes the file. The
    // segment header keeps its open mark until the next OpenSecure.
    void Close() override;
    // Opens for appending like Open, closes the length of a segment an earlier
    // run left open, and starts a new segment. A file that is no chain of
    // segments is rotated away first. An empty key opens a plain log.
    // bufferSize is the size of the deflate output slices (0: a default).
    virtual bool OpenSecure(const std::string& path, const void* key, std::size_t keyLength,
                            std::size_t bufferSize);

    // True while writes go through deflate and the cipher.
    bool IsSecure() const;

private:
    // Walks the segment chain, closing an open segment's length; rotates the
    // file when the chain is broken. Leaves the file position at its end.
    bool CloseEarlierSegment();
    bool StartSegment(const void* key, std::size_t keyLength, std::size_t bufferSize);
    void EndSegment();

    struct Impl;
    std::unique_ptr<Impl> impl_;
};
