#include "logic/CycleStages.h"
#include "logic/LauncherMessages.h"
#include "logic/WizardView.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using logic::CycleStage;

constexpr CycleStage kAll[] = {CycleStage::Idle,         CycleStage::License,  CycleStage::Manifest,
                               CycleStage::Check,        CycleStage::Download, CycleStage::Unpack,
                               CycleStage::AfterDownload};

TEST(CycleStagesTest, EachRetriedStageOwnsOneTimerAndOneFailurePage) {
    // The three requests that are retried, with the timer and the page the
    // launcher has always used for them.
    const struct {
        CycleStage stage;
        std::uint64_t timer;
        int box;
    } retried[] = {
        {CycleStage::License, eRetryTimer_License, kBoxLicenseFailed},
        {CycleStage::Manifest, eRetryTimer_Manifest, kBoxManifestFailed},
        {CycleStage::Download, eRetryTimer_UpdateFile, kBoxUpdateFailed},
    };
    for (const auto& row : retried) {
        EXPECT_EQ(logic::StageInfo(row.stage).retryTimer, row.timer);
        EXPECT_EQ(logic::StageInfo(row.stage).failureBox, row.box);
        CycleStage back = CycleStage::Idle;
        ASSERT_TRUE(logic::StageOfRetryTimer(row.timer, &back));
        EXPECT_EQ(back, row.stage);
        back = CycleStage::Idle;
        ASSERT_TRUE(logic::StageOfFailureBox(row.box, &back));
        EXPECT_EQ(back, row.stage);
    }
    // The client update data timer and other numbers belong to no stage;
    // neither do the fatal page and the other contexts.
    CycleStage none = CycleStage::Check;
    for (std::uint64_t timer : {std::uint64_t{0}, std::uint64_t{eRetryTimer_ClientUpdateData},
                                std::uint64_t{2221}, std::uint64_t{2226}})
        EXPECT_FALSE(logic::StageOfRetryTimer(timer, &none)) << timer;
    for (int box : {kBoxInformation, kBoxServerAddress, kBoxChooseAgain, kBoxFatal})
        EXPECT_FALSE(logic::StageOfFailureBox(box, &none)) << box;
    EXPECT_EQ(none, CycleStage::Check);
}

TEST(CycleStagesTest, StagesWithoutARequestFailOnTheFatalPageAndAllNamesDiffer) {
    std::set<std::wstring> names;
    for (CycleStage stage : kAll) {
        const logic::CycleStageInfo& info = logic::StageInfo(stage);
        EXPECT_EQ(info.stage, stage);
        ASSERT_NE(info.name, nullptr);
        EXPECT_TRUE(names.insert(info.name).second) << "repeated name";
        if (info.retryTimer == 0) {
            EXPECT_EQ(info.failureBox, kBoxFatal);
        }
    }
    EXPECT_EQ(std::wstring(logic::StageInfo(CycleStage::AfterDownload).name), L"after download");
}

} // namespace
