#pragma once
// The wizard's page numbers and the control ids the launcher's flows press,
// set and read (the theme's steps and controls carry these numbers).

namespace logic {

// Pages of the multi-page wizard.
inline constexpr int kPageTerms = 1;
inline constexpr int kPageDestination = 2;
inline constexpr int kPageDownload = 3;
inline constexpr int kPageLaunch = 4; // ready to launch (download completed)
inline constexpr int kPageMessageBox = 5;
inline constexpr int kPageUninstallQuestion = 6;
inline constexpr int kPageUninstallResult = 7;
inline constexpr int kPageShortcuts = 8;
inline constexpr int kPageProgress = 9; // installation or uninstallation progress
inline constexpr int kPageExternalApps = 10;
inline constexpr int kPageFirst = 11;
// The same pages in single-page mode.
inline constexpr int kSinglePageMessageBox = 1;
inline constexpr int kSinglePageUninstallQuestion = 2;
inline constexpr int kSinglePageUninstallResult = 3;
inline constexpr int kSinglePageInstall = 4;

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
    kCheckSingleTerms = 12355,
    kCheckSingleGuest = 12356,
    kCheckSingleIconDesktop = 12357,
    kCheckSingleIconPrograms = 12358,
    kBtnSingleTerms = 12359,
    kBarSingle = 12360,
    kTextSingleProgress = 12361,
    kFolderTextSingle = 12362,
    kPictureSingleOptions = 12363,
    kWaitSingle = 12364,
    kTextSingleShortcuts = 12365,
    kComboLanguage = 12366,
    kBtnLanguageFirst = 12367, // 12367 to 12374: one button per language
    kBtnLanguageLast = 12374,
    kBtnBackIcons = 12375,
    kBtnNextIcons = 12376,
    kBtnCancelDestination = 12377,
    kBtnPortableHelp = 12378,
    kBtnBackExtApp = 12379,
    kBtnNextExtApp = 12380,
    kBtnCancelExtApp = 12381,
    kBtnExtAppHelpFirst = 12382, // 12382 to 12384: their help buttons
    kCheckExtAppFirst = 12385,   // 12385 to 12387: the three applications of a page
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
    kMboxList = 12399,
    kMboxErrorList = 12400,
    kMboxErrorPicture = 12401,
    kTermsList = 12402,
    kErrorsList = 12403,
    kFolderText = 12404,
    kDownloadInfo = 12405,
    kProgressInfo = 12406,
    kDownloadBar = 12407,
    kProgressBar = 12408,
    kFirstPageInfo = 12411,
    kBtnMboxYes = 12412,
    kBtnMboxNo = 12413,
    kBtnMboxOk = 12414,
    kBtnMboxRetry = 12415,
    kBtnMboxCancel = 12416,
    kMboxEdit = 12417,
    kBtnMboxLink = 12418,
    kMboxEditCaption = 12419,
    kHeadlineProgress = 12428,
    kHeadlineFirstPage = 12430,
    kTextUninstallPath = 12437,
};

// The number of external applications on one page.
inline constexpr int kExternalAppsPerPage = 3;

} // namespace logic
