#pragma once
// The wizard's page numbers and the control ids the launcher's flows press,
// set and read (the theme's steps and controls carry these numbers).

namespace logic {

// Pages of the multi-page wizard.
enum WizardPage : int {
    kPageTerms = 1,
    kPageDestination = 2,
    kPageDownload = 3,
    kPageLaunch = 4, // ready to launch (download completed)
    kPageMessageBox = 5,
    kPageUninstallQuestion = 6,
    kPageUninstallResult = 7,
    kPageShortcuts = 8,
    kPageProgress = 9, // installation or uninstallation progress
    kPageExternalApps = 10,
    kPageFirst = 11,
};
// The same pages in single-page mode.
enum SinglePage : int {
    kSinglePageMessageBox = 1,
    kSinglePageUninstallQuestion = 2,
    kSinglePageUninstallResult = 3,
    kSinglePageInstall = 4,
};

enum WizardControl : int {
    kBtnCaptionClose = 12345,
    kBtnCloseUninstall = 12346,
    kBtnDisagree = 12347,
    kBtnAgree = 12348,
    kBtnBack = 12349,
    kBtnNext = 12350,
    kBtnSingleCancelUpdate = 12351,
    kBtnSingleCancel = 12352,
    kBtnSingleBrowse = 12353,
    kBtnSingleInstall = 12354,
    kFolderTextSingle = 12362,
    kBtnBackIcons = 12375,
    kBtnNextIcons = 12376,
    kBtnCancelDestination = 12377,
    kBtnBackExtApp = 12379,
    kBtnNextExtApp = 12380,
    kBtnCancelExtApp = 12381,
    kCheckExtAppFirst = 12385, // 12385 to 12387: the three applications of a page
    kBtnCancelDownload = 12388,
    kBtnCancelProgress = 12389,
    kBtnCancelIcons = 12390,
    kBtnCancelFirst = 12391,
    kBtnChangeFolder = 12392,
    kCheckGuest = 12393,
    kBtnLaunch = 12394,
    kBtnUninstall = 12395,
    kBtnCancelUninstall = 12396,
    kCheckIconDesktop = 12397,
    kCheckIconPrograms = 12398,
    kErrorsList = 12403,
    kFolderText = 12404,
    kBtnMboxYes = 12412,
    kBtnMboxNo = 12413,
    kBtnMboxOk = 12414,
    kBtnMboxRetry = 12415,
    kBtnMboxCancel = 12416,
    kTextUninstallPath = 12437,
};

// The number of external applications on one page.
inline constexpr int kExternalAppsPerPage = 3;

} // namespace logic
