#include "update/AddPkg.h"

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"

namespace update {

namespace {

// The record of a name: its UTF-16LE form padded (or cut) to a record.
std::string EncodeRecord(const std::wstring& name) {
    std::string record = plat::WideToUtf16Le(name);
    record.resize(CAddPkg::kRecordSize, '\0');
    return record;
}

bool FitsRecord(const std::wstring& name) {
    return plat::WideToUtf16Le(name).size() <= CAddPkg::kMaxNameUnits * 2;
}

std::wstring DecodeRecord(std::string_view record) {
    std::size_t length = 0;
    while (length + 1 < record.size() && (record[length] != '\0' || record[length + 1] != '\0'))
        length += 2;
    return plat::Utf16LeToWide(record.substr(0, length));
}

} // namespace

std::wstring CAddPkg::PathIn(const std::wstring& installDir) {
    return plat::JoinPath(installDir, L"addpkg.dat");
}

bool CAddPkg::Load() {
    names_.clear();
    std::string bytes;
    if (!plat::FileExists(path_) || !plat::ReadWholeFile(path_, &bytes))
        return false;
    if (bytes.size() % kRecordSize != 0)
        return false;
    const std::string_view all(bytes);
    for (std::size_t pos = 0; pos < all.size(); pos += kRecordSize) {
        std::wstring name = DecodeRecord(all.substr(pos, kRecordSize));
        if (!name.empty())
            names_.insert(std::move(name));
    }
    return true;
}

bool CAddPkg::Add(const std::wstring& name) {
    if (name.empty() || !FitsRecord(name))
        return false;
    if (!names_.insert(name).second)
        return true;

    // The file gains one record; the whole file is written anew beside it
    // and renamed over it, so a kill never leaves half a record and a link
    // at its place is replaced, never followed.
    std::string bytes;
    if (plat::FileExists(path_) && !plat::IsLink(path_) && !plat::ReadWholeFile(path_, &bytes))
        return false;
    if (bytes.size() % kRecordSize != 0)
        return false;
    bytes += EncodeRecord(name);
    return plat::WriteWholeFile(path_, bytes.data(), bytes.size());
}

bool CAddPkg::Rewrite() const {
    std::string bytes;
    // A loaded name may fill its record without a closing zero; it is
    // written back the same way.
    for (const std::wstring& name : names_)
        bytes += EncodeRecord(name);
    return plat::WriteWholeFile(path_, bytes.data(), bytes.size());
}

} // namespace update
