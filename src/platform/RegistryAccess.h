#pragma once
// Who may change a key of the registry store: the stand-in for a key's
// security descriptor. Any thread.

#include "platform/Registry.h"

#include <cstdint>
#include <string>

namespace plat {

// Creates the key when it is missing and makes the user this process works
// for (Elevation.h) its owner, with read and write access, so that user's
// launcher may change the key's values and subkeys without elevation. A
// root itself cannot be given away (5).
bool GrantRegistryKeyToInvokingUser(RegistryRoot root, const std::wstring& path);

// The user id that owns the key; false when it does not exist.
bool GetRegistryKeyOwner(RegistryRoot root, const std::wstring& path, std::uint32_t* owner);

} // namespace plat
