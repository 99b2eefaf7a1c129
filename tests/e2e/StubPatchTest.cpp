#include "E2eSupport.h"
#include "config/LauncherChecksum.h"
#include "config/StubPatcher.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;
using testsupport::ReadTestFile;

const config::StubField& Field(const char* typeName) {
    return *config::FindStubField(typeName);
}

std::uint32_t FileChecksum(const std::wstring& path) {
    std::uint32_t checksum = 0;
    EXPECT_TRUE(config::LauncherChecksumOfFile(path, config::kWalkSkipRepeatedBoundary, &checksum));
    return checksum;
}

class StubPatchTest : public ::testing::Test {
protected:
    testsupport::TempDir dir_;
    std::wstring copy_ = e2e::CopyLauncher(dir_);
};

TEST_F(StubPatchTest, EachMarkerOccursOnceInTheBuiltLauncher) {
    std::string image = ReadTestFile(e2e::LauncherPath());
    ASSERT_FALSE(image.empty());
    for (const config::StubField& field : config::StubFieldTable()) {
        std::string marker = config::StubMarker(field);
        std::size_t first = image.find(marker);
        ASSERT_NE(first, std::string::npos) << field.typeName;
        EXPECT_EQ(image.find(marker, first + 1), std::string::npos) << field.typeName;
        // As shipped: the marker, then zeros to the end of the field.
        EXPECT_EQ(image.substr(first + marker.size(), field.size - marker.size()),
                  std::string(field.size - marker.size(), '\0'))
            << field.typeName;
    }
}

TEST_F(StubPatchTest, PatchingEveryFieldKeepsTheChecksum) {
    std::uint32_t before = FileChecksum(copy_);
    const std::string updatePath = "http://127.0.0.1:8080/" + std::string(128 - 22, 'p');
    ASSERT_EQ(e2e::Run(e2e::StubpatchPath(),
                       {copy_, L"--set", L"SERVER_URL=http://a.example/cud,https://b.example",
                        L"--add-server", L"http://c.example", L"--set",
                        plat::Utf8ToWide("UPDATE_PATH=" + updatePath), L"--set", L"LANGUAGE=de",
                        L"--set", L"AFFILIATE_ID=aff 42", L"--set", L"REFERRER_ID=friend", L"--set",
                        L"PROMOCODE=SPRING"}),
              0u);

    config::CStubPatcher patched;
    std::string message;
    ASSERT_TRUE(patched.Load(copy_, &message)) << message;
    EXPECT_EQ(patched.Values(Field("SERVER_URL")),
              (Strings{"http://a.example/cud", "https://b.example", "http://c.example"}));
    EXPECT_EQ(patched.Values(Field("UPDATE_PATH")), Strings{updatePath});
    EXPECT_EQ(patched.Values(Field("LANGUAGE")), Strings{"de"});
    EXPECT_EQ(patched.Values(Field("AFFILIATE_ID")), Strings{"aff 42"});
    EXPECT_EQ(patched.Values(Field("REFERRER_ID")), Strings{"friend"});
    EXPECT_EQ(patched.Values(Field("PROMOCODE")), Strings{"SPRING"});

    EXPECT_NE(ReadTestFile(copy_), ReadTestFile(e2e::LauncherPath()));
    EXPECT_EQ(FileChecksum(copy_), before);
    auto permissions = std::filesystem::status(plat::WideToUtf8(copy_)).permissions();
    EXPECT_NE(permissions & std::filesystem::perms::owner_exec, std::filesystem::perms::none);

    // Showing the values prints one line per field, the list comma-separated.
    const std::string program = plat::WideToUtf8(e2e::StubpatchPath()),
                      file = plat::WideToUtf8(copy_), shown = dir_.NarrowPath() + "shown.txt";
#ifdef _WIN32
    // cmd.exe drops the outer pair of quotes of a command that starts with one.
    std::string command = "\"\"" + program + "\" \"" + file + "\" > \"" + shown + "\"\"";
#else
    std::string command = "'" + program + "' '" + file + "' > '" + shown + "'";
#endif
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string text = ReadTestFile(dir_.File(L"shown.txt"));
    // Console output on Windows ends its lines with "\r\n".
    std::erase(text, '\r');
    EXPECT_EQ(text,
              "SERVER_URL=http://a.example/cud,https://b.example,http://c.example\n"
              "UPDATE_PATH=" +
                  updatePath +
                  "\nLANGUAGE=de\nAFFILIATE_ID=aff 42\n"
                  "REFERRER_ID=friend\nPROMOCODE=SPRING\n");
}

TEST_F(StubPatchTest, RefusedPatchesLeaveTheFileByteIdentical) {
    const std::string original = ReadTestFile(copy_);
    const std::vector<std::vector<std::wstring>> refused = {
        {L"--set", L"UPDATE_PATH=" + std::wstring(129, L'u')},
        {L"--set", L"HOMEPAGE=http://x"},
        // A valid change does not go through with a refused one.
        {L"--set", L"PROMOCODE=OK", L"--set", L"REFERRER_ID=" + std::wstring(65, L'r')},
        {L"--add-server", std::wstring(100, L'a'), L"--add-server", std::wstring(28, L'b')},
    };
    for (const auto& args : refused) {
        std::vector<std::wstring> command{copy_};
        command.insert(command.end(), args.begin(), args.end());
        std::uint32_t code = e2e::Run(e2e::StubpatchPath(), command);
        EXPECT_NE(code, 0u) << plat::WideToUtf8(args[1]);
        EXPECT_NE(code, ~0u);
        EXPECT_EQ(ReadTestFile(copy_), original) << plat::WideToUtf8(args[1]);
    }

    // A file that is not a launcher is refused whole.
    testsupport::WriteTestFile(dir_.File(L"notes.txt"), "SERVER_URL is not here\n");
    EXPECT_EQ(e2e::Run(e2e::StubpatchPath(), {dir_.File(L"notes.txt"), L"--set", L"LANGUAGE=de"}),
              1u);
    EXPECT_EQ(ReadTestFile(dir_.File(L"notes.txt")), "SERVER_URL is not here\n");
}

} // namespace
