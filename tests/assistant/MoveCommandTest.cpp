// The moving copy's command line: what the starting launcher writes must
// come back whole on the other side, however long, or be refused whole.

#include "assistant/MoveCommand.h"

#include "assistant/AssistantChecks.h"
#include "platform/CommandLine.h"
#include "platform/Unicode.h"

#include <gtest/gtest.h>

namespace {

assistant::MoveRequest Request(const std::wstring& parent) {
    assistant::MoveRequest request;
    request.folder = parent + L"/Demo Game Beta";
    request.destination = parent + L"/Demo Game";
    request.oldShortName = L"DemoGame";
    request.oldFullName = L"Demo Game Beta";
    request.oldRegPath = L"Software\\Demo\\Game Beta";
    request.oldIconName = L"Demo Game Beta";
    request.id = 2002;
    return request;
}

// What the started copy reads: the text after "/setlongname" and one blank,
// the first quoted value as the folder, the values after it as the move's
// arguments, the trailing number as the action's id.
struct ReadBack {
    std::wstring program, folder;
    assistant::MoveArguments arguments;
    long id = -1;
};

bool ReadLine(const std::wstring& line, ReadBack* back) {
    std::wstring rest;
    plat::SplitProgramToken(line, &back->program, &rest);
    const std::wstring kSwitch = L"/setlongname ";
    if (rest.rfind(kSwitch, 0) != 0)
        return false;
    const std::wstring argument = rest.substr(kSwitch.size());
    std::vector<std::wstring> values = plat::SplitArguments(argument);
    if (values.size() != 7)
        return false;
    back->folder = values[0];
    back->id = std::wcstol(values[6].c_str(), nullptr, 10);
    const std::size_t third = argument.find(L'"', argument.find(L'"', 1) + 1);
    return assistant::ParseMoveArguments(argument.substr(third), &back->arguments);
}

TEST(MoveCommandTest, LinesOfAnyLengthTheAssistantTakesComeBackWhole) {
    // A short line and one far past the 263 characters of the original's
    // buffer: both are written whole and split back into the same values.
    const std::wstring deep = L"/home/player/" + std::wstring(120, L'g') + L"/Spiele und mehr";
    for (const std::wstring& parent : {std::wstring(L"/home/player/Games"), deep}) {
        const assistant::MoveRequest request = Request(parent);
        const std::wstring copy = L"/tmp/launcher-1000/RNM1a2b.exe";
        std::wstring line;
        std::string why;
        ASSERT_TRUE(assistant::BuildMoveCommandLine(copy, request, &line, &why)) << why;
        if (parent == deep) {
            EXPECT_GT(line.size(), 263u);
        }
        ReadBack back;
        ASSERT_TRUE(ReadLine(line, &back)) << plat::WideToUtf8(line);
        EXPECT_EQ(back.program, copy);
        EXPECT_EQ(back.folder, request.folder);
        EXPECT_EQ(back.arguments.destination, request.destination);
        EXPECT_EQ(back.arguments.oldShortName, request.oldShortName);
        EXPECT_EQ(back.arguments.oldFullName, request.oldFullName);
        EXPECT_EQ(back.arguments.oldRegPath, request.oldRegPath);
        EXPECT_EQ(back.arguments.oldIconName, request.oldIconName);
        EXPECT_EQ(back.id, 2002);
        EXPECT_TRUE(line.ends_with(L"\" " + assistant::MoveArgumentsText(request)));
    }
}

TEST(MoveCommandTest, ValuesTheAssistantCannotTakeWholeAreRefusedNotCut) {
    std::wstring line = L"untouched";
    std::string why;
    // The folder fills the record's 260 characters and one more.
    assistant::MoveRequest longFolder = Request(L"/srv");
    longFolder.folder = L"/srv/" + std::wstring(256, L'f');
    EXPECT_FALSE(assistant::BuildMoveCommandLine(L"/tmp/RNM1.exe", longFolder, &line, &why));
    EXPECT_NE(why.find("folder"), std::string::npos) << why;
    // 260 characters fit.
    longFolder.folder.pop_back();
    EXPECT_TRUE(assistant::BuildMoveCommandLine(L"/tmp/RNM1.exe", longFolder, &line, &why)) << why;

    // The arguments together are longer than the record's 516 characters.
    line = L"untouched";
    assistant::MoveRequest longArguments = Request(L"/srv");
    longArguments.destination = L"/srv/" + std::wstring(250, L'd');
    longArguments.oldIconName = std::wstring(250, L'i');
    EXPECT_FALSE(assistant::BuildMoveCommandLine(L"/tmp/RNM1.exe", longArguments, &line, &why));
    EXPECT_NE(why.find("arguments"), std::string::npos) << why;
    EXPECT_EQ(line, L"untouched");

    // Values that would not split back into themselves.
    for (auto spoil : {+[](assistant::MoveRequest& r) { r.oldFullName = L"Demo \"Game\""; },
                       +[](assistant::MoveRequest& r) { r.destination = L"/srv/Demo Game\\"; },
                       +[](assistant::MoveRequest& r) { r.oldIconName = L"Demo\nGame"; },
                       +[](assistant::MoveRequest& r) { r.destination.clear(); }}) {
        assistant::MoveRequest request = Request(L"/srv");
        spoil(request);
        EXPECT_FALSE(assistant::BuildMoveCommandLine(L"/tmp/RNM1.exe", request, &line, &why));
        EXPECT_EQ(line, L"untouched");
    }
}

} // namespace
