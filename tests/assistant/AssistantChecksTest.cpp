#include "assistant/AssistantChecks.h"

#include "assistant/AssistantProtocol.h"
#include "platform/ProcessList.h"
#include "platform/Unicode.h"
#include "support/NativePath.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Native;

assistant::AssistantData ValidRecord(int command) {
    assistant::AssistantData data;
    data.command = command;
    data.installFolder = Native(L"/srv/games/Game");
    data.userName = L"ugo";
    data.shortName = L"game";
    data.fullName = L"Game Online";
    data.iconName = L"Game";
    data.regPath = L"Software\\Demo\\Game";
    data.helpLink = L"empty";
    data.lnkDesktopIcon = Native(L"/home/ugo/Desktop");
    data.launcherName = L"Launcher.exe";
    data.temp = command == assistant::eLauncherCmd_SetLongName
                    ? L"\"" + Native(L"/srv/games/New") +
                          L"\" \"old\" \"Old Game\" \"Software\\Old\" \"Old\" \"x\" 0"
                    : Native(L"/srv/games/Game/client.exe");
    data.icons = {{L"Game", L"Launcher.exe", true}, {L"Editor", L"tools\\editor.exe", false}};
    return data;
}

std::string Check(const assistant::AssistantData& data,
                  std::vector<std::string> unterminated = {}) {
    return assistant::CheckRecord(data.command, data, unterminated);
}

TEST(AssistantChecksTest, NamesAndPathsThatMayBeUsed) {
    EXPECT_TRUE(assistant::IsSafeName(L"Game Online (2)"));
    EXPECT_TRUE(assistant::IsSafeName(L"Game..."));
    for (const wchar_t* bad : {L"", L".", L"..", L"a/b", L"a\\b", L"tab\there", L"bell\x07"})
        EXPECT_FALSE(assistant::IsSafeName(bad)) << plat::WideToUtf8(bad);

    EXPECT_TRUE(assistant::IsSafeRegistryPath(L"Software\\Demo\\Game"));
    for (const wchar_t* bad :
         {L"", L"Software\\..\\Other", L"Software\\\\Demo", L"\\Software", L"Software/Demo",
          L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
          L"software\\microsoft\\windows\\currentversion\\uninstall\\Other 0"})
        EXPECT_FALSE(assistant::IsSafeRegistryPath(bad)) << plat::WideToUtf8(bad);

    EXPECT_TRUE(assistant::IsSafeAbsolutePath(Native(L"/srv/games/Game")));
    for (const std::wstring& bad :
         {std::wstring(), std::wstring(L"srv/games"), Native(L"/srv/../etc"), Native(L"/srv/./x"),
          Native(L"/srv/line\nbreak"), Native(L"/srv/x\x01y")})
        EXPECT_FALSE(assistant::IsSafeAbsolutePath(bad)) << plat::WideToUtf8(bad);
#ifdef _WIN32
    // Drive-relative paths, the system's own namespaces, streams and devices.
    for (const wchar_t* bad : {L"C:Games", L"\\\\?\\C:\\Games", L"\\\\.\\pipe\\x", L"\\\\server",
                               L"C:\\Games\\x:stream", L"C:\\Games\\a*b", L"\\\\server\\\\x"})
        EXPECT_FALSE(assistant::IsSafeAbsolutePath(bad)) << plat::WideToUtf8(bad);
    EXPECT_TRUE(assistant::IsSafeAbsolutePath(L"\\\\server\\share\\Games"));
    EXPECT_TRUE(assistant::IsSafeAbsolutePath(L"D:/Games/Game"));
    EXPECT_FALSE(assistant::IsSafeRelativePath(L"C:x"));
#else
    // A "\" in a native path is never a name of ours.
    EXPECT_FALSE(assistant::IsSafeAbsolutePath(L"/srv\\x"));
#endif

    EXPECT_TRUE(assistant::IsSafeRelativePath(L"tools\\editor.exe"));
    EXPECT_TRUE(assistant::IsSafeRelativePath(L"tools/editor.exe"));
    for (const wchar_t* bad : {L"", L"/etc/passwd", L"\\x", L"..\\x", L"a\\..\\..\\x", L"a//b"})
        EXPECT_FALSE(assistant::IsSafeRelativePath(bad)) << plat::WideToUtf8(bad);
}

