#include "logic/LogLines.h"

#include "log/LogImplW.h"

namespace logic {

void WriteLine(CLogImplW* log, const std::wstring& text, bool newLine) {
    if (log)
        log->Write(text, newLine);
}

void WriteBlankLine(CLogImplW* log) {
    if (log)
        log->WriteNewLines(1);
}

void WriteNotBuilt(CLogImplW* log, const wchar_t* what) {
    WriteLine(log, std::wstring(what) + L": not built yet");
}

} // namespace logic
