#pragma once
// The launcher log: one text file per launcher start. The entry point owns
// the object; the window thread and the worker threads write to it at the
// same time without a lock, each line going out in a single file write so
// that lines of different threads interleave whole. Open and Close happen on
// the main thread while no other thread writes.

#include "platform/File.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

class CLogImplW {
public:
    CLogImplW() = default;
    virtual ~CLogImplW() = default;
    CLogImplW(const CLogImplW&) = delete;
    CLogImplW& operator=(const CLogImplW&) = delete;

    // Opens (or creates) the file and empties it. Fails when a file is
    // already open or the path is empty.
    virtual bool Open(const std::wstring& path);
    virtual void Close();
    virtual bool IsOpen() const;
    // Cuts the file to nothing and goes back to its start.
    virtual bool Truncate();

    // Every write below returns false on a closed log and true at once while
    // the log is muted.

    // The text centred in a line of "=" (see logtext::BuildBannerLine).
    virtual bool WriteBanner(std::wstring_view text, bool newLine);
    // 80 "=" and a line end.
    virtual bool WriteSeparator();
    virtual bool Write(std::wstring_view text, bool newLine);
    // The local time as "d/m/yyyy -- hh:mm:ss  :" without a line end.
    virtual bool WriteTimePrefix();
    // A banner of the local time, with a line end.
    virtual bool WriteTimeBanner();
    // 1 to 10 line ends; any other count writes nothing and fails.
    virtual bool WriteNewLines(int count);
    // True when the flag changed.
    virtual bool SetMuted(bool muted);
    virtual bool IsMuted() const;
    virtual void SetAutoFlush(bool autoFlush);
    virtual void SetUtf8(bool utf8);
    // Without UTF-8: exactly byteCount bytes of the UTF-16LE encoding of the
    // text (never more than the encoding holds). With UTF-8: the text up to
    // its first NUL, converted; byteCount is then ignored.
    virtual bool WriteRaw(std::size_t byteCount, std::wstring_view text);

private:
    // The file state every write checks first: false when closed, true
    // (with `skip` set) when muted.
    bool CanWrite(bool* skip) const;
    // The checks every write makes, then the text (and a line end) in one
    // file write.
    bool WriteText(std::wstring_view text, bool newLine, bool flush);
    // Encodes the text as the log's encoding asks and appends it.
    void Encode(std::wstring_view text, std::string* out) const;
    // Writes the bytes in one go and flushes when asked and enabled.
    bool Emit(const std::string& bytes, bool flush);

    plat::File file_;
    std::atomic<bool> muted_{false};
    std::atomic<bool> autoFlush_{true};
    std::atomic<bool> utf8_{false};
};
