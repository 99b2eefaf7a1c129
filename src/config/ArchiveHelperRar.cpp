#include "config/ArchiveHelperRar.h"

#include "config/RarArchive.h"

#include <algorithm>
#include <clocale>

namespace config {

namespace {

// More than any resource archive holds; keeps a hostile archive from
// unpacking without bound.
constexpr std::uint64_t kMaxUnpackedTotal = 256u << 20;

// Unpacks every member in order (the archive is solid: each member continues
// the previous one's state), checking each against its file header.
bool UnpackAll(CRarArchive* archive, std::map<std::string, std::string>* members) {
    const std::vector<RarFileHeader>& headers = archive->Members();
    std::uint64_t total = 0;
    for (const RarFileHeader& header : headers) {
        if (!header.isLink && !header.isDirectory)
            total += header.unpackedSize;
        // Bounded before anything is unpacked.
        if (total > kMaxUnpackedTotal)
            return false;
    }
    for (std::size_t i = 0; i < headers.size(); ++i) {
        const RarFileHeader& header = headers[i];
        std::string name = header.name;
        std::replace(name.begin(), name.end(), '/', '\\');
        if (header.isDirectory || (!name.empty() && name.back() == '\\'))
            continue;
        if (header.isLink)
            return false;
        std::string data;
        data.reserve(static_cast<std::size_t>(header.unpackedSize));
        if (!archive->Extract(i, [&data](const void* bytes, std::size_t size) {
                data.append(static_cast<const char*>(bytes), size);
                return true;
            }))
            return false;
        (*members)[name] = std::move(data);
    }
    return true;
}

} // namespace

bool CArchiveHelperRar::OpenArchive(const void* bytes, std::size_t length) {
    members_.clear();
    CRarArchive archive;
    if (!archive.Open(bytes, length))
        return false;
    std::map<std::string, std::string> members;
    if (!UnpackAll(&archive, &members))
        return false;
    members_ = std::move(members);
    return true;
}

bool CArchiveHelperRar::GetMember(const std::string& name, std::string* bytes) const {
    auto found = members_.find(NormaliseMemberName(name));
    if (found == members_.end())
        return false;
    *bytes = found->second;
    return true;
}

std::vector<std::string> CArchiveHelperRar::MemberNames() const {
    std::vector<std::string> names;
    for (const auto& member : members_)
        names.push_back(member.first);
    return names;
}

std::string NormaliseMemberName(const std::string& name) {
    std::string result;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = name.find('\\', start);
        std::string segment =
            name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (segment == "..") {
            // Back up over the previous segment and its separator.
            std::size_t cut = result.rfind('\\');
            result.erase(cut == std::string::npos ? 0 : cut);
        } else if (start == 0) {
            result = segment;
        } else {
            result += '\\';
            result += segment;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (!result.empty() && result.front() == '\\')
        result.erase(0, 1);
    return result;
}

CArchiveHelperRar& CArchiveHolder::Instance() {
    static CArchiveHelperRar instance;
    return instance;
}

void InitArchiveLocale() {
    std::setlocale(LC_ALL, "C.UTF-8");
}

} // namespace config
