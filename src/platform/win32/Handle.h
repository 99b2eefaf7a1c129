#pragma once
// Small helpers the backend's sources share: a kernel handle that closes
// itself, and the hand-over of the system's last error to the platform's.
// Used on any thread.

#include "platform/win32/WinApi.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plat::win {

// Owns one kernel handle (INVALID_HANDLE_VALUE and null are both "none").
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : m_handle(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    ~Handle() { Reset(); }

    bool Valid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }
    HANDLE Release() { return std::exchange(m_handle, nullptr); }
    void Reset(HANDLE h = nullptr) {
        if (Valid())
            ::CloseHandle(m_handle);
        m_handle = h;
    }

private:
    HANDLE m_handle = nullptr;
};

// Sets a system error number as the platform's last error (1 for none) and
// returns false.
inline bool FailWithCode(DWORD code) {
    plat::SetLastError(code != 0 ? static_cast<ErrorCode>(code) : ErrorCode{kErrInvalidFunction});
    return false;
}

// Copies the system's last error into the platform's and returns false, for
// `return FailWithSystemError();` after a failed call.
inline bool FailWithSystemError() {
    return FailWithCode(::GetLastError());
}

// Sets the platform's last error and returns false.
inline bool FailWith(ErrorCode code) {
    plat::SetLastError(code);
    return false;
}

// Kernel handles carry only 32 significant bits (the system keeps them so
// that 32- and 64-bit processes can share them), so the platform headers'
// int slots hold them: -1 stands for none.
inline int HandleToInt(HANDLE h) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return -1;
    return static_cast<int>(reinterpret_cast<std::intptr_t>(h));
}
inline HANDLE IntToHandle(std::intptr_t value) {
    return value < 0 ? nullptr : reinterpret_cast<HANDLE>(value);
}

// A path as the wide calls take it: "/" turned into "\".
inline std::wstring WinPath(const std::wstring& path) {
    std::wstring out = path;
    for (wchar_t& c : out)
        if (c == L'/')
            c = L'\\';
    return out;
}

// The security identifier of this process's user, copied out of its token.
// Empty on failure (last error set).
std::vector<unsigned char> CurrentUserSid();
// The last sub-authority of a SID: the number the platform reports as a
// user id (the account's relative id).
std::uint32_t SidUserNumber(PSID sid);

} // namespace plat::win
