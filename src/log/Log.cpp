#include "log/Log.h"

#include "base/Strings.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"

#include <algorithm>

CLog::CLog() {
    SetFill(fill_, lineWidth_);
}

CLog::~CLog() = default;

bool CLog::OpenAppend(const std::wstring& path) {
    if (!file_.Open(path, plat::kReadWrite, plat::Disposition::OpenAlways))
        return false;
    if (!file_.Seek(0, plat::SeekFrom::End)) {
        file_.Close();
        return false;
    }
    return true;
}

bool CLog::Open(const std::string& path) {
    if (file_.IsOpen())
        return false;
    path_ = path;
    const std::size_t cut = path.find_last_of("\\/");
    folder_ = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    if (!folder_.empty())
        plat::CreateDirectory(plat::Utf8ToWide(folder_));
    return OpenAppend(plat::Utf8ToWide(path));
}

bool CLog::Open(const std::wstring& path) {
    if (file_.IsOpen())
        return false;
    path_.clear(); // a file opened this way is never rotated
    wideFolder_ = plat::FolderOf(path);
    if (!wideFolder_.empty())
        plat::CreateDirectory(wideFolder_);
    return OpenAppend(path);
}

void CLog::Close() {
    file_.Close();
    wideFolder_.clear();
}

bool CLog::Rotate() {
    if (!file_.IsOpen() || path_.empty())
        return false;
    std::uint64_t size = 0;
    if (!file_.Size(&size))
        return false;
    if (size == 0)
        return true;
    file_.Close();
    const std::wstring path = plat::Utf8ToWide(path_);
    for (int i = 0; i < kMaxRotatedNames; ++i) {
        const std::wstring rotated = plat::Utf8ToWide(path_ + base::Format(".%03d", i));
        if (plat::GetFileAttributes(rotated) != plat::kInvalidAttributes)
            continue;
        plat::MoveFile(path, rotated);
        break;
    }
    return OpenAppend(path);
}

std::string_view CLog::CutBlock(const void* data, std::size_t length, std::string* joined) const {
    const char* bytes = static_cast<const char*>(data);
    if (maxBlock_ == 0 || length <= maxBlock_)
        return {bytes, length};
    joined->assign(bytes, maxBlock_);
    joined->append(kTooLargeMark);
    return *joined;
}

bool CLog::WriteFileBytes(const void* data, std::size_t length) {
    return file_.Write(data, length);
}

bool CLog::WriteBlock(const void* data, std::size_t length) {
    if (!file_.IsOpen())
        return false;
    std::string joined;
    const std::string_view block = CutBlock(data, length, &joined);
    return WriteFileBytes(block.data(), block.size());
}

void CLog::SetFill(char fill, int lineWidth) {
    fill_ = fill;
    lineWidth_ = std::max(lineWidth, 0);
    fillText_.assign(1, ' ');
    fillText_.append(static_cast<std::size_t>(lineWidth_), fill_);
}

bool CLog::WriteSectionHeader(std::string_view title) {
    if (!title.empty() && !WriteText(title))
        return false;
    std::string line;
    if (clock_)
        line = clock_->Text();
    const long long width = static_cast<long long>(lineWidth_) -
                            static_cast<long long>(line.size()) -
                            static_cast<long long>(title.size());
    const std::size_t start = title.empty() ? 1 : 0;
    const std::size_t fill =
        std::min(static_cast<std::size_t>(std::max(width, 3LL)), fillText_.size() - start);
    line.insert(0, fillText_, start, fill);
    line += "\r\n";
    return WriteText(line);
}

bool CLog::WriteSectionEnd() {
    std::string ends;
    for (int i = 0; i < sectionGap_; ++i)
        ends += "\r\n";
    if (!WriteText(ends))
        return false;
    if (flushAfterSection_)
        file_.Flush();
    return true;
}

bool CLog::WriteNumberLine(std::int64_t value) {
    return WriteText(base::Format("%lld\r\n", static_cast<long long>(value)));
}

void CLog::SetClock(std::int64_t offsetMs, int zoneSeconds) {
    if (!clock_)
        clock_ = std::make_unique<CLogClock>();
    clock_->Set(offsetMs, zoneSeconds);
}

bool CLog::WriteByteOrderMarkIfNew() {
    std::uint64_t size = 0;
    if (!file_.IsOpen() || !file_.Size(&size))
        return false;
    if (size != 0 && size != 8)
        return true;
    return WriteText("\xEF\xBB\xBF");
}
