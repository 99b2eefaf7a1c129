#include "skin/ThemeFonts.h"

#include "log/LogImplW.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Font.h"
#include "platform/Unicode.h"

#include <random>

namespace {

constexpr const char* kFontsFolder = "fonts\\";

} // namespace

CThemeFonts::~CThemeFonts() {
    // Nothing of a run's fonts stays behind, whatever way it ends.
    if (!files_.empty() || !folder_.empty())
        UninitFonts();
}

void CThemeFonts::Log(const std::wstring& text, bool newLine) {
    if (log_)
        log_->Write(text, newLine);
}

bool CThemeFonts::IsPlainFileName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..")
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || c == '\\' || c == '/' || c == ':')
            return false;
    return true;
}

bool CThemeFonts::MakeFolder() {
    if (!folder_.empty())
        return true;
    const std::wstring temp = plat::GetTempFolder();
    if (temp.empty())
        return false;
    // A fresh, unguessable name inside the private temporary folder (which
    // nobody else can write to); a name already taken is never reused.
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        wchar_t name[32];
        std::swprintf(name, 32, L"FNT%08X%08X", random(), random());
        const std::wstring folder = temp + name;
        if (plat::GetFileAttributes(folder) == plat::kInvalidAttributes &&
            plat::EnsurePrivateFolder(folder)) {
            folder_ = folder + L"/";
            return true;
        }
    }
    return false;
}

void CThemeFonts::UnpackFonts(const std::vector<std::string>& memberNames,
                              const config::IMemberSource& members,
                              const std::string& themeFolder) {
    Log(L"Unpack fonts to temp");
    files_.clear();
    const std::string prefix = themeFolder + kFontsFolder;
    for (const std::string& name : memberNames) {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string rest = name.substr(prefix.size());
        Log(L"  " + plat::Utf8ToWide(name) + L" to ", false);
        if (!IsPlainFileName(rest)) {
            Log(L"(refused: not a plain file name)");
            continue;
        }
        if (!MakeFolder()) {
            Log(L"(no private folder)");
            continue;
        }
        const std::wstring target = folder_ + plat::Utf8ToWide(rest);
        files_.push_back(target);
        Log(target);
        std::string bytes;
        plat::File file;
        if (!members.GetMember(name, &bytes) ||
            !file.Open(target, plat::kWrite, plat::Disposition::CreateNew))
            continue;
        written_.push_back(target);
        if (!file.Write(bytes.data(), bytes.size()))
            continue;
    }
}

void CThemeFonts::InitFonts() {
    Log(L"Init fonts");
    for (const std::wstring& path : files_) {
        Log(L"  " + path, false);
        Log(plat::AddPrivateFont(path) > 0 ? L" .. OK" : L" .. Fail");
    }
}

void CThemeFonts::UninitFonts() {
    Log(L"Uninit fonts");
    for (const std::wstring& path : files_) {
        Log(L"  " + path, false);
        Log(plat::RemovePrivateFont(path) ? L" .. OK" : L" .. Fail");
    }
    files_.clear();
    RemoveFolder();
}

void CThemeFonts::RemoveFolder() {
    for (const std::wstring& path : written_)
        plat::DeleteFile(path);
    written_.clear();
    if (!folder_.empty()) {
        plat::RemoveDirectory(folder_.substr(0, folder_.size() - 1));
        folder_.clear();
    }
}
