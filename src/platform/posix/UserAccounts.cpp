#include "platform/posix/UserAccounts.h"

#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace plat::posix {

bool LookUpUser(std::uint32_t uid, UserAccount* account) {
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        !found)
        return false;
    account->name = found->pw_name ? found->pw_name : "";
    account->gid = static_cast<std::uint32_t>(found->pw_gid);
    account->home.clear();
    if (found->pw_dir && found->pw_dir[0] == '/') {
        account->home = found->pw_dir;
        while (account->home.size() > 1 && account->home.back() == '/')
            account->home.pop_back();
    }
    return true;
}

} // namespace plat::posix
