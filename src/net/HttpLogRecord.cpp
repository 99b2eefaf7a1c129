#include "net/HttpLogRecord.h"

#include "base/Strings.h"
#include "log/CypherLog.h"
#include "platform/Error.h"

#include <string>

namespace NetEx {

CHttpLogRecord::CHttpLogRecord(CCypherLog* log, std::string_view title) : log_(log) {
    if (log_)
        log_->WriteSectionHeader(title);
}

CHttpLogRecord::~CHttpLogRecord() {
    if (log_)
        log_->WriteSectionEnd();
}

void CHttpLogRecord::Line(std::string_view label, std::string_view text) {
    if (!log_)
        return;
    std::string line(label);
    line += text;
    line += "\r\n";
    log_->WriteText(line);
}

void CHttpLogRecord::Number(std::string_view label, std::int64_t value) {
    Line(label, std::to_string(value));
}

void CHttpLogRecord::Block(const void* data, std::size_t length) {
    if (!log_ || length == 0)
        return;
    log_->WriteBlock(data, length);
    if (static_cast<const char*>(data)[length - 1] != '\n')
        log_->WriteText("\r\n");
}

void CHttpLogRecord::Fill() {
    if (log_)
        log_->WriteSectionHeader({});
}

void WriteErrorText(CCypherLog* log, std::uint32_t code) {
    if (!log || code == 0)
        return;
    std::string line;
    if (code == 0xFFFFFFFFu) {
        line = "Failed";
    } else {
        const char* kind = "Error";
        if (code >= 10000 && code <= 11999)
            kind = "Winsock error";
        else if (code >= 12000 && code <= 12174)
            kind = "WinInet error";
        line = base::Format("%s %u: ", kind, code);
        std::string text = base::WideToUtf8(plat::ErrorMessageText(code));
        if (text.size() > 2048)
            text.resize(2048);
        line += text;
    }
    line += "\r\n";
    log->WriteText(line);
    log->WriteSectionEnd();
}

} // namespace NetEx
