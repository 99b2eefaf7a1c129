#include "platform/TempFileName.h"

#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace plat {

namespace {

// Four hex digits, as Windows gives: the numbers are tried in turn from a
// start that differs between processes and calls.
constexpr unsigned kNameSpace = 0x10000;
std::atomic<unsigned> g_counter{0};

} // namespace

bool MakeTempFileName(const std::wstring& folder, const std::wstring& prefix, std::wstring* path) {
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    unsigned start = static_cast<unsigned>(now) ^ (static_cast<unsigned>(::getpid()) << 4) ^
                     (g_counter.fetch_add(1) * 7919u);
    for (unsigned i = 0; i < kNameSpace; ++i) {
        unsigned number = (start + i) % kNameSpace;
        if (number == 0)
            continue;
        wchar_t digits[8];
        std::swprintf(digits, 8, L"%X", number);
        std::wstring candidate = JoinPath(folder, prefix + digits + L".tmp");
        int fd = ::open(WideToUtf8(candidate).c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            *path = candidate;
            return true;
        }
        if (errno != EEXIST) {
            posix::SetLastErrno(errno);
            return false;
        }
    }
    SetLastError(kErrFileExists);
    return false;
}

} // namespace plat
