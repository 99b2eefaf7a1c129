#pragma once
// Turns an arbitrary name into a safe file name for the POSIX backend's named
// objects (mutexes, registry keys). Private to the backend.

#include <cstddef>
#include <string>
#include <string_view>

namespace plat::posix {

// Letters, digits, '-' and '_' stay; every other byte becomes "%XX", so no
// name is path syntax and different names never share a file. A result
// longer than maxLength is cut and ends with '~' and a 16-digit FNV-1a hash
// of the whole input.
std::string EncodeName(std::string_view bytes, std::size_t maxLength);

} // namespace plat::posix
