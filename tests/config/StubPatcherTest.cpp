#include "config/StubPatcher.h"

#include "StubImage.h"
#include "config/LauncherChecksum.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using config::CStubPatcher;
using Strings = std::vector<std::string>;

const config::StubField& Field(const char* typeName) {
    return *config::FindStubField(typeName);
}

class StubPatcherTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::WriteTestFile(path_, original_); }
    std::string FileBytes() const { return testsupport::ReadTestFile(path_); }

    testsupport::TempDir dir_;
    std::wstring path_ = dir_.File(L"Launcher.exe");
    std::string original_ = stubimage::LauncherImage();
    std::string message_;
};

TEST_F(StubPatcherTest, PatchesEveryFieldWithoutChangingTheChecksum) {
    CStubPatcher patcher;
    ASSERT_TRUE(patcher.Load(path_, &message_)) << message_;
    EXPECT_EQ(patcher.Values(Field("SERVER_URL")), Strings{});
    EXPECT_EQ(patcher.Values(Field("LANGUAGE")), Strings{""});
    ASSERT_TRUE(patcher.Set("SERVER_URL", {"http://a.example/cud", "https://b"}, &message_));
    ASSERT_TRUE(patcher.Set("UPDATE_PATH", {std::string(128, 'u')}, &message_));
    ASSERT_TRUE(patcher.Set("LANGUAGE", {"de"}, &message_));
    ASSERT_TRUE(patcher.Set("AFFILIATE_ID", {"aff-1"}, &message_));
    ASSERT_TRUE(patcher.Set("REFERRER_ID", {std::string(64, 'r')}, &message_));
    ASSERT_TRUE(patcher.Set("PROMOCODE", {"LONGER-CODE"}, &message_));
    ASSERT_TRUE(patcher.Set("PROMOCODE", {"SPRING"}, &message_)); // wipes the longer one
    ASSERT_TRUE(patcher.Save(&message_)) << message_;

    std::string patched = FileBytes();
    ASSERT_EQ(patched.size(), original_.size());
    for (int walk : {config::kWalkSkipRepeatedBoundary, config::kWalkCountEmptyRun})
        EXPECT_EQ(config::LauncherChecksumOfImage(patched, walk),
                  config::LauncherChecksumOfImage(original_, walk));

    CStubPatcher reader;
    ASSERT_TRUE(reader.Load(path_, &message_));
    EXPECT_EQ(reader.Values(Field("SERVER_URL")), (Strings{"http://a.example/cud", "https://b"}));
    EXPECT_EQ(reader.Values(Field("UPDATE_PATH")), Strings{std::string(128, 'u')});
    EXPECT_EQ(reader.Values(Field("LANGUAGE")), Strings{"de"});
    EXPECT_EQ(reader.Values(Field("AFFILIATE_ID")), Strings{"aff-1"});
    EXPECT_EQ(reader.Values(Field("REFERRER_ID")), Strings{std::string(64, 'r')});
    EXPECT_EQ(reader.Values(Field("PROMOCODE")), Strings{"SPRING"});

    // Clearing every value gives back the shipped bytes.
    for (const config::StubField& field : config::StubFieldTable())
        ASSERT_TRUE(reader.Set(field.typeName, {}, &message_));
    ASSERT_TRUE(reader.Save(&message_));
    EXPECT_EQ(FileBytes(), original_);
}

TEST_F(StubPatcherTest, RefusedChangesLeaveTheImageAlone) {
    CStubPatcher patcher;
    ASSERT_TRUE(patcher.Load(path_, &message_));
    EXPECT_FALSE(patcher.Set("HOMEPAGE", {"x"}, &message_));
    EXPECT_NE(message_.find("HOMEPAGE"), std::string::npos);
    EXPECT_FALSE(patcher.Set("UPDATE_PATH", {std::string(129, 'u')}, &message_));
    EXPECT_FALSE(patcher.Set("LANGUAGE", {std::string(33, 'l')}, &message_));
    EXPECT_FALSE(patcher.Set("PROMOCODE", {std::string(65, 'p')}, &message_));
    EXPECT_FALSE(
        patcher.Set("SERVER_URL", {std::string(100, 'a'), std::string(27, 'b')}, &message_));
    // Control characters would reach command lines and request addresses.
    for (const char* value : {"de\n -promocode X", "a\tb", "x\r", "bell\x07", "del\x7F"}) {
        EXPECT_FALSE(patcher.Set("AFFILIATE_ID", {value}, &message_)) << value;
        EXPECT_NE(message_.find("control characters"), std::string::npos);
        EXPECT_FALSE(patcher.Set("SERVER_URL", {"http://a/", value}, &message_)) << value;
    }
    ASSERT_TRUE(patcher.Save(&message_));
    EXPECT_EQ(FileBytes(), original_);
}

TEST_F(StubPatcherTest, FileWithoutEveryFieldIsRefused) {
    std::string noPromocode = original_;
    noPromocode[noPromocode.find(config::StubMarker(Field("PROMOCODE")))] = 'X';
    // A marker without its zero byte, or without room for the field, is no field.
    std::string noZero = original_;
    std::string marker = config::StubMarker(Field("LANGUAGE"));
    noZero[noZero.find(marker) + marker.size()] = 'z';
    std::string cut = original_.substr(0, original_.rfind(config::StubMarker(Field("PROMOCODE"))) +
                                              Field("PROMOCODE").size - 1);

    for (const std::string& image : {noPromocode, noZero, cut, std::string("plain text\n")}) {
        testsupport::WriteTestFile(path_, image);
        CStubPatcher patcher;
        EXPECT_FALSE(patcher.Load(path_, &message_));
        EXPECT_FALSE(message_.empty());
        EXPECT_FALSE(patcher.Set("LANGUAGE", {"de"}, &message_));
    }
    CStubPatcher patcher;
    EXPECT_FALSE(patcher.Load(dir_.File(L"missing.exe"), &message_));
}

TEST_F(StubPatcherTest, SaveKeepsThePermissionsAndLeavesNoTemporaryFile) {
    namespace fs = std::filesystem;
    const fs::path file = dir_.NarrowPath() + "Launcher.exe";
    const fs::perms mode = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec;
    fs::permissions(file, mode);
    CStubPatcher patcher;
    ASSERT_TRUE(patcher.Load(path_, &message_));
    ASSERT_TRUE(patcher.Set("LANGUAGE", {"ru"}, &message_));
    ASSERT_TRUE(patcher.Save(&message_)) << message_;
    EXPECT_EQ(fs::status(file).permissions(), mode);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.NarrowPath()), fs::directory_iterator()),
              1);
}

} // namespace
