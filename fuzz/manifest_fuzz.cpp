// Fuzz target for the manifest: the readings of arbitrary text and of packed
// bodies. The first byte chooses the circumstances (platform, language,
// download-only mode, installed add packages); the rest is the body.

#include "config/ArchiveHelperRar.h"
#include "update/Manifest.h"
#include "update/ManifestTransport.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace {

bool HasUpperAscii(const std::wstring& text) {
    for (wchar_t c : text)
        if (c >= L'A' && c <= L'Z')
            return true;
    return false;
}

// Every path key of the tables is lowercased.
void CheckKeys(const update::ManifestFileMap& files) {
    for (const auto& [path, file] : files)
        if (HasUpperAscii(path))
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    config::InitArchiveLocale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t options = data[0];
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string unpacked;
    if (!update::UnpackManifest(body, "update.xml", &unpacked) && !unpacked.empty())
        __builtin_trap();

    const std::set<std::wstring> installed = {L"add.rar", L""};
    update::ManifestReadContext context;
    context.machinePlatform = (options & 1) ? update::kPlatform64 : update::kPlatform32;
    context.language = (options & 2) ? "en" : "";
    context.downloadOnly = (options & 4) != 0;
    context.installedAddPackages = (options & 8) ? &installed : nullptr;

    const std::string* texts[] = {&body, &unpacked};
    for (const std::string* text : texts) {
        update::CManifestDocument document;
        document.Parse(*text);

        update::ManifestFileMap oldFiles;
        update::ReadOldManifest(document, context, &oldFiles);
        CheckKeys(oldFiles);

        update::NewManifestTables tables;
        tables.ignoredNames.insert(L"marker");
        if (update::ReadNewManifest(document, context, &tables)) {
            CheckKeys(tables.files);
            for (const update::IncrementPackage& increment : tables.increments)
                CheckKeys(increment.files);
            for (const std::wstring& name : tables.ignoredNames)
                if (HasUpperAscii(name) || name.empty())
                    __builtin_trap();
        } else if (tables.ignoredNames.count(L"marker") == 0) {
            __builtin_trap(); // a failed reading leaves the tables alone
        }

        update::LauncherInfo info;
        document.ReadLauncherInfo(&info);
    }
    return 0;
}
