#include "assistant/AssistantRecord.h"

#include "platform/Error.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using assistant::AssistantData;
using assistant::AssistantIcon;

// Writes ASCII text as UTF-16LE at the offset, byte by byte, as the wire
// format lays it out.
void PutAscii(std::string& bytes, std::size_t offset, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[offset + 2 * i] = text[i];
        bytes[offset + 2 * i + 1] = '\0';
    }
}

void PutU32(std::string& bytes, std::size_t offset, std::uint32_t value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
    bytes[offset + 2] = static_cast<char>((value >> 16) & 0xFF);
    bytes[offset + 3] = static_cast<char>((value >> 24) & 0xFF);
}

AssistantData SampleData() {
    AssistantData data;
    data.command = 3;
    data.installFolder = L"/opt/Game";
    data.userName = L"ugo";
    data.shortName = L"game";
    data.fullName = L"Game Online";
    data.iconName = L"Game";
    data.regPath = L"Software\\Demo\\Game";
    data.helpLink = L"http://h/help";
    data.urlInfoAbout = L"empty";
    data.urlUpdateInfo = L"http://h/upd";
    data.lnkDesktopIcon = L"/home/ugo/Desktop";
    data.launcherName = L"Launcher.exe";
    data.temp = L"/opt/Game/client.exe";
    data.iconPrograms = true;
    data.iconProgramsFolder = false;
    data.iconStartMenu = true;
    data.icons = {AssistantIcon{L"Game", L"Launcher.exe", true}};
    return data;
}

// The sample block as the format describes it, built field by field.
std::string SampleBytes() {
    std::string bytes(5148, '\0');
    PutU32(bytes, 0, 3);
    PutAscii(bytes, 4, "/opt/Game");
    PutAscii(bytes, 526, "ugo");
    PutAscii(bytes, 1040, "game");
    PutAscii(bytes, 1106, "Game Online");
    PutAscii(bytes, 1236, "Game");
    PutAscii(bytes, 1366, "Software\\Demo\\Game");
    PutAscii(bytes, 1888, "http://h/help");
    PutAscii(bytes, 2410, "empty");
    PutAscii(bytes, 2932, "http://h/upd");
    PutAscii(bytes, 3454, "/home/ugo/Desktop");
    PutAscii(bytes, 3976, "Launcher.exe");
    PutAscii(bytes, 4106, "/opt/Game/client.exe");
    bytes[5140] = 1;
    bytes[5141] = 0;
    bytes[5142] = 1;
    PutU32(bytes, 5144, 1);
    return bytes;
}

TEST(AssistantRecordTest, TheBlockIsLaidOutByteForByte) {
    std::string block;
    ASSERT_TRUE(assistant::EncodeAssistantData(SampleData(), &block));
    ASSERT_EQ(block.size(), 5148u);
    EXPECT_EQ(block, SampleBytes());

    AssistantData back;
    std::uint32_t iconCount = 0;
    std::vector<std::string> unterminated;
    ASSERT_TRUE(assistant::DecodeAssistantData(SampleBytes(), &back, &iconCount, &unterminated));
    EXPECT_TRUE(unterminated.empty());
    EXPECT_EQ(iconCount, 1u);
    AssistantData expected = SampleData();
    expected.icons.clear();
    EXPECT_EQ(back.command, expected.command);
    for (const assistant::TextField& field : assistant::AssistantTextFields())
        EXPECT_EQ(back.*field.member, expected.*field.member) << field.name;
    EXPECT_TRUE(back.iconPrograms);
    EXPECT_FALSE(back.iconProgramsFolder);
    EXPECT_TRUE(back.iconStartMenu);
}

TEST(AssistantRecordTest, TheIconEntryIsLaidOutByteForByte) {
    std::string expected(654, '\0');
    PutAscii(expected, 0, "Uninstall Game");
    PutAscii(expected, 130, "bin\\game.exe");
    expected[652] = 1;
    std::string bytes;
    ASSERT_TRUE(assistant::EncodeAssistantIcon(
        AssistantIcon{L"Uninstall Game", L"bin\\game.exe", true}, &bytes));
    EXPECT_EQ(bytes, expected);

    AssistantIcon back;
    std::vector<std::string> unterminated;
    expected[652] = 0;
    ASSERT_TRUE(assistant::DecodeAssistantIcon(expected, &back, &unterminated));
    EXPECT_EQ(back.name, L"Uninstall Game");
    EXPECT_EQ(back.exec, L"bin\\game.exe");
    EXPECT_FALSE(back.add);
    EXPECT_FALSE(assistant::DecodeAssistantIcon(expected.substr(1), &back, &unterminated));
}

