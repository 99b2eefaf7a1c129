#include "platform/PathRules.h"

namespace plat {

bool IsPathSeparator(wchar_t c) {
    return c == L'/';
}

std::size_t AbsoluteRootLength(std::wstring_view path) {
    return !path.empty() && path[0] == L'/' ? 1 : 0;
}

bool HasReservedPathCharacter(std::wstring_view name) {
    return name.find(L'\\') != std::wstring_view::npos;
}

std::wstring PathKey(std::wstring_view path) {
    std::wstring key(path);
    while (key.size() > 1 && key.back() == L'/')
        key.pop_back();
    return key;
}

SystemFolderRules GetSystemFolderRules() {
    SystemFolderRules rules;
    rules.systemTrees = {L"/proc", L"/sys",  L"/dev",  L"/run",       L"/boot",  L"/etc",
                         L"/bin",  L"/sbin", L"/lib",  L"/lib32",     L"/lib64", L"/libx32",
                         L"/usr",  L"/var",  L"/snap", L"/lost+found"};
    rules.gameTrees = {L"/usr/local/games", L"/var/games"};
    rules.sharedTemporary = {L"/tmp", L"/var/tmp", L"/dev/shm"};
    rules.homeHolders = {L"/home"};
    return rules;
}

} // namespace plat
