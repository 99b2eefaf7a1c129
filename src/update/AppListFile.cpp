#include "update/AppListFile.h"

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"

#include <string_view>

namespace update {

namespace {

// The UTF-16LE text of a field up to its first zero unit.
std::wstring DecodeField(std::string_view field) {
    std::size_t length = 0;
    while (length + 1 < field.size() && (field[length] != '\0' || field[length + 1] != '\0'))
        length += 2;
    return plat::Utf16LeToWide(field.substr(0, length));
}

} // namespace

std::wstring AppListPathIn(const std::wstring& installDir) {
    return plat::JoinPath(installDir, L"applist.dat");
}

bool ReadAppListFile(const std::wstring& path, std::vector<AppListRecord>* records) {
    records->clear();
    std::string bytes;
    if (!plat::FileExists(path) || !plat::ReadWholeFile(path, &bytes))
        return false;
    if (bytes.size() % kAppListRecordSize != 0)
        return false;
    const std::string_view all(bytes);
    for (std::size_t pos = 0; pos < all.size(); pos += kAppListRecordSize) {
        const std::string_view record = all.substr(pos, kAppListRecordSize);
        records->push_back({DecodeField(record.substr(0, kAppListNameBytes)),
                            DecodeField(record.substr(kAppListNameBytes))});
    }
    return true;
}

} // namespace update
