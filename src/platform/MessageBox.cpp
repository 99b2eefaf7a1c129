#include "platform/MessageBox.h"

#include "platform/Unicode.h"

#include <atomic>
#include <cstdio>

namespace plat {

namespace {
std::atomic<ErrorBoxSink> g_sink{nullptr};
} // namespace

void SetErrorBoxSink(ErrorBoxSink sink) {
    g_sink.store(sink);
}

void ShowErrorBox(const std::wstring& caption, const std::wstring& text) {
    if (ErrorBoxSink sink = g_sink.load()) {
        sink(caption, text);
        return;
    }
    std::string line;
    line.append("[").append(WideToUtf8(caption)).append("] ").append(WideToUtf8(text)).append("\n");
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace plat
