#pragma once
// The work of the "cudtool" developer tool: turns a "CUD.dat" into its XML
// text and back. Kept in the library so the tests drive the same code. Main
// thread of the tool.

#include <string>

namespace config {

// Writes the XML text of the "CUD.dat" at `in` (enciphered with the key, or
// already plain) into `out`. False with a one-line reason in `error` when the
// key is not 32 hexadecimal digits, a file cannot be read or written, or the
// contents do not give client update data.
bool DecryptCudFile(const std::string& key, const std::wstring& in, const std::wstring& out,
                    std::string* error);

// Enciphers the client update data XML at `in` into the "CUD.dat" `out`.
// The text must parse and have the "ClientUpdateData" root.
bool EncryptCudFile(const std::string& key, const std::wstring& in, const std::wstring& out,
                    std::string* error);

} // namespace config
