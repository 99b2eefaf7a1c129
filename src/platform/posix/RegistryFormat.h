#pragma once
// The byte formats of the registry store: the form wide text takes on disk
// and the "values" file of a key. Private to the POSIX backend; pure
// functions, safe on any thread.
//
// A values file is a header line followed by one record per value:
//
//   LRV1\n
//   <type> <name length> <data length>\n<name bytes><data bytes>\n
//
// Types are the Windows numbers (1 string, 3 binary, 4 DWORD). Names and
// string data are wide text in the form EncodeWideBytes gives; a DWORD is its
// decimal digits; binary data is stored as it is. Lengths count bytes, so
// any byte, line ends included, may appear in a name or in data.

#include "platform/Registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace plat::posix {

// Wide text as bytes, keeping every unit: characters as UTF-8, and a unit
// that is no character (a lone surrogate, a value above U+10FFFF) as the byte
// 0xFF, which UTF-8 never uses, followed by the unit in four bytes,
// most significant first.
std::string EncodeWideBytes(std::wstring_view text);
// The reverse; false when the bytes are not in that form.
bool DecodeWideBytes(std::string_view bytes, std::wstring* text);

// Key and value names compare with ASCII letters folded (platform/TextCase.h).

struct StoredValue {
    std::wstring name; // as first written
    RegistryValue value;
};
using ValueList = std::vector<StoredValue>;

// The value of that name (compared without regard to ASCII case), or null.
StoredValue* FindValue(ValueList& values, std::wstring_view name);
const StoredValue* FindValue(const ValueList& values, std::wstring_view name);

std::string SerializeValues(const ValueList& values);
// False when the file is damaged in any way (bad header, a record that does
// not parse completely, an unknown type, a name given twice, bytes after the
// last record); `values` is then empty.
bool ParseValues(std::string_view file, ValueList* values);

} // namespace plat::posix
