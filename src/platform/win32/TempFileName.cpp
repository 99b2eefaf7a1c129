#include "platform/TempFileName.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/win32/Handle.h"

#include <atomic>
#include <cwchar>

namespace plat {

namespace {

// As GetTempFileName: four hex digits, never zero.
constexpr unsigned kNameSpace = 0x10000;
std::atomic<unsigned> g_counter{0};

} // namespace

// The whole prefix is kept (GetTempFileName itself keeps three letters of
// it), so the names read as the launcher's everywhere.
bool MakeTempFileName(const std::wstring& folder, const std::wstring& prefix, std::wstring* path) {
    unsigned start = static_cast<unsigned>(::GetTickCount64()) ^
                     (static_cast<unsigned>(::GetCurrentProcessId()) << 4) ^
                     (g_counter.fetch_add(1) * 7919u);
    for (unsigned i = 0; i < kNameSpace; ++i) {
        unsigned number = (start + i) % kNameSpace;
        if (number == 0)
            continue;
        wchar_t digits[8];
        std::swprintf(digits, 8, L"%X", number);
        std::wstring candidate = JoinPath(folder, prefix + digits + L".tmp");
        HANDLE h = ::CreateFileW(win::WinPath(candidate).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
            *path = candidate;
            return true;
        }
        DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return win::FailWithCode(error);
    }
    return win::FailWith(kErrFileExists);
}

} // namespace plat
