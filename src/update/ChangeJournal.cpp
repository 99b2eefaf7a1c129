#include "update/ChangeJournal.h"

#include "config/CudFile.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/FileVersionBlock.h"

namespace update {

namespace {

constexpr std::size_t kVersionValues = 4;

std::int32_t ReadLe32(const char* bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return static_cast<std::int32_t>(value);
}

std::int32_t ParseSigned(std::string_view part) {
    // Like atoi: blanks, a sign, then digits up to the first other character.
    std::size_t at = 0;
    while (at < part.size() && (part[at] == ' ' || part[at] == '\t'))
        ++at;
    bool negative = false;
    if (at < part.size() && (part[at] == '-' || part[at] == '+'))
        negative = part[at++] == '-';
    std::int64_t value = 0;
    while (at < part.size() && part[at] >= '0' && part[at] <= '9') {
        value = value * 10 + (part[at++] - '0');
        if (value > 0x7FFFFFFF)
            value = 0x7FFFFFFF;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

} // namespace

VersionNumbers ParseVersionText(std::string_view text) {
    VersionNumbers numbers{};
    std::size_t index = 0;
    std::size_t start = 0;
    while (index < numbers.size() && start <= text.size()) {
        std::size_t dot = text.find('.', start);
        std::string_view part = text.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (!part.empty())
            numbers[index++] = ParseSigned(part);
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    return numbers;
}

int CompareVersions(const VersionNumbers& a, const VersionNumbers& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

bool ReadClientFileVersion(const std::wstring& path, std::string* version) {
    plat::FileVersion numbers;
    if (!plat::ReadFileVersionOfFile(path, &numbers))
        return false;
    *version = plat::FileVersionText(numbers);
    return true;
}

CChangeJournal::CChangeJournal(std::wstring installFolder, std::wstring clientExe)
    : folder_(std::move(installFolder)), clientExe_(std::move(clientExe)) {}

std::wstring CChangeJournal::Path() const {
    return plat::JoinPath(folder_, kJournalFileName);
}

CChangeJournal::LoadState CChangeJournal::Load() {
    values_.clear();
    damagedSize_ = 0;
    const std::wstring path = Path();
    state_ = LoadState::Loaded;
    plat::File file;
    std::uint64_t size = 0;
    std::string bytes;
    if (!file.Open(path, plat::kRead, plat::Disposition::OpenExisting)) {
        const plat::ErrorCode error = plat::GetLastError();
        if (error == plat::kErrFileNotFound || error == plat::kErrPathNotFound) {
            // A folder that never had a journal gets an empty one.
            config::ReplaceFileContents(path, {});
            state_ = LoadState::Created;
        } else {
            state_ = LoadState::Damaged;
        }
    } else if (!file.Size(&size) || size > kMaxJournalBytes) {
        state_ = LoadState::Damaged;
    } else {
        bytes.resize(static_cast<std::size_t>(size));
        std::size_t done = 0;
        if (!file.Read(bytes.data(), bytes.size(), &done) || done != bytes.size())
            state_ = LoadState::Damaged;
        // A whole journal has no remainder and holds the version when it
        // holds anything; anything else was torn or written by another hand.
        else if (size % 4 != 0 || (size != 0 && size < 4 * kVersionValues))
            state_ = LoadState::Damaged;
    }
    if (state_ == LoadState::Damaged) {
        damagedSize_ = size;
        bytes.clear();
    }
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4)
        values_.push_back(ReadLe32(bytes.data() + at));
    while (values_.size() < kVersionValues)
        values_.push_back(0);
    return state_;
}

bool CChangeJournal::Save() const {
    std::string bytes;
    bytes.reserve(values_.size() * 4);
    for (std::int32_t value : values_) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8)
            bytes += static_cast<char>((bits >> shift) & 0xFFu);
    }
    return config::ReplaceFileContents(Path(), bytes) == config::FileReplaceResult::kWritten;
}

bool CChangeJournal::UpdateVersion() {
    Load();
    std::string text;
    if (!ReadClientFileVersion(plat::JoinPath(folder_, clientExe_), &text))
        return false;
    const VersionNumbers numbers = ParseVersionText(text);
    for (std::size_t i = 0; i < kVersionValues; ++i)
        values_[i] = numbers[i];
    return Save();
}

VersionNumbers CChangeJournal::Version() const {
    return VersionNumbers{values_[0], values_[1], values_[2], values_[3]};
}

bool CChangeJournal::HasId(std::int32_t id) const {
    for (std::size_t i = kVersionValues; i < values_.size(); ++i) {
        if (values_[i] == id)
            return true;
    }
    return false;
}

bool CChangeJournal::IsActionApplicable(std::int32_t id, std::string_view verStart,
                                        std::string_view verEnd) const {
    const VersionNumbers version = Version();
    if (version[0] != 0 || version[1] != 0 || version[2] != 0) {
        if (!verStart.empty() && CompareVersions(version, ParseVersionText(verStart)) < 0)
            return false;
        if (!verEnd.empty() && CompareVersions(version, ParseVersionText(verEnd)) > 0)
            return false;
    }
    return id == 0 || !HasId(id);
}

bool CChangeJournal::MarkActionApplied(std::int32_t id) {
    if (id == 0)
        return true;
    if (!HasId(id))
        values_.push_back(id);
    return Save();
}

} // namespace update
