#pragma once
// Turns an HTTP log file back into its text, for the people who read these
// logs: every segment of an enciphered log is deciphered and inflated in
// turn, including a last segment that is still being written; a plain log
// passes through as it is. Pure functions over bytes in memory, callable
// from any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace cypherlog {

enum class ReadError {
    None,
    KeyMissing,        // an enciphered log and no key
    CipherUnavailable, // Blowfish cannot be set up with this key
    BadHeader,         // no segment header where one should start
    BadLength,         // a segment length that does not fit the file
    Inflate,           // the deciphered data is no deflate stream: most likely a wrong key
};

struct DecodedLog {
    std::string text;        // text of every segment decoded so far
    bool enciphered = false; // the file is a chain of segments
    std::size_t segments = 0;
    bool lastSegmentOpen = false; // the last segment still carries its open mark
    ReadError error = ReadError::None;
    std::uint64_t errorOffset = 0; // file offset of the segment that failed
};

// Decodes a whole log file. On failure `out->text` keeps the text of the
// segments before the failing one.
bool DecodeLog(std::string_view file, std::string_view key, DecodedLog* out);

// An English description of an error, for the command line.
const char* ReadErrorText(ReadError error);

// Reads a key written as hexadecimal digits, two per byte.
bool ParseHexKey(std::string_view hex, std::string* key);

} // namespace cypherlog
