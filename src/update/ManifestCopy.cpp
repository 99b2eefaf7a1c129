#include "update/ManifestCopy.h"

#include "log/LogImplW.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace update {

namespace {

// Shorter folder texts cannot name an installation (a drive root is "C:\").
constexpr std::size_t kMinInstallDirLength = 4;

} // namespace

std::wstring ManifestCopyPath(const std::wstring& installDir) {
    return plat::JoinPath(installDir, L"update.xml");
}

bool SaveManifestCopy(const std::wstring& installDir, const std::string& text, CLogImplW* log) {
    if (installDir.size() < kMinInstallDirLength || text.empty())
        return false;
    bool written = plat::WriteWholeFile(ManifestCopyPath(installDir), text.data(), text.size());
    if (log)
        log->Write(L"Save update.xml", true);
    return written;
}

bool LoadManifestCopy(const std::wstring& installDir, std::string* text, CLogImplW* log) {
    text->clear();
    if (log)
        log->Write(L"Load old update.xml", true);
    if (!plat::ReadWholeFile(ManifestCopyPath(installDir), text)) {
        text->clear();
        return false;
    }
    return true;
}

} // namespace update
