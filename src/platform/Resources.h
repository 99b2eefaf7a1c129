#pragma once
// Read-only data blocks of the executable found by a type name and a numeric
// id, as the Windows resource section provides them. On POSIX the executable
// registers its embedded blocks while static objects are constructed (and
// the stub fields register on first use); lookups may then come from any
// thread.

#include <cstddef>

namespace plat {

struct ResourceData {
    const void* data = nullptr;
    std::size_t size = 0;
};

// False with last error 1813 (resource type not found) or 1814 (resource
// name not found) when nothing is registered under the type name and id.
bool FindResource(const char* typeName, int id, ResourceData* out);

// Makes `size` bytes at `data` available under the type name and id. The
// bytes must live as long as the process; a second registration under the
// same type name and id replaces the first.
void RegisterResource(const char* typeName, int id, const void* data, std::size_t size);

} // namespace plat
