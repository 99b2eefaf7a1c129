#pragma once
// Writes one record of a context's HTTP log: a title line, labelled lines
// and blocks, then the record end. Every call is a no-op without a log, so
// callers need not check. Transport thread only, like the log it writes.

#include <cstddef>
#include <cstdint>
#include <string_view>

class CCypherLog;

namespace NetEx {

class CHttpLogRecord {
public:
    CHttpLogRecord(CCypherLog* log, std::string_view title);
    ~CHttpLogRecord();
    CHttpLogRecord(const CHttpLogRecord&) = delete;
    CHttpLogRecord& operator=(const CHttpLogRecord&) = delete;

    // "label" + text + "\r\n"; the label carries its own trailing blanks.
    void Line(std::string_view label, std::string_view text);
    void Number(std::string_view label, std::int64_t value);
    // Bytes as they are, followed by a line end when they lack one.
    void Block(const void* data, std::size_t length);
    // A header line without a title.
    void Fill();

private:
    CCypherLog* log_;
};

// The log lines for a failed call: nothing for 0, "Failed" for -1, else
// "<kind> <code>: <system text>" and the record end.
void WriteErrorText(CCypherLog* log, std::uint32_t code);

} // namespace NetEx
