#include "logic/NetErrors.h"

#include "EnglishStrings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace logic;

// A lookup that names each string by its id, so the texts show which
// strings they were built from.
std::wstring FakeLang(int id) {
    return L"<" + std::to_wstring(id) + L">";
}

MaintenanceLocale English() {
    MaintenanceLocale locale;
    locale.langCode = "en";
    locale.lcid = 1033;
    locale.clock = LocalClock{1907755200000, [](std::int64_t) { return 0; }};
    return locale;
}

TEST(NetErrors, FailureTextWithoutSystemMessage) {
    const LangLookup lang = logictest::EnglishLang();
    NetErrorText result = ComposeNetErrorText(eNetRequest_Manifest, 0, 404, "", L"", lang);
    EXPECT_EQ(result.text, L"Network error\nHTTP status code: 404\nSystem error code: 0");
    EXPECT_EQ(result.detail, L"Network error");
    EXPECT_FALSE(result.maintenance);

    // The heading: the system update package's own, else the answer body,
    // else string 26; a maintenance body is never the heading.
    result = ComposeNetErrorText(eNetRequest_SystemUpdate, 0, 404, "body", L"", FakeLang);
    EXPECT_EQ(result.detail, L"<115>");
    result =
        ComposeNetErrorText(eNetRequest_UpdateFile, 0, 403, "Verboten \xC3\xBC", L"", FakeLang);
    EXPECT_EQ(result.text, L"Verboten \u00fc\n<27>: 403\n<28>: 0");
    result = ComposeNetErrorText(eNetRequest_UpdateFile, 0, 503, "<html/>", L"", FakeLang);
    EXPECT_EQ(result.detail, L"<26>");
    EXPECT_TRUE(result.maintenance);
}

TEST(NetErrors, FailureTextWithSystemMessage) {
    const NetErrorText result = ComposeNetErrorText(eNetRequest_SystemUpdate, 0xFFFFFFFFu, 0,
                                                    "body", L"The operation timed out", FakeLang);
    EXPECT_EQ(result.text, L"<26>\n<27>: 0\n<28>: -1\n \n<29>:\nThe operation timed out");
    EXPECT_EQ(result.detail, L"The operation timed out");

    // The system's own description of a WinINet number.
    const std::wstring timeout = plat::ErrorMessageText(plat::kErrInternetTimeout);
    ASSERT_FALSE(timeout.empty());
    const NetErrorText built = BuildNetErrorText(eNetRequest_Manifest, plat::kErrInternetTimeout, 0,
                                                 "", FakeLang, English());
    EXPECT_EQ(built.detail, timeout);
    EXPECT_EQ(NetworkErrorLogText(L"launcher.manifest", plat::kErrInternetTimeout, built.detail, 0),
              L"Network error, Request: launcher.manifest\n  .. System error code: 12002, " +
                  timeout + L"\n  .. Http error code: 0");
    EXPECT_EQ(NextAttemptCount(2, 0, plat::kErrInternetTimeout), 6);
}

TEST(NetErrors, MaintenanceAnswersReplaceTheText) {
    const LangLookup lang = logictest::EnglishLang();
    const std::string page =
        "<html><body><div id=\"en\"><p class=\"title\">Down</p><p class=\"line1\">Back soon."
        "</p></div></body></html>";
    NetErrorText result = BuildNetErrorText(eNetRequest_License, 0, 503, page, lang, English());
    EXPECT_EQ(result.text, L"Back soon.\n\n" + lang(kLangMaintenanceBack));
    EXPECT_EQ(result.detail, lang(kLangNetworkError));

    // A locale without date pictures keeps the plain failure text.
    MaintenanceLocale polish = English();
    polish.lcid = 1045;
    result = BuildNetErrorText(eNetRequest_License, 0, 502, page, FakeLang, polish);
    EXPECT_EQ(result.text, L"<26>\n<27>: 502\n<28>: 0");

    // Other statuses never read the body as a page.
    result = BuildNetErrorText(eNetRequest_License, 0, 500, page, FakeLang, English());
    EXPECT_EQ(result.detail, plat::Utf8ToWide(page));
}