TEST(AssistantChecksTest, AWellFormedRecordOfEachCommandPasses) {
    for (int command : {1, 3, 4, 5, 7, 8})
        EXPECT_EQ(Check(ValidRecord(command)), "") << command;
}

TEST(AssistantChecksTest, HostileRecordsAreRefused) {
    using Change = void (*)(assistant::AssistantData&);
    const Change changes[] = {
        [](assistant::AssistantData& d) { d.command = 4; },
        [](assistant::AssistantData& d) { d.installFolder = L"relative/Game"; },
        [](assistant::AssistantData& d) { d.installFolder = Native(L"/srv/games/../../etc"); },
        [](assistant::AssistantData& d) { d.installFolder.clear(); },
        [](assistant::AssistantData& d) { d.fullName = L".."; },
        [](assistant::AssistantData& d) { d.fullName = L"Game/../../etc"; },
        [](assistant::AssistantData& d) { d.iconName = L"../Game"; },
        [](assistant::AssistantData& d) { d.iconName.clear(); },
        [](assistant::AssistantData& d) { d.launcherName = L"../../usr/bin/x"; },
        [](assistant::AssistantData& d) { d.regPath = L"Software\\..\\..\\Other"; },
        [](assistant::AssistantData& d) { d.helpLink = L"http://x/\r\nInjected"; },
        [](assistant::AssistantData& d) { d.lnkDesktopIcon = L"Desktop"; },
        [](assistant::AssistantData& d) { d.temp = L"client.exe"; },
        [](assistant::AssistantData& d) { d.icons[0].name = L".."; },
        [](assistant::AssistantData& d) { d.icons[1].exec = L"..\\..\\etc\\passwd"; },
        [](assistant::AssistantData& d) { d.icons[1].exec = L"/bin/sh"; },
    };
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        assistant::AssistantData data = ValidRecord(assistant::eLauncherCmd_Uninstall);
        changes[i](data);
        int command = assistant::eLauncherCmd_Uninstall;
        EXPECT_NE(assistant::CheckRecord(command, data, {}), "") << "change " << i;
    }
    EXPECT_NE(Check(ValidRecord(1), {"chTemp"}), "");
    EXPECT_NE(Check(ValidRecord(1), {"an icon's Name"}), "");

    assistant::AssistantData move = ValidRecord(assistant::eLauncherCmd_SetLongName);
    move.temp = L"\"" + Native(L"/srv/games/New") + L"\" \"old\"";
    EXPECT_NE(Check(move), "");
    move = ValidRecord(assistant::eLauncherCmd_SetLongName);
    move.temp = L"\"new\" \"old\" \"Old\" \"\" \"Old\"";
    EXPECT_NE(Check(move), "");
    move.temp = L"\"" + Native(L"/srv/New") + L"\" \"old\" \"Old\" \"\" \"Old\"";
    EXPECT_EQ(Check(move), "");
}

TEST(AssistantChecksTest, TheMoveArgumentsAreTheFirstFiveQuotedValues) {
    assistant::MoveArguments args;
    ASSERT_TRUE(assistant::ParseMoveArguments(
        L"\"/srv/New Game\" \"game\" \"Game Online\" \"Software\\Demo\" \"Game\" \"x\" 0", &args));
    EXPECT_EQ(args.destination, L"/srv/New Game");
    EXPECT_EQ(args.oldShortName, L"game");
    EXPECT_EQ(args.oldFullName, L"Game Online");
    EXPECT_EQ(args.oldRegPath, L"Software\\Demo");
    EXPECT_EQ(args.oldIconName, L"Game");
    EXPECT_FALSE(assistant::ParseMoveArguments(L"\"a\" \"b\" \"c\" \"d\"", &args));
}

} // namespace
