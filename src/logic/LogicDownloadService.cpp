// CLogic serving a running client's "/download" requests: the client's
// pipe, the tasks it asks for (add packages, each checked and fetched in
// turn), and the answers posted to its window. The service ends with its
// client.

#include "logic/Logic.h"

#include "base/Strings.h"
#include "logic/LauncherMessages.h"

#include <algorithm>
#include <chrono>

namespace {

// A request is at most this long; it is read within this time.
constexpr std::size_t kMaxRequestBytes = 2047;
constexpr int kRequestReadMs = 2000;
// How often the service looks whether its client still runs.
constexpr unsigned kClientWatchMs = 1000;

// Reads the `size` bytes that the client has written (or is writing),
// waiting at most kRequestReadMs in all. Only the first kMaxRequestBytes are
// kept; the rest of a longer request is read and dropped, so that it never
// mixes with the next one.
bool ReadRequest(plat::NamedPipe& pipe, std::uint64_t size, std::string* text) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestReadMs);
    text->clear();
    char buffer[kMaxRequestBytes + 1];
    for (std::uint64_t read = 0; read < size;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return false;
        const std::size_t available = pipe.WaitForData(static_cast<int>(left));
        if (available == 0)
            return false;
        const std::size_t part = static_cast<std::size_t>(
            std::min<std::uint64_t>({available, size - read, sizeof buffer}));
        if (!pipe.Read(buffer, part))
            return false;
        if (text->size() < kMaxRequestBytes)
            text->append(buffer, std::min(part, kMaxRequestBytes - text->size()));
        read += part;
    }
    return true;
}

} // namespace

void CLogic::AnswerClient(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    plat::PostMessage(settings_.clientWindow, message, wParam, lParam);
}

void CLogic::OpenClientPipe() {
    const std::wstring name = L"\\\\.\\pipe\\launcher_" +
                              std::to_wstring(static_cast<std::int64_t>(settings_.clientWindow));
    Log(L"Init pipe: " + name, false);
    if (!clientPipe_.Open(name)) {
        Log(L" .. fail");
        AnswerClient(eWindowsMessage_ClientReady, dialog_.Window(), 1);
        FinishAndQuit();
        return;
    }
    Log(L" .. ok");
    AnswerClient(eWindowsMessage_ClientReady, dialog_.Window(), 0);
    // The service has nothing to do once its client has gone.
    dialog_.SetTimer(eTimer_ClientWatch, kClientWatchMs);
}

void CLogic::OnNewTask(plat::WPARAM taskId, plat::LPARAM bytes) {
    if (bytes <= 0) {
        if (!taskLoading_ && !tasks_.empty())
            StartNextTask();
        return;
    }
    // A request longer than a request may be is read to its end and refused,
    // so that its rest never mixes with the next one.
    const bool tooLong = static_cast<std::uint64_t>(bytes) > kMaxRequestBytes;
    std::string text;
    if (!clientPipe_.IsOpen() ||
        !ReadRequest(clientPipe_, static_cast<std::uint64_t>(bytes), &text) || tooLong) {
        Log(base::FormatW(L"New task %llu: the request cannot be read",
                          static_cast<unsigned long long>(taskId)));
        AnswerClient(eWindowsMessage_ClientFinish, taskId, kTaskUnreadable);
        return;
    }
    ClientTask task;
    task.id = taskId;
    task.text = text;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t bar = text.find('|', start);
        if (bar == std::string::npos)
            bar = text.size();
        const std::wstring name = base::Utf8ToWide(text.substr(start, bar - start));
        if (!name.empty() && !cycle_.AddPackages().Contains(name))
            task.packages.insert(name);
        start = bar + 1;
    }
    const std::wstring shown = base::Utf8ToWide(text);
    if (task.packages.empty()) {
        Log(L"New task received: " + shown + L", (already loaded, skip)");
        AnswerClient(eWindowsMessage_ClientFinish, taskId, kTaskDone);
        return;
    }
    Log(L"New task received: " + shown);
    // A task that arrives while another loads waits for its turn.
    tasks_.push_back(std::move(task));
    if (!taskLoading_)
        StartNextTask();
}

void CLogic::StartNextTask() {
    if (tasks_.empty())
        return;
    taskLoading_ = true;
    cycle_.StartTaskCheck(tasks_.front().packages);
}

void CLogic::OnTaskDownloaded() {
    if (tasks_.empty())
        return;
    AnswerClient(eWindowsMessage_ClientFinish, tasks_.front().id, kTaskDone);
    tasks_.pop_front();
    taskLoading_ = false;
    if (!tasks_.empty())
        plat::PostMessage(dialog_.Window(), eWindowsMessage_NewTask, 0, 0);
}
