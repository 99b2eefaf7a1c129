#pragma once
// The six stub fields: fixed-size blocks of the executable that a publisher
// overwrites per distribution channel (server list, update address, language
// and three marketing identifiers). Each holds its marker text, a zero byte,
// then the value and zeros to the end. The readers look at the running
// executable's own fields and may be called from any thread.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace config {

struct StubField {
    const char* typeName; // resource type name, also the marker's stem
    int id;               // resource id
    std::size_t size;     // bytes of the whole block
    std::size_t capacity; // characters of the value (a list: of its layout)
};

inline constexpr int kStubServerUrlId = 132;
inline constexpr int kStubUpdatePathId = 133;
inline constexpr int kStubLanguageId = 134;
inline constexpr int kStubAffiliateId = 135;
inline constexpr int kStubReferrerId = 136;
inline constexpr int kStubPromocodeId = 137;

// The six fields in the order the launcher checksum walks them; SERVER_URL,
// the only list, comes first.
std::span<const StubField> StubFieldTable();
// The field of a type name ("SERVER_URL"...), or null.
const StubField* FindStubField(std::string_view typeName);
bool IsStubList(const StubField& field);

// The marker text ("<type name>_HERE:"). It is put together at run time: the
// text must not occur in the executable except inside its field, because the
// checksum and the patch tool find each field by its first occurrence.
std::string StubMarker(const StubField& field);

// The value of a field of the running executable; empty when the field is
// missing or was never patched.
std::string ReadStubValue(const char* typeName, int id);
// The list value ("SERVER_URL"): each zero-terminated string up to the empty
// one that ends the list. Empty when missing or never patched.
std::vector<std::string> ReadStubList(const char* typeName, int id);
// Bytes of the field's block in the running executable; 0 when missing.
std::size_t StubResourceSize(const char* typeName, int id);

// Makes the six blocks known as resources. The readers call it themselves;
// the executable calls it while its static objects are built, which also
// makes sure the linker keeps the blocks in the image for the patch tool.
// Safe from any thread, any number of times.
void RegisterStubFieldResources();

} // namespace config