TEST(AssistantRecordTest, FieldsAtTheirLimitKeepTheirTerminatorAndLongerOnesAreRefused) {
    AssistantData data = SampleData();
    for (const assistant::TextField& field : assistant::AssistantTextFields())
        data.*field.member = std::wstring(field.chars - 1, L'x');
    std::string block;
    ASSERT_TRUE(assistant::EncodeAssistantData(data, &block));
    for (const assistant::TextField& field : assistant::AssistantTextFields()) {
        std::size_t last = field.offset + 2 * (field.chars - 1);
        EXPECT_EQ(block[last], '\0') << field.name;
        EXPECT_EQ(block[last + 1], '\0') << field.name;
        EXPECT_EQ(block[last - 2], 'x') << field.name;
    }
    for (const assistant::TextField& field : assistant::AssistantTextFields()) {
        AssistantData longer = SampleData();
        longer.*field.member = std::wstring(field.chars, L'y');
        std::string refused = "untouched", name;
        EXPECT_FALSE(assistant::EncodeAssistantData(longer, &refused, &name)) << field.name;
        EXPECT_EQ(name, field.name);
        EXPECT_EQ(refused, "untouched");
        EXPECT_EQ(plat::GetLastError(), plat::kErrInsufficientBuffer);
    }
    std::string bytes, name;
    EXPECT_FALSE(assistant::EncodeAssistantIcon(AssistantIcon{std::wstring(65, L'n'), L"x", true},
                                                &bytes, &name));
    EXPECT_EQ(name, "Name");
    EXPECT_FALSE(assistant::EncodeAssistantIcon(AssistantIcon{L"n", std::wstring(261, L'e'), true},
                                                &bytes, &name));
    EXPECT_EQ(name, "Exec");
}

TEST(AssistantRecordTest, TextsAreUtf16WithSurrogatesAndNoInnerZero) {
    AssistantData data = SampleData();
    data.fullName = L"Spiel \u00e4 \U0001F600";
    std::string block;
    ASSERT_TRUE(assistant::EncodeAssistantData(data, &block));
    const std::string expected("S\0p\0i\0e\0l\0 \0\xe4\0 \0\x3d\xd8\x00\xde\0\0", 22);
    EXPECT_EQ(block.substr(1106, 22), expected);
    // A character outside the BMP takes two of the field's units.
    data.fullName = std::wstring(63, L'a') + L"\U0001F600";
    EXPECT_FALSE(assistant::EncodeAssistantData(data, &block));
    data.fullName = std::wstring(L"a\0b", 3);
    EXPECT_FALSE(assistant::EncodeAssistantData(data, &block));
}

TEST(AssistantRecordTest, AFieldWithoutTerminatorIsReportedAndStaysInsideItsField) {
    std::string bytes = SampleBytes();
    // chShortName (33 units at 1040) filled completely; chFullName follows.
    for (std::size_t i = 0; i < 33; ++i)
        PutAscii(bytes, 1040 + 2 * i, "Z");
    AssistantData data;
    std::uint32_t count = 0;
    std::vector<std::string> unterminated;
    ASSERT_TRUE(assistant::DecodeAssistantData(bytes, &data, &count, &unterminated));
    EXPECT_EQ(unterminated, std::vector<std::string>{"chShortName"});
    EXPECT_EQ(data.shortName, std::wstring(32, L'Z'));
    EXPECT_EQ(data.fullName, L"Game Online");

    // Every byte non-zero: every field unterminated, no read past the block.
    std::string hostile(5148, 'A');
    ASSERT_TRUE(assistant::DecodeAssistantData(hostile, &data, &count, &unterminated));
    EXPECT_EQ(unterminated.size(), assistant::AssistantTextFields().size());
    EXPECT_EQ(data.temp.size(), 516u);
    EXPECT_EQ(count, 0x41414141u);
    EXPECT_FALSE(assistant::DecodeAssistantData(hostile + "x", &data, &count, &unterminated));
}

TEST(AssistantRecordTest, CodesAreLittleEndian) {
    EXPECT_EQ(assistant::EncodeCode(10), std::string("\x0a\0\0\0", 4));
    EXPECT_EQ(assistant::EncodeCode(-1), std::string("\xff\xff\xff\xff", 4));
    EXPECT_EQ(assistant::DecodeCode(std::string("\x09\x01\0\0", 4)), 0x109);
    EXPECT_EQ(assistant::DecodeCode("ab"), 0);
}

} // namespace
