#include "platform/win32/Handle.h"

namespace plat::win {

std::vector<unsigned char> CurrentUserSid() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        FailWithSystemError();
        return {};
    }
    Handle token(raw);
    DWORD needed = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &needed);
    if (needed == 0 || needed > 4096) {
        FailWith(kErrInvalidData);
        return {};
    }
    std::vector<unsigned char> buffer(needed);
    if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), needed, &needed)) {
        FailWithSystemError();
        return {};
    }
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    DWORD length = ::GetLengthSid(sid);
    const auto* bytes = static_cast<const unsigned char*>(sid);
    return std::vector<unsigned char>(bytes, bytes + length);
}

std::uint32_t SidUserNumber(PSID sid) {
    if (sid == nullptr || !::IsValidSid(sid))
        return 0;
    UCHAR count = *::GetSidSubAuthorityCount(sid);
    if (count == 0)
        return 0;
    return static_cast<std::uint32_t>(*::GetSidSubAuthority(sid, count - 1u));
}

} // namespace plat::win
