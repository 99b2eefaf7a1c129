#include "update/CheckerRules.h"

#include "base/Strings.h"

namespace update {

namespace {

// Starting point of the search for the smallest increment.
constexpr std::uint32_t kNoIncrementSize = 1000000000;

std::wstring_view ExtensionOf(std::wstring_view name) {
    const std::size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot + 1);
}

} // namespace

bool ClientVersionsAgree(std::wstring_view a, std::wstring_view b) {
    int dots = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i])
            return false;
        if (a[i] == L'.' && ++dots == 2)
            return true;
    }
    return false;
}

std::set<std::wstring> ChooseNeededPackages(const ChangedList& changed,
                                            std::vector<IncrementPackage>* increments,
                                            const ManifestPackageMap& packages) {
    std::set<std::wstring> needed;
    for (const auto& [path, package] : changed)
        needed.insert(package);

    const IncrementPackage* best = nullptr;
    std::uint32_t bestSize = kNoIncrementSize;
    for (IncrementPackage& increment : *increments) {
        for (const auto& entry : changed) {
            if (increment.files.count(entry.first) == 0) {
                increment.usable = false;
                break;
            }
        }
        if (increment.usable && increment.size < bestSize) {
            best = &increment;
            bestSize = increment.size;
        }
    }
    if (!best)
        return needed;

    std::uint64_t total = 0;
    for (const std::wstring& package : needed) {
        const auto found = packages.find(package);
        if (found != packages.end())
            total += found->second.size;
    }
    if (total >= best->size)
        return {best->file};
    return needed;
}

bool CleanupSkipsFile(std::wstring_view fullPath, std::wstring_view name) {
    return fullPath.size() < 5 || base::EqualsNoCase(ExtensionOf(name), L"log");
}

bool CleanupSparesLauncherFile(std::wstring_view relativePath) {
    static constexpr std::wstring_view kStateFiles[] = {
        L"guest.dat",
        L"update.xml",
        L"cud.dat",
        L"cif.dat",
        L"addpkg.dat",
        L"applist.dat",
        L"silent.dat",
        L"uninstall.dat",
        // The change journal: without it every action would run again.
        L"changes.dat",
        // The last release sequence accepted: without it an older signed
        // release could be replayed.
        L"update.seq",
    };
    if (relativePath.rfind(L"tmp\\", 0) == 0)
        return true;
    for (std::wstring_view name : kStateFiles) {
        if (relativePath == name)
            return true;
    }
    return false;
}

bool CleanupKeepsUnlistedFile(const std::wstring& relativePath, std::wstring_view name,
                              const std::set<std::wstring>& ignoredPaths,
                              const std::set<std::wstring>& ignoredNames) {
    const std::wstring lowerName = base::ToLowerAscii(name);
    if (ignoredPaths.count(relativePath) != 0 || ignoredNames.count(lowerName) != 0)
        return true;
    if (lowerName.empty() || lowerName.front() == L'.' ||
        lowerName.find(L'.') == std::wstring::npos)
        return false;
    return ignoredNames.count(L"*." + std::wstring(ExtensionOf(lowerName))) != 0;
}

} // namespace update
