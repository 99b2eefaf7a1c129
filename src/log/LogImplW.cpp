#include "log/LogImplW.h"

#include "log/LogText.h"
#include "platform/Time.h"
#include "platform/Unicode.h"

bool CLogImplW::Open(const std::wstring& path) {
    if (file_.IsOpen() || path.empty())
        return false;
    if (!file_.Open(path, plat::kReadWrite, plat::Disposition::OpenAlways))
        return false;
    return Truncate();
}

void CLogImplW::Close() {
    file_.Close();
}

bool CLogImplW::IsOpen() const {
    return file_.IsOpen();
}

bool CLogImplW::Truncate() {
    if (!file_.Seek(0, plat::SeekFrom::Begin))
        return false;
    return file_.SetEndOfFile();
}

bool CLogImplW::CanWrite(bool* skip) const {
    *skip = false;
    if (!file_.IsOpen())
        return false;
    *skip = muted_.load(std::memory_order_relaxed);
    return true;
}

void CLogImplW::Encode(std::wstring_view text, std::string* out) const {
    if (utf8_.load(std::memory_order_relaxed))
        out->append(plat::WideToUtf8(text));
    else
        out->append(plat::WideToUtf16Le(text));
}

bool CLogImplW::Emit(const std::string& bytes, bool flush) {
    if (!file_.Write(bytes.data(), bytes.size()))
        return false;
    if (flush && autoFlush_.load(std::memory_order_relaxed))
        file_.Flush();
    return true;
}

bool CLogImplW::WriteBanner(std::wstring_view text, bool newLine) {
    return WriteText(logtext::BuildBannerLine(text), newLine, true);
}

bool CLogImplW::WriteSeparator() {
    return WriteText(std::wstring(logtext::kBannerWidth, L'='), true, true);
}

bool CLogImplW::Write(std::wstring_view text, bool newLine) {
    return WriteText(text, newLine, true);
}

bool CLogImplW::WriteText(std::wstring_view text, bool newLine, bool flush) {
    bool skip = false;
    if (!CanWrite(&skip))
        return false;
    if (skip)
        return true;
    std::string bytes;
    Encode(text, &bytes);
    if (newLine)
        Encode(L"\r\n", &bytes);
    return Emit(bytes, flush);
}

bool CLogImplW::WriteTimePrefix() {
    return WriteText(logtext::FormatTimePrefix(plat::GetLocalTime()), false, false);
}

bool CLogImplW::WriteTimeBanner() {
    return WriteBanner(logtext::FormatTimeText(plat::GetLocalTime()), true);
}

bool CLogImplW::WriteNewLines(int count) {
    bool skip = false;
    if (!CanWrite(&skip))
        return false;
    if (skip)
        return true;
    if (count < 1 || count > 10)
        return false;
    std::wstring ends;
    for (int i = 0; i < count; ++i)
        ends += L"\r\n";
    std::string bytes;
    Encode(ends, &bytes);
    return Emit(bytes, false);
}

bool CLogImplW::SetMuted(bool muted) {
    return muted_.exchange(muted) != muted;
}

bool CLogImplW::IsMuted() const {
    return muted_.load();
}

void CLogImplW::SetAutoFlush(bool autoFlush) {
    autoFlush_.store(autoFlush);
}

void CLogImplW::SetUtf8(bool utf8) {
    utf8_.store(utf8);
}

bool CLogImplW::WriteRaw(std::size_t byteCount, std::wstring_view text) {
    bool skip = false;
    if (!CanWrite(&skip))
        return false;
    if (skip)
        return true;
    std::string bytes;
    if (utf8_.load(std::memory_order_relaxed)) {
        bytes = plat::WideToUtf8(text.substr(0, text.find(L'\0')));
    } else {
        bytes = plat::WideToUtf16Le(text);
        if (byteCount < bytes.size())
            bytes.resize(byteCount);
    }
    return Emit(bytes, false);
}
