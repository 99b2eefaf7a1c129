#include "logic/NetErrors.h"

#include "logic/CycleStages.h"
#include "logic/LangFormat.h"
#include "platform/Unicode.h"

namespace logic {

namespace {

// Error numbers are unsigned; the texts print them as signed decimals.
std::wstring Decimal(plat::ErrorCode code) {
    return std::to_wstring(static_cast<std::int32_t>(code));
}

// "LABEL: VALUE" lines of the failure text.
std::wstring StatusLines(const LangLookup& lang, int status, plat::ErrorCode code) {
    return lang(kLangHttpStatus) + L": " + std::to_wstring(status) + L"\n" +
           lang(kLangSystemErrorCode) + L": " + Decimal(code);
}

std::string_view FileNameOf(std::string_view path) {
    const std::size_t separator = path.find_last_of("\\/");
    if (separator == std::string_view::npos || separator == 0)
        return path;
    const std::string_view name = path.substr(separator + 1);
    return name.empty() ? path : name;
}

} // namespace

std::wstring NetSystemMessage(plat::ErrorCode code) {
    return code == 0 ? std::wstring() : plat::ErrorMessageText(code);
}

NetErrorText ComposeNetErrorText(int kind, plat::ErrorCode code, int status, std::string_view body,
                                 std::wstring_view systemMessage, const LangLookup& lang) {
    NetErrorText result;
    result.maintenance = status == 502 || status == 503;
    if (!systemMessage.empty()) {
        result.text = lang(kLangNetworkError) + L"\n" + StatusLines(lang, status, code) + L"\n \n" +
                      lang(kLangSystemErrorDescription) + L":\n" + std::wstring(systemMessage);
        result.detail = systemMessage;
        return result;
    }
    std::wstring heading;
    if (kind == eNetRequest_SystemUpdate)
        heading = lang(kLangSystemUpdateFailed);
    else if (!result.maintenance && !body.empty())
        heading = plat::Utf8ToWide(body);
    else
        heading = lang(kLangNetworkError);
    result.text = heading + L"\n" + StatusLines(lang, status, code);
    result.detail = std::move(heading);
    return result;
}

NetErrorText BuildNetErrorText(int kind, plat::ErrorCode code, int status, std::string_view body,
                               const LangLookup& lang, const MaintenanceLocale& locale) {
    NetErrorText result =
        ComposeNetErrorText(kind, code, status, body, NetSystemMessage(code), lang);
    if (result.maintenance)
        Build503Message(body, locale.langCode, locale.lcid, lang, locale.clock, &result.text);
    return result;
}

NetFailureReaction NetFailureReactionOf(int kind, bool maintenance) {
    NetFailureReaction reaction;
    switch (kind) {
    case eNetRequest_ClientUpdateData:
        reaction.logLine = L"net error CUD file";
        reaction.storeText = true;
        reaction.timerId = eRetryTimer_ClientUpdateData;
        break;
    case eNetRequest_SystemUpdate:
        reaction.logLine = L"net error KB file";
        reaction.showMessageBox = true;
        break;
    case eNetRequest_License:
        reaction.countAttempt = true;
        reaction.logLine = maintenance ? nullptr : L"net error License";
        reaction.storeText = true;
        reaction.timerId = StageInfo(CycleStage::License).retryTimer;
        break;
    case eNetRequest_Manifest:
    case eNetRequest_UpdateFile:
        reaction.countAttempt = true;
        reaction.logNetworkError = true;
        reaction.storeText = true;
        reaction.timerId =
            StageInfo(kind == eNetRequest_Manifest ? CycleStage::Manifest : CycleStage::Download)
                .retryTimer;
        break;
    case eNetRequest_Affiliate:
        reaction.logLine = maintenance ? nullptr : L"net error update Affiliate";
        break;
    default:
        break;
    }
    if (reaction.timerId != 0)
        reaction.timerMs = kRetryTimerMs;
    return reaction;
}

int NextAttemptCount(int attempts, int status, plat::ErrorCode code) {
    if (status == 503 || code == plat::kErrInternetTimeout)
        return 6;
    return attempts + 1;
}

std::wstring NetworkErrorLogText(std::wstring_view name, plat::ErrorCode code,
                                 std::wstring_view text, int status) {
    return L"Network error, Request: " + std::wstring(name) + L"\n  .. System error code: " +
           Decimal(code) + L", " + std::wstring(text) + L"\n  .. Http error code: " +
           std::to_wstring(status);
}

std::wstring UnexpectedAnswerLogText(std::wstring_view name) {
    return L"Server answer is unexpected: " + std::wstring(name);
}

ErrorMessage SystemErrorMessage(std::wstring_view prefix, plat::ErrorCode code) {
    std::wstring message = plat::ErrorMessageText(code);
    for (wchar_t& c : message) {
        if (c == L'\n' || c == L'\r')
            c = L' ';
    }
    ErrorMessage result;
    result.text = std::wstring(prefix) + (prefix.empty() ? L"" : L": ") + message;
    result.context = 3;
    result.buttons = 1;
    result.error = true;
    return result;
}

ErrorMessage FileErrorMessage(std::string_view path, plat::ErrorCode code, const LangLookup& lang) {
    const std::wstring name = plat::Utf8ToWide(FileNameOf(path));
    std::wstring codeLine;
    std::wstring description;
    if (code != 0) {
        codeLine = L"\n" + lang(kLangFileErrorCode) + L": " + Decimal(code) + L"\n";
        std::wstring message = plat::ErrorMessageText(code);
        if (message.size() >= 2 && message.ends_with(L"\r\n"))
            message.resize(message.size() - 2);
        else if (message.ends_with(L'\r'))
            message.pop_back();
        if (!message.empty())
            description = L"\n" + lang(kLangFileErrorDescription) + L":\n" + message;
    }
    const std::wstring heading = lang(kLangUnpackFailed) + L"\n" + lang(kLangCannotCreateFile);
    ErrorMessage result;
    result.text = FormatLangText(heading, name) + codeLine + description;
    result.context = 10;
    result.buttons = 0;
    result.error = false;
    return result;
}

} // namespace logic
