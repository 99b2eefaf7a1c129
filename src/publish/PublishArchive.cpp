#include "publish/PublishArchive.h"

#include "base/Crc32.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/Unicode.h"

#include <vector>

namespace publish {

bool ReadFileBlocks(const std::wstring& path,
                    const std::function<bool(const char* data, std::size_t size)>& sink,
                    std::string* error) {
    plat::File file;
    if (!file.Open(path, plat::kRead, plat::Disposition::OpenExisting)) {
        *error = PublishSystemError("cannot open", path);
        return false;
    }
    std::vector<char> block(kPublishBlockSize);
    for (;;) {
        std::size_t done = 0;
        if (!file.Read(block.data(), block.size(), &done)) {
            *error = PublishSystemError("cannot read", path);
            return false;
        }
        if (done == 0)
            return true;
        if (!sink(block.data(), done))
            return false;
    }
}

bool DigestFile(const std::wstring& path, PublishDigest* digest, std::string* error) {
    PublishDigest sum;
    bool ok = ReadFileBlocks(
        path,
        [&](const char* data, std::size_t size) {
            sum.crc = base::Crc32(data, size, sum.crc);
            sum.size += size;
            return true;
        },
        error);
    if (ok)
        *digest = sum;
    return ok;
}

std::string PublishSystemError(const std::string& what, const std::wstring& path) {
    plat::ErrorCode code = plat::GetLastError();
    std::string text = what + " " + plat::WideToUtf8(path);
    std::string message = plat::WideToUtf8(plat::ErrorMessageText(code));
    if (!message.empty())
        text += ": " + message;
    return text + " (error " + std::to_string(code) + ")";
}

} // namespace publish
