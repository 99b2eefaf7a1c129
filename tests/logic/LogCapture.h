#pragma once
// A launcher log kept in memory, with the line ends the file would get. Used
// on the test's own thread.

#include "log/LogImplW.h"

namespace logictest {

class LogCapture : public CLogImplW {
public:
    bool Write(std::wstring_view text, bool newLine) override {
        text_.append(text).append(newLine ? L"\r\n" : L"");
        return true;
    }
    bool WriteNewLines(int count) override {
        for (int i = 0; i < count; ++i)
            text_ += L"\r\n";
        return true;
    }
    const std::wstring& Text() const { return text_; }

private:
    std::wstring text_;
};

} // namespace logictest
