#pragma once
// The byte format of a language table (".lso"): an 8-byte little-endian
// string count N (1 <= N < 2^32), then N records of a 4-byte little-endian
// byte length and that many bytes of UTF-8 text, in id order. Pure
// functions; any thread.

#include <string>
#include <string_view>
#include <vector>

namespace config {

enum LsoResult : int {
    kLsoOk = 0,
    kLsoTooShort = 1,      // fewer than 8 bytes for the count
    kLsoZeroCount = 2,     // the count is 0
    kLsoCountTooLarge = 3, // the upper 32 bits of the count are set
    kLsoTruncated = 4,     // a record's length or text runs past the end
};

// Reads every record of `bytes` into `strings` (index = string id). Each
// length is checked against the bytes that remain before anything is
// allocated, so a hostile count or length cannot reserve more memory than
// the input itself occupies. Bytes after the last record are ignored. On
// failure `strings` is left empty.
LsoResult ReadLso(std::string_view bytes, std::vector<std::string>* strings);

// The .lso bytes of the strings; an empty list still writes a count of 0,
// which the reader rejects.
std::string WriteLso(const std::vector<std::string>& strings);

// A short English description of a result, for tools and logs.
const char* LsoResultText(LsoResult result);

} // namespace config
