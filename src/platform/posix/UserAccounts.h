#pragma once
// The account database: a user's name, group and home folder. Private to the
// POSIX backend; any thread.

#include <cstdint>
#include <string>

namespace plat::posix {

struct UserAccount {
    std::string name;
    std::uint32_t gid = 0;
    std::string home; // absolute, without a trailing separator; empty when unknown
};

// False when the user id has no account.
bool LookUpUser(std::uint32_t uid, UserAccount* account);

} // namespace plat::posix
