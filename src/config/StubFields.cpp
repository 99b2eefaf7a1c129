#include "config/StubFields.h"

#include "config/StubFieldLayout.h"
#include "platform/Resources.h"

#include <array>
#include <string_view>

namespace config {

namespace {

// Every block is the marker ("<type>_HERE:"), its zero byte, the value's
// characters and the value's terminating zero.
constexpr std::size_t kMarkerSuffixLength = 6;

constexpr std::array<StubField, 6> kFields = {{
    {"SERVER_URL", kStubServerUrlId, 146, 128},
    {"UPDATE_PATH", kStubUpdatePathId, 147, 128},
    {"LANGUAGE", kStubLanguageId, 48, 32},
    {"AFFILIATE_ID", kStubAffiliateId, 84, 64},
    {"REFERRER_ID", kStubReferrerId, 83, 64},
    {"PROMOCODE", kStubPromocodeId, 81, 64},
}};

constexpr bool LayoutAddsUp() {
    for (const StubField& field : kFields) {
        std::size_t markerLength = std::string_view(field.typeName).size() + kMarkerSuffixLength;
        if (markerLength + 1 + field.capacity + 1 != field.size)
            return false;
    }
    return true;
}
static_assert(LayoutAddsUp(), "a stub block is marker, zero, value and its zero");

bool FieldBytes(const char* typeName, int id, std::string_view* bytes) {
    RegisterStubFieldResources();
    plat::ResourceData data;
    if (!plat::FindResource(typeName, id, &data))
        return false;
    // Read through the registered pointer: the bytes are whatever the file
    // holds now, never the values the compiler saw.
    *bytes = std::string_view(static_cast<const char*>(data.data), data.size);
    return true;
}

} // namespace

std::span<const StubField> StubFieldTable() {
    return kFields;
}

const StubField* FindStubField(std::string_view typeName) {
    for (const StubField& field : kFields) {
        if (typeName == field.typeName)
            return &field;
    }
    return nullptr;
}

bool IsStubList(const StubField& field) {
    return field.id == kStubServerUrlId;
}

std::string StubMarker(const StubField& field) {
    // The suffix is read through volatile so that no optimisation can fold the
    // whole marker into one constant of the image.
    static const volatile char kSuffix[kMarkerSuffixLength] = {'_', 'H', 'E', 'R', 'E', ':'};
    std::string marker = field.typeName;
    for (char c : kSuffix)
        marker += c;
    return marker;
}

std::string ReadStubValue(const char* typeName, int id) {
    std::string_view bytes;
    return FieldBytes(typeName, id, &bytes) ? ParseStubValue(bytes) : std::string();
}

std::vector<std::string> ReadStubList(const char* typeName, int id) {
    std::string_view bytes;
    return FieldBytes(typeName, id, &bytes) ? ParseStubList(bytes) : std::vector<std::string>();
}

std::size_t StubResourceSize(const char* typeName, int id) {
    std::string_view bytes;
    return FieldBytes(typeName, id, &bytes) ? bytes.size() : 0;
}

} // namespace config
