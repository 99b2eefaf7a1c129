#include "platform/ShellLink.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/win32/ComThread.h"
#include "platform/win32/Handle.h"

#include <objbase.h>
#include <objidl.h>
#include <shobjidl.h>

namespace plat {

namespace {

// No shell link is anywhere near this large; a larger file is no link.
constexpr std::uint64_t kMaxLinkFile = 1u << 20;

// Owns one COM interface pointer.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_)
            p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T** Out() { return &p_; }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }

private:
    T* p_ = nullptr;
};

bool FailHr(HRESULT result) {
    // A Win32 error carried in the result keeps its number.
    if (HRESULT_FACILITY(result) == FACILITY_WIN32)
        return win::FailWithCode(static_cast<DWORD>(HRESULT_CODE(result)));
    return win::FailWith(kErrInvalidData);
}

bool CreateLink(ComPtr<IShellLinkW>* link) {
    HRESULT result = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellLinkW, reinterpret_cast<void**>(link->Out()));
    return SUCCEEDED(result) ? true : FailHr(result);
}

} // namespace

bool SaveShellLink(const std::wstring& path, const ShellLink& link) {
    win::ComThread com;
    ComPtr<IShellLinkW> shellLink;
    if (!CreateLink(&shellLink))
        return false;
    const std::wstring target = win::WinPath(link.target);
    shellLink->SetPath(target.c_str());
    shellLink->SetArguments(link.arguments.c_str());
    shellLink->SetDescription(link.displayName.c_str());
    if (!link.workingFolder.empty())
        shellLink->SetWorkingDirectory(win::WinPath(link.workingFolder).c_str());
    const std::wstring icon = link.iconFile.empty() ? target : win::WinPath(link.iconFile);
    shellLink->SetIconLocation(icon.c_str(), link.iconIndex);
    ComPtr<IPersistFile> file;
    HRESULT result =
        shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()));
    if (FAILED(result))
        return FailHr(result);
    // Saved under a new name beside the link, then moved over whatever is at
    // the path: a link found there is replaced, never written through.
    const std::wstring native = win::WinPath(path);
    const std::wstring temp = TempNameBeside(native) + L".lnk";
    result = file->Save(temp.c_str(), TRUE);
    if (FAILED(result)) {
        ::DeleteFileW(temp.c_str());
        return FailHr(result);
    }
    if (!::MoveFileExW(temp.c_str(), native.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DWORD error = ::GetLastError();
        ::DeleteFileW(temp.c_str());
        return win::FailWithCode(error);
    }
    return true;
}

bool LoadShellLink(const std::wstring& path, ShellLink* link) {
    const std::wstring native = win::WinPath(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(native.c_str(), GetFileExInfoStandard, &data))
        return win::FailWithSystemError();
    const std::uint64_t size =
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if ((data.dwFileAttributes &
         (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) ||
        size > kMaxLinkFile)
        return win::FailWith(kErrInvalidData);
    win::ComThread com;
    ComPtr<IShellLinkW> shellLink;
    if (!CreateLink(&shellLink))
        return false;
    ComPtr<IPersistFile> file;
    HRESULT result =
        shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()));
    if (FAILED(result))
        return FailHr(result);
    result = file->Load(native.c_str(), STGM_READ);
    if (FAILED(result))
        return win::FailWith(kErrInvalidData);
    *link = ShellLink();
    // Texts as stored: no resolving of the target, no expanding of
    // variables.
    std::wstring buffer(32768, L'\0');
    if (SUCCEEDED(shellLink->GetPath(buffer.data(), static_cast<int>(buffer.size()), nullptr,
                                     SLGP_RAWPATH)))
        link->target = buffer.c_str();
    if (SUCCEEDED(shellLink->GetArguments(buffer.data(), static_cast<int>(buffer.size()))))
        link->arguments = buffer.c_str();
    if (SUCCEEDED(shellLink->GetWorkingDirectory(buffer.data(), static_cast<int>(buffer.size()))))
        link->workingFolder = buffer.c_str();
    if (SUCCEEDED(shellLink->GetDescription(buffer.data(), static_cast<int>(buffer.size()))))
        link->displayName = buffer.c_str();
    int index = 0;
    if (SUCCEEDED(
            shellLink->GetIconLocation(buffer.data(), static_cast<int>(buffer.size()), &index))) {
        link->iconFile = buffer.c_str();
        link->iconIndex = index;
    }
    if (link->displayName.empty()) {
        std::wstring name = FileNameOf(native);
        std::size_t dot = name.find_last_of(L'.');
        link->displayName = dot == std::wstring::npos ? name : name.substr(0, dot);
    }
    return true;
}

bool SetFolderIcon(const std::wstring& folder, const std::wstring& iconFile, int iconIndex) {
    std::wstring native = win::WinPath(folder);
    while (native.size() > 3 && native.back() == L'\\')
        native.pop_back();
    // The shell reads desktop.ini (UTF-16 with its byte-order mark) only in
    // a folder marked read-only or system (system here: read-only would
    // also keep the folder from being deleted later), and keeps the file
    // hidden.
    std::wstring text = L"\xFEFF[.ShellClassInfo]\r\nIconResource=" + win::WinPath(iconFile) +
                        L"," + std::to_wstring(iconIndex) + L"\r\nIconFile=" +
                        win::WinPath(iconFile) + L"\r\nIconIndex=" + std::to_wstring(iconIndex) +
                        L"\r\n";
    std::string bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    const std::wstring settings = native + L"\\" + kFolderSettingsFile;
    // A hidden system file cannot be replaced by rename until it is plain.
    DWORD old = ::GetFileAttributesW(settings.c_str());
    if (old != INVALID_FILE_ATTRIBUTES && !(old & FILE_ATTRIBUTE_REPARSE_POINT))
        ::SetFileAttributesW(settings.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!WriteWholeFile(settings, bytes.data(), bytes.size()))
        return false;
    ::SetFileAttributesW(settings.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        ::SetFileAttributesW(native.c_str(), (attributes | FILE_ATTRIBUTE_SYSTEM) &
                                                 ~DWORD{FILE_ATTRIBUTE_DIRECTORY});
    ::SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, native.c_str(), nullptr);
    return true;
}

} // namespace plat
