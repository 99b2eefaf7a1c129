#pragma once
// The launcher's end of the elevated assistant: the copy of the running
// executable in the temporary folder, the pipe the launcher creates for it,
// the elevated start with "/assistant <window>", the command in progress,
// the data block sent once the assistant has connected, the cancel code and
// the removal of the copy. The launcher object decides when to do what and
// what to show; this class does the work and writes the log lines. Lives
// on the launcher's window thread.

#include "assistant/AssistantRecord.h"
#include "platform/NamedPipe.h"
#include "platform/Process.h"
#include "platform/ProcessList.h"
#include "platform/Window.h"

#include <cstdint>
#include <string>

class CLogImplW;

namespace assistant {

class CAssistantChannel {
public:
    // The wait of a cancel for the assistant to end.
    static constexpr int kCancelWaitMs = 5000;

    CAssistantChannel() = default;
    ~CAssistantChannel();
    CAssistantChannel(const CAssistantChannel&) = delete;
    CAssistantChannel& operator=(const CAssistantChannel&) = delete;

    void SetLog(CLogImplW* log) { log_ = log; }
    // The executable Prepare copies; the running one unless set (tests).
    void SetSourceExecutable(const std::wstring& path) { source_ = path; }

    // Copies the running executable into the temporary folder, under
    // "LauncherAssistant.exe" or, when that name is taken, a unique one that
    // is kept for the rest of the run. Logs "Unpacking LauncherAssistant to
    // temp .. OK" (or "Fail").
    bool Prepare();
    // Makes `command` the command in progress, creates the pipe anew and
    // starts the prepared copy elevated for the window, logging "Pipe name:
    // ..." and "Run LauncherAssistant .. ". False (last error set) when the
    // pipe or the process could not be had.
    bool Start(int command, plat::HWND window);
    // The assistant reported that it runs: its process is opened for the
    // wait of a cancel. False when it cannot be.
    bool OnConnected(std::uint32_t processId);
    // Writes the command code alone.
    bool SendCommand();
    // Writes the command code, the block and the icon entries, logging every
    // field. A text that does not fit its field is refused before anything
    // is written (false, last error 122).
    bool SendData(const AssistantData& data);
    // Closes the launcher's end of the pipe.
    void ClosePipe();
    // Writes the cancel code (or, to an assistant that has not connected yet,
    // ends the pipe) and waits up to kCancelWaitMs for the assistant to end,
    // logging "Sending cancel to launcher assistant"; forgets the process and
    // the connection. True when it ended in time or had ended already.
    bool Cancel();
    // Waits up to timeoutMs for the assistant of the last start to end.
    bool WaitForExit(int timeoutMs);
    // Deletes the copy with its log and the ".tmp" twin of a unique name;
    // forgets the path.
    void DeleteFiles();
    // Writes the assistant's own log (which DeleteFiles removes) into the
    // launcher's, each line marked as the assistant's.
    void CopyAssistantLog();

    int Command() const { return command_; }
    bool Connected() const { return connected_; }
    bool Running() const { return process_.IsOpen() || started_.IsValid(); }
    const std::wstring& FilePath() const { return path_; }

private:
    void Log(const std::wstring& text, bool newLine = true);

    CLogImplW* log_ = nullptr;
    std::wstring source_;
    std::wstring path_;
    plat::NamedPipe pipe_;
    int command_ = 0;
    bool connected_ = false;
    plat::Process started_;
    plat::ProcessHandle process_;
};

} // namespace assistant
