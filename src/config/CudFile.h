#pragma once
// The "CUD.dat" file: its key, the rule that tells enciphered from plain
// contents, reading it into a document and replacing it without ever leaving
// a partly written file in its place. Pure functions over files; any thread.

#include <string>
#include <string_view>

namespace tinyxml2 {
class XMLDocument;
}

namespace config {

// The AES-128 key of the launcher's "CUD.dat", as 32 hexadecimal digits.
inline constexpr const char* kCudKey = "7C3E19A0B45D2F8861E0C7A93B5D4F12";

// True when the bytes are to be deciphered: at least 8 of them, not opening
// with "<" and the first seven characters of the root element's name.
bool IsEncipheredCud(std::string_view bytes);

// The XML text of a file's bytes: deciphered when they look enciphered and
// the key deciphers them, otherwise the bytes as they are. `deciphered`, when
// given, tells which of the two it was.
std::string DecodeCudBytes(std::string_view bytes, const char* key, bool* deciphered = nullptr);

// The bytes to store for a text: enciphered when asked and the key allows
// it, otherwise the text itself. `enciphered`, when given, tells which.
std::string EncodeCudText(std::string_view xml, const char* key, bool encipher,
                          bool* enciphered = nullptr);

// Parses a client update data text; true when it is XML whose root element
// is "ClientUpdateData".
bool ParseCudText(std::string_view text, tinyxml2::XMLDocument* doc);

enum class CudLoadResult {
    kLoaded,
    kCannotOpen, // missing or unreadable file
    kBadData,    // does not parse (with or without deciphering) or has another root
};

CudLoadResult LoadCudDocument(const std::wstring& path, const char* key,
                              tinyxml2::XMLDocument* doc);

enum class FileReplaceResult {
    kWritten,
    kCannotCreate, // the temporary file beside the target could not be created
    kWriteFailed,  // writing, flushing or renaming it over the target failed
};

// The temporary file a replacement of `path` is written to first.
std::wstring ReplacementTempPath(const std::wstring& path);

// Writes the bytes to a new temporary file (whatever had its name is removed
// first, a link included, never followed), flushes them to the disk and
// renames the file over `path` (a link there is replaced, not written
// through), so a crash leaves either the old or the new contents. On failure
// the temporary file is removed and `path` is untouched.
FileReplaceResult ReplaceFileContents(const std::wstring& path, std::string_view bytes);

} // namespace config
