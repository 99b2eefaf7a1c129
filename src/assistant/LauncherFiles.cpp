#include "assistant/LauncherFiles.h"

#include "base/Strings.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace assistant {

namespace {

// Attempts at finding an unused name for the copy in progress.
constexpr int kTempNameAttempts = 16;

// Removes a copy that did not make it, keeping the error of the failure.
void DiscardTemp(const std::wstring& temp) {
    plat::ErrorCode error = plat::GetLastError();
    if (!plat::DeleteFile(temp)) {
        plat::SetFileAttributes(temp, plat::kAttrNormal);
        plat::DeleteFile(temp);
    }
    plat::SetLastError(error);
}

// Copies the source to a fresh temporary file beside the target; the
// temporary path on success.
bool CopyToTemp(const std::wstring& source, const std::wstring& target, std::wstring* temp) {
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        *temp = plat::TempNameBeside(target);
        if (plat::CopyFile(source, *temp, true))
            return true;
        if (plat::GetLastError() == plat::kErrFileExists)
            continue; // a leftover of an earlier run with the same number
        if (plat::FileExists(*temp))
            DiscardTemp(*temp);
        return false;
    }
    return false;
}

} // namespace

bool IsLauncherName(const std::wstring& exePath) {
    return base::EqualsNoCase(plat::FileNameOf(exePath), kLauncherFileName);
}

bool IsTempLauncherName(const std::wstring& exePath) {
    return base::EqualsNoCase(plat::FileNameOf(exePath), kTempLauncherFileName);
}

bool CopyFileWhole(const std::wstring& source, const std::wstring& target) {
    if (!plat::FileExists(source)) {
        if (plat::DirectoryExists(source))
            plat::SetLastError(plat::kErrAccessDenied);
        else
            plat::SetLastError(plat::kErrFileNotFound);
        return false;
    }
    std::wstring temp;
    if (!CopyToTemp(source, target, &temp))
        return false;

    // Windows refuses to replace a read-only file; clear it only now, when
    // the new bytes are complete, and put it back when the move fails.
    std::uint32_t attributes = plat::GetFileAttributes(target);
    bool readOnly = attributes != plat::kInvalidAttributes &&
                    (attributes & plat::kAttrDirectory) == 0 &&
                    (attributes & plat::kAttrReadOnly) != 0;
    if (readOnly)
        plat::SetFileAttributes(target, attributes & ~plat::kAttrReadOnly);
    if (!plat::MoveFile(temp, target, plat::kMoveReplaceExisting)) {
        plat::ErrorCode error = plat::GetLastError();
        if (readOnly)
            plat::SetFileAttributes(target, attributes);
        plat::SetLastError(error);
        DiscardTemp(temp);
        return false;
    }
    return true;
}

std::wstring BuildRestartCommandLine(const std::wstring& installFolder,
                                     const std::wstring& fileName, bool fast, bool autoMode) {
    std::wstring line = L"\"" + plat::JoinPath(installFolder, fileName) + L"\"";
    if (fast)
        line += L" /fast";
    line += L" /restart";
    if (autoMode)
        line += L" /auto";
    return line;
}

} // namespace assistant
