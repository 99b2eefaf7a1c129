#include "logic/CycleStages.h"

#include "logic/LauncherMessages.h"
#include "logic/WizardView.h"

#include <iterator>

namespace logic {

namespace {

constexpr CycleStageInfo kStages[] = {
    {CycleStage::Idle, L"idle", 0, kBoxFatal},
    {CycleStage::License, L"license", eRetryTimer_License, kBoxLicenseFailed},
    {CycleStage::Manifest, L"manifest", eRetryTimer_Manifest, kBoxManifestFailed},
    {CycleStage::Check, L"check", 0, kBoxFatal},
    {CycleStage::Download, L"download", eRetryTimer_UpdateFile, kBoxUpdateFailed},
    {CycleStage::Unpack, L"unpack", 0, kBoxFatal},
    {CycleStage::AfterDownload, L"after download", 0, kBoxFatal},
};

// Each row sits at the index of its stage.
constexpr bool RowsInOrder() {
    for (std::size_t i = 0; i < std::size(kStages); ++i)
        if (static_cast<std::size_t>(kStages[i].stage) != i)
            return false;
    return true;
}
static_assert(RowsInOrder());
static_assert(std::size(kStages) == static_cast<std::size_t>(CycleStage::AfterDownload) + 1);

} // namespace

const CycleStageInfo& StageInfo(CycleStage stage) {
    return kStages[static_cast<std::size_t>(stage)];
}

bool StageOfRetryTimer(std::uint64_t timerId, CycleStage* stage) {
    for (const CycleStageInfo& row : kStages) {
        if (row.retryTimer != 0 && row.retryTimer == timerId) {
            *stage = row.stage;
            return true;
        }
    }
    return false;
}

bool StageOfFailureBox(int context, CycleStage* stage) {
    for (const CycleStageInfo& row : kStages) {
        if (row.retryTimer != 0 && row.failureBox == context) {
            *stage = row.stage;
            return true;
        }
    }
    return false;
}

} // namespace logic
