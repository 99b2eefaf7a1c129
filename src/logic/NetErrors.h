#pragma once
// The texts and reactions of failed network requests and of the smaller
// error messages: what the user reads after a download fails, what the
// launcher log gets, which retry timer starts, and the texts of the
// unexpected-answer report, the system-error and the file-error messages.
// Pure functions over the language strings passed in; the launcher object
// calls them on the window thread and does the logging, the storing and the
// timers itself.

#include "logic/LangFormat.h"
#include "logic/LauncherMessages.h"
#include "logic/MaintenanceAnswer.h"
#include "platform/Error.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace logic {

// The downloader's request kinds as they reach the failure handling.
enum eNetRequestKind : int {
    eNetRequest_ClientUpdateData = 1,
    eNetRequest_SystemUpdate = 2, // the KB2999226 package
    eNetRequest_License = 3,
    eNetRequest_Manifest = 4,
    eNetRequest_UpdateFile = 5,
    eNetRequest_Affiliate = 6,
};

// Language string ids of the error texts.
enum : int {
    kLangFileErrorCode = 6,
    kLangFileErrorDescription = 7,
    kLangUnpackFailed = 20,
    kLangNetworkError = 26,
    kLangHttpStatus = 27,
    kLangSystemErrorCode = 28,
    kLangSystemErrorDescription = 29,
    kLangUnexpectedAnswer = 30,
    kLangSystemUpdateFailed = 115,
};

// The language and clock a maintenance notice is written for.
struct MaintenanceLocale {
    std::string langCode; // the current language's code, "en"
    std::uint32_t lcid = 0;
    LocalClock clock;
};

// The texts of one failed request.
struct NetErrorText {
    std::wstring text;        // for the user: the stored error text or the message box
    std::wstring detail;      // the system message, or the heading when there is none
    bool maintenance = false; // the status was 502 or 503
};

// The system's description of an error number (WinINet's numbers
// included); empty for 0 and for numbers without one.
std::wstring NetSystemMessage(plat::ErrorCode code);

// The failure text from a known system message (empty: none):
//   with one:    string 26, "27: status", "28: code", " ", "29:", the message;
//   without one: the heading, "27: status", "28: code"; the heading is
//                string 115 for the system update package, else the body
//                when it is not empty and the status is no maintenance one,
//                else string 26.
NetErrorText ComposeNetErrorText(int kind, plat::ErrorCode code, int status, std::string_view body,
                                 std::wstring_view systemMessage, const LangLookup& lang);

// The whole failure text: the system message of `code`, the composition
// above and, for 502 and 503, the maintenance notice in its place (kept as
// composed when the locale has no pictures).
NetErrorText BuildNetErrorText(int kind, plat::ErrorCode code, int status, std::string_view body,
                               const LangLookup& lang, const MaintenanceLocale& locale);

// What the launcher does after a failure of one request kind.
struct NetFailureReaction {
    const wchar_t* logLine = nullptr; // a plain log line, or none
    bool countAttempt = false;        // NextAttemptCount on the attempt counter
    bool logNetworkError = false;     // NetworkErrorLogText with the request's name
    bool storeText = false;           // the text becomes the last error text
    bool showMessageBox = false;      // the text in a message box (context 10, buttons 0)
    std::uint64_t timerId = 0;        // a one-shot retry timer, 0 for none
    std::uint32_t timerMs = 0;
};

NetFailureReaction NetFailureReactionOf(int kind, bool maintenance);

// The attempt counter after a counted failure: 6 (the last attempt) for
// status 503 or a time-out (12002), one more otherwise.
int NextAttemptCount(int attempts, int status, plat::ErrorCode code);

// The log text of a failed manifest or update-file request, between blank
// lines: "Network error, Request: NAME", then the code with `text` and the
// status on indented lines.
std::wstring NetworkErrorLogText(std::wstring_view name, plat::ErrorCode code,
                                 std::wstring_view text, int status);

// The log line of an answer that is not what was asked for.
std::wstring UnexpectedAnswerLogText(std::wstring_view name);

// The reaction to an unexpected answer: the timer is always the update
// file's; the log line and the stored text (string 30) only when the
// download queue has a task.
inline constexpr std::uint64_t kUnexpectedAnswerTimer = eRetryTimer_UpdateFile;
inline constexpr std::uint32_t kRetryTimerMs = 1000;

// A message for the message box with its context, buttons and error flag.
struct ErrorMessage {
    std::wstring text;
    int context = 0;
    int buttons = 0;
    bool error = false;
};

// The system-error message: the prefix, ": " when it is not empty, and the
// system's description of the code on one line (context 3, buttons 1, error).
ErrorMessage SystemErrorMessage(std::wstring_view prefix, plat::ErrorCode code);

// The file-error message: strings 20 and 39 with the file's name (the part of
// the UTF-8 path after its last "\" or "/", unless that is its first
// character), then for a code other than 0 the
// code under string 6 and the system's description under string 7
// (context 10, buttons 0).
ErrorMessage FileErrorMessage(std::string_view path, plat::ErrorCode code, const LangLookup& lang);

} // namespace logic
