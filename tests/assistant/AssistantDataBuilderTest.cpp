#include "assistant/AssistantDataBuilder.h"

#include "assistant/AssistantProtocol.h"

#include "support/NativePath.h"

#include <gtest/gtest.h>

namespace {

assistant::AssistantDataSource Source(int command) {
    assistant::AssistantDataSource source;
    source.command = command;
    source.installFolder = testsupport::Native(L"/srv/Game");
    source.userName = L"ugo";
    source.shortName = L"game";
    source.fullName = L"Game Online";
    source.regPath = L"Software\\Demo";
    source.serverUrl = L"http://s.test";
    source.helpLink = L"/help";
    source.desktopFolder = L"/home/ugo/Desktop";
    source.launcherName = L"Launcher.exe";
    source.clientProcess = L"client.exe";
    source.moveArguments = L"\"/srv/New\" \"game\" \"Game Online\" \"\" \"Game\" \"x\" 0";
    source.programShortcuts = false;
    source.programFolderIcon = true;
    source.withShortcutEntries = true;
    source.oldShortcuts = {{L"Old", L"old.exe"}, {L"", L"nameless.exe"}, {L"Tool", L"t\\tool.exe"}};
    return source;
}

TEST(AssistantDataBuilderTest, TheBlockCarriesLinksNamesAndTheShortcutEntries) {
    assistant::AssistantData data;
    std::wstring log;
    ASSERT_TRUE(
        assistant::BuildAssistantData(Source(assistant::eLauncherCmd_Install), &data, &log));
    EXPECT_EQ(
        log,
        L"FillDataForAssistant() username=\"ugo\" serverurl=\"http://s.test\" [(..).] - success");
    EXPECT_EQ(data.command, assistant::eLauncherCmd_Install);
    EXPECT_EQ(data.iconName, L"Game Online"); // no icon name: the full name
    EXPECT_EQ(data.helpLink, L"http://s.test/help");
    EXPECT_EQ(data.urlInfoAbout, L"empty");
    EXPECT_EQ(data.temp, testsupport::Native(L"/srv/Game/client.exe"));
    EXPECT_FALSE(data.iconPrograms);
    EXPECT_TRUE(data.iconProgramsFolder);
    EXPECT_FALSE(data.iconStartMenu);
    ASSERT_EQ(data.icons.size(), 3u);
    EXPECT_EQ(data.icons[0].name, L"Old");
    EXPECT_FALSE(data.icons[0].add);
    EXPECT_EQ(data.icons[1].exec, L"t\\tool.exe");
    EXPECT_EQ(data.icons[2].name, L"Game Online");
    EXPECT_EQ(data.icons[2].exec, L"Launcher.exe");
    EXPECT_TRUE(data.icons[2].add);
}

TEST(AssistantDataBuilderTest, AMoveSendsItsArgumentsAndAlwaysTheProgramShortcuts) {
    assistant::AssistantDataSource source = Source(assistant::eLauncherCmd_SetLongName);
    source.iconName = L"Game";
    source.withShortcutEntries = false;
    assistant::AssistantData data;
    std::wstring log;
    ASSERT_TRUE(assistant::BuildAssistantData(source, &data, &log));
    EXPECT_EQ(data.temp, source.moveArguments);
    EXPECT_TRUE(data.iconPrograms);
    EXPECT_TRUE(data.icons.empty());
    EXPECT_EQ(log,
              L"FillDataForAssistant() username=\"ugo\" serverurl=\"http://s.test\" [] - success");
}

TEST(AssistantDataBuilderTest, WithoutAUserNameNothingIsFilled) {
    assistant::AssistantDataSource source = Source(assistant::eLauncherCmd_GetRights);
    source.userName.clear();
    assistant::AssistantData data;
    data.fullName = L"untouched";
    std::wstring log;
    EXPECT_FALSE(assistant::BuildAssistantData(source, &data, &log));
    EXPECT_EQ(log, L"FillDataForAssistant() - can't get user name");
    EXPECT_EQ(data.fullName, L"untouched");
}

} // namespace
