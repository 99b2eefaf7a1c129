#pragma once
// The byte layout of one stub field, apart from where the field lives: the
// marker, one zero byte, then the value (or the list of values) as
// zero-terminated strings and zeros to the end of the block. Pure functions.

#include <string>
#include <string_view>
#include <vector>

namespace config {

// The single value of a field's bytes: the zero-terminated string after the
// marker's zero byte, bounded by the block.
std::string ParseStubValue(std::string_view field);
// The list value: strings one after another up to an empty one (or the end
// of the block).
std::vector<std::string> ParseStubList(std::string_view field);

// The bytes that follow the marker's zero byte when `values` is stored, padded
// with zeros to `available` bytes. A single value takes one string; a list
// stores each string zero-terminated and an empty string after them. False
// (and nothing built) when the layout does not fit, a string holds a zero
// byte, or a list entry is empty.
bool BuildStubValue(const std::vector<std::string>& values, bool isList, std::size_t available,
                    std::string* bytes);

} // namespace config
