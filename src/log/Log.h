#pragma once
// An HTTP log: one file per connection context, appended to across starts,
// with section headers, blocks and number lines. Each log belongs to one
// context and is written only from the transport thread.

#include "log/LogClock.h"
#include "platform/File.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CLog {
public:
    // Put after a block cut at the size limit.
    static constexpr std::string_view kTooLargeMark = " ...block is too large...";
    // Names tried by Rotate: path + ".000" to path + ".099".
    static constexpr int kMaxRotatedNames = 100;

    CLog();
    virtual ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Writes the bytes, cut at the block limit when one is set.
    virtual bool WriteBlock(const void* data, std::size_t length);
    // For a non-empty file opened by its narrow path: renames it to the first
    // free "<path>.NNN" and starts a new file under the path.
    virtual bool Rotate();
    // Opens for appending when closed: the folder part (through the last "\"
    // or "/") is created one level deep, its failure ignored. Only the narrow
    // form remembers the path for Rotate.
    virtual bool Open(const std::string& path);
    virtual bool Open(const std::wstring& path);
    virtual void Close();

    bool IsOpen() const { return file_.IsOpen(); }
    bool WriteText(std::string_view text) { return WriteBlock(text.data(), text.size()); }
    // The title (when not empty), a run of the fill character and the clock
    // text, lineWidth characters together (at least three fill characters),
    // and a line end.
    bool WriteSectionHeader(std::string_view title);
    // sectionGap line ends, then a flush when flushAfterSection is set.
    bool WriteSectionEnd();
    // A signed decimal number and a line end.
    bool WriteNumberLine(std::int64_t value);
    // Starts showing the clock in section headers (see CLogClock::Set).
    void SetClock(std::int64_t offsetMs, int zoneSeconds);
    // Writes the UTF-8 byte-order mark into a fresh file: an empty one, or
    // one holding only the header of a new enciphered segment (8 bytes).
    bool WriteByteOrderMarkIfNew();

    void SetFlushAfterSection(bool flush) { flushAfterSection_ = flush; }
    void SetMaxBlock(unsigned maxBlock) { maxBlock_ = maxBlock; }
    void SetSectionGap(int gap) { sectionGap_ = gap; }
    // The fill character and width of section header lines.
    void SetFill(char fill, int lineWidth);

    const std::string& Path() const { return path_; }
    const std::string& Folder() const { return folder_; }
    const std::wstring& WideFolder() const { return wideFolder_; }

protected:
    // The block as it is to be written: the data itself, or, when longer
    // than maxBlock, its first maxBlock bytes and the cut mark joined in
    // `joined`.
    std::string_view CutBlock(const void* data, std::size_t length, std::string* joined) const;
    bool WriteFileBytes(const void* data, std::size_t length);
    plat::File& LogFile() { return file_; }

private:
    bool OpenAppend(const std::wstring& path);

    plat::File file_;
    std::wstring wideFolder_;
    std::string folder_;
    std::string path_;
    bool flushAfterSection_ = true;
    char fill_ = '=';
    int lineWidth_ = 90;
    std::string fillText_; // a blank followed by lineWidth fill characters
    int sectionGap_ = 1;
    unsigned maxBlock_ = 0;
    std::unique_ptr<CLogClock> clock_;
};
