#include "platform/posix/TextFiles.h"

#include "platform/Error.h"
#include "platform/posix/ErrnoMap.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat::posix {

bool ReadSmallFile(const std::string& path, std::size_t limit, std::string* contents) {
    return ReadSmallFileAt(AT_FDCWD, path, limit, contents);
}

bool ReadSmallFileAt(int folderFd, const std::string& name, std::size_t limit,
                     std::string* contents) {
    int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(errno == ELOOP ? kErrInvalidData : ErrnoToError(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) > limit) {
        ::close(fd);
        SetLastError(kErrInvalidData);
        return false;
    }
    std::string data;
    char buffer[16384];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || data.size() + static_cast<std::size_t>(got) > limit) {
            bool failed = got != 0;
            int err = got < 0 ? errno : 0;
            ::close(fd);
            if (failed) {
                SetLastError(err ? ErrnoToError(err) : kErrInvalidData);
                return false;
            }
            *contents = std::move(data);
            return true;
        }
        data.append(buffer, static_cast<std::size_t>(got));
    }
}

bool ReplaceFileContents(const std::string& path, const std::string& contents, mode_t mode) {
    std::size_t slash = path.find_last_of('/');
    std::string temp = (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) +
                       "/.launcher-XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        SetLastErrno(errno);
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    std::size_t done = 0;
    while (ok && done < contents.size()) {
        ssize_t written = ::write(fd, contents.data() + done, contents.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        ok = written > 0;
        if (ok)
            done += static_cast<std::size_t>(written);
    }
    int err = ok ? 0 : (errno ? errno : EIO);
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    if (ok)
        err = errno;
    ::unlink(temp.c_str());
    SetLastErrno(err);
    return false;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

} // namespace plat::posix
