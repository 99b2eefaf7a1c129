#pragma once
// Rewrites the stub fields of a finished launcher executable: loads the file,
// changes fields in memory and replaces the file in one step, so that a
// refused change leaves it untouched. Used by the stub patch tool; one thread
// per patcher.

#include "config/StubFields.h"

#include <string>
#include <string_view>
#include <vector>

namespace config {

class CStubPatcher {
public:
    // Reads the file; fails (with a message) when it cannot be read or lacks
    // any of the six fields (a marker followed by its zero byte and room for
    // the whole field).
    bool Load(const std::wstring& path, std::string* message);

    // The values of a field of the loaded image: one string for a single
    // field (possibly empty), the entries for the server list.
    std::vector<std::string> Values(const StubField& field) const;

    // Stores new values in memory. Refused with a message for an unknown
    // field name, more than one value for a single field, an empty list
    // entry, a zero byte in a value, or a layout longer than the field's
    // capacity (the server list counts each entry's zero byte).
    bool Set(std::string_view fieldName, const std::vector<std::string>& values,
             std::string* message);

    // Writes the image to a temporary file beside the original (a copy, so
    // it keeps the original's permissions) and renames it over the original.
    bool Save(std::string* message);

private:
    // Offset of the field's first marker in the image, or npos.
    std::size_t FieldOffset(const StubField& field) const;

    std::wstring path_;
    std::string image_;
};

} // namespace config