TEST(NetErrors, ReactionsByRequestKind) {
    // Kinds retried by a timer, with whether the failure is counted.
    const std::pair<int, std::uint64_t> retried[] = {
        {eNetRequest_ClientUpdateData, eRetryTimer_ClientUpdateData},
        {eNetRequest_License, eRetryTimer_License},
        {eNetRequest_Manifest, eRetryTimer_Manifest},
        {eNetRequest_UpdateFile, eRetryTimer_UpdateFile}};
    for (const auto& [kind, timer] : retried) {
        const NetFailureReaction reaction = NetFailureReactionOf(kind, true);
        EXPECT_EQ(reaction.timerId, timer);
        EXPECT_EQ(reaction.timerMs, 1000u);
        EXPECT_EQ(reaction.countAttempt, kind != eNetRequest_ClientUpdateData) << kind;
        EXPECT_EQ(reaction.logNetworkError, kind >= eNetRequest_Manifest) << kind;
        EXPECT_TRUE(reaction.storeText && !reaction.showMessageBox) << kind;
    }
    // Licence and affiliate failures are not logged during maintenance.
    EXPECT_STREQ(NetFailureReactionOf(eNetRequest_License, false).logLine, L"net error License");
    EXPECT_EQ(NetFailureReactionOf(eNetRequest_License, true).logLine, nullptr);
    EXPECT_EQ(NetFailureReactionOf(eNetRequest_Affiliate, true).logLine, nullptr);
    const NetFailureReaction affiliate = NetFailureReactionOf(eNetRequest_Affiliate, false);
    EXPECT_STREQ(affiliate.logLine, L"net error update Affiliate");
    EXPECT_FALSE(affiliate.timerId != 0 || affiliate.storeText);

    const NetFailureReaction package = NetFailureReactionOf(eNetRequest_SystemUpdate, true);
    EXPECT_STREQ(package.logLine, L"net error KB file");
    EXPECT_TRUE(package.showMessageBox && package.timerId == 0 && !package.storeText);

    for (int kind : {0, 7}) {
        const NetFailureReaction none = NetFailureReactionOf(kind, false);
        EXPECT_TRUE(!none.logLine && none.timerId == 0 && !none.storeText && !none.countAttempt);
    }
}

TEST(NetErrors, AttemptCounting) {
    EXPECT_EQ(NextAttemptCount(1, 503, 0), 6);
    EXPECT_EQ(NextAttemptCount(0, 0, plat::kErrInternetTimeout), 6);
    EXPECT_EQ(NextAttemptCount(3, 404, plat::kErrInternetCannotConnect), 4);
    EXPECT_EQ(UnexpectedAnswerLogText(L"data/a.pak"), L"Server answer is unexpected: data/a.pak");
}

TEST(NetErrors, SystemErrorMessageOnOneLine) {
    const std::wstring described = plat::ErrorMessageText(plat::kErrAccessDenied);
    ASSERT_FALSE(described.empty());
    const ErrorMessage message = SystemErrorMessage(L"Can't copy", plat::kErrAccessDenied);
    EXPECT_EQ(message.text.rfind(L"Can't copy: ", 0), 0u);
    EXPECT_EQ(message.text.size(), 12 + described.size());
    EXPECT_EQ(message.text.find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_TRUE(message.context == 3 && message.buttons == 1 && message.error);
    EXPECT_EQ(SystemErrorMessage(L"", plat::kErrAccessDenied).text.size(), described.size());
}

TEST(NetErrors, FileErrorMessage) {
    const LangLookup lang = logictest::EnglishLang();
    const std::wstring described = plat::ErrorMessageText(plat::kErrDiskFull);
    ASSERT_FALSE(described.empty());
    ErrorMessage message =
        FileErrorMessage("bin\\data\\m\xC3\xBCsic.pak", plat::kErrDiskFull, lang);
    EXPECT_EQ(message.text, L"Unable to unpack updates\nCannot create file: m\u00fcsic.pak\n"
                            L"System error code: 112\n\nSystem error description:\n" +
                                described);
    EXPECT_TRUE(message.context == 10 && message.buttons == 0 && !message.error);

    // Names: after the last separator, unless it leads or ends the path.
    const struct {
        const char* path;
        const wchar_t* name;
    } names[] = {
        {"a/b/c.txt", L"c.txt"}, {"\\c.txt", L"\\c.txt"}, {"dir\\", L"dir\\"}, {"plain", L"plain"}};
    // The heading is a format for the name: "%%" is a percent sign and only
    // the first "%s" takes the name.
    const LangLookup formats = [](int id) {
        return id == kLangCannotCreateFile ? std::wstring(L"100%% of %s, not %s") : FakeLang(id);
    };
    for (const auto& n : names) {
        EXPECT_EQ(FileErrorMessage(n.path, 0, formats).text,
                  std::wstring(L"<20>\n100% of ") + n.name + L", not %s");
    }
}

} // namespace
