#pragma once
// The stages of the update cycle and what each one means to the rest of the
// launcher: its name in the log, the retry timer that repeats its request and
// the message-box context of the network failure page that offers to retry
// it. One table holds all three, so a stage, its timer and its box can never
// disagree. Pure data, used on the window thread.

#include <cstdint>

namespace logic {

enum class CycleStage : int {
    Idle,          // nothing asked for yet
    License,       // the licence document is requested
    Manifest,      // the update manifest is requested
    Check,         // the file checker compares the installation with it
    Download,      // the queued packages are downloaded in byte ranges
    Unpack,        // every package is in; the last ones are unpacked
    AfterDownload, // cleanup, the saved manifest, the change actions
};

struct CycleStageInfo {
    CycleStage stage;
    const wchar_t* name;      // as the log shows it
    std::uint64_t retryTimer; // the timer that repeats the stage's request, 0: none
    int failureBox;           // the context of its network failure page
};

// The row of a stage.
const CycleStageInfo& StageInfo(CycleStage stage);
// The stage whose request a retry timer repeats; false for any other timer.
bool StageOfRetryTimer(std::uint64_t timerId, CycleStage* stage);
// The stage whose request the Retry button of a failure page repeats; false
// for any other context.
bool StageOfFailureBox(int context, CycleStage* stage);

} // namespace logic
