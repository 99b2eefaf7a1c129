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
    void SetUp() override {
        original_ = stubimage::LauncherImage();
        testsupport::WriteTestFile(path_, original_);
    }

    std::string FileBytes() const { return testsupport::ReadTestFile(path_); }

    testsupport::TempDir dir_;
    std::wstring path_ = dir_.File(L"Launcher.exe");
    std::string original_;
    std::string message_;
};

TEST_F(StubPatcherTest, ShippedImageHasEmptyValues) {
    CStubPatcher patcher;
    ASSERT_TRUE(patcher.Load(path_, &message_)) << message_;
    for (const config::StubField& field : config::StubFieldTable()) {
        Strings expected = config::IsStubList(field) ? Strings{} : Strings{""};
        EXPECT_EQ(patcher.Values(field), expected) << field.typeName;
    }
}

TEST_F(StubPatcherTest, PatchesEveryFieldWithoutChangingTheChecksum) {
    CStubPatcher patcher;
    ASSERT_TRUE(patcher.Load(path_, &message_)) << message_;
    ASSERT_TRUE(
        patcher.Set("SERVER_URL", {"http://a.example/cud", "https://b.example"}, &message_));
    ASSERT_TRUE(patcher.Set("UPDATE_PATH", {std::string(128, 'u')}, &message_)) << message_;
    ASSERT_TRUE(patcher.Set("LANGUAGE", {"de"}, &message_));
    ASSERT_TRUE(patcher.Set("AFFILIATE_ID", {"aff-1"}, &message_));
    ASSERT_TRUE(patcher.Set("REFERRER_ID", {std::string(64, 'r')}, &message_));
    ASSERT_TRUE(patcher.Set("PROMOCODE", {"SPRING"}, &message_));
    ASSERT_TRUE(patcher.Save(&message_)) << message_;

    std::string patched = FileBytes();
    ASSERT_EQ(patched.size(), original_.size());
    EXPECT_NE(patched, original_);
    for (int walk : {config::kWalkSkipRepeatedBoundary, config::kWalkCountEmptyRun})
        EXPECT_EQ(config::LauncherChecksumOfImage(patched, walk),
                  config::LauncherChecksumOfImage(original_, walk));

    CStubPatcher reader;
    ASSERT_TRUE(reader.Load(path_, &message_));
    EXPECT_EQ(reader.Values(Field("SERVER_URL")),
              (Strings{"http://a.example/cud", "https://b.example"}));
    EXPECT_EQ(reader.Values(Field("UPDATE_PATH")), Strings{std::string(128, 'u')});
    EXPECT_EQ(reader.Values(Field("LANGUAGE")), Strings{"de"});
    EXPECT_EQ(reader.Values(Field("AFFILIATE_ID")), Strings{"aff-1"});
    EXPECT_EQ(reader.Values(Field("REFERRER_ID")), Strings{std::string(64, 'r')});
    EXPECT_EQ(reader.Values(Field("PROMOCODE")), Strings{"SPRING"});

    // The full UPDATE_PATH value ends on the field's last byte, a zero.
    const config::StubField& path = Field("UPDATE_PATH");
    std::size_t at = patched.find(config::StubMarker(path));
    EXPECT_EQ(patched.substr(at + path.size - 129, 129), std::string(128, 'u') + '\0');
}

TEST_F(StubPatcherTest, RepatchingWithAShorterValueClearsTheOldOne) {
    CStubPatcher patcher;
    ASSERT_TRUE(patcher.Load(path_, &message_));
    ASSERT_TRUE(patcher.Set("SERVER_URL", {"http://long.example/one", "http://two"}, &message_));
    ASSERT_TRUE(patcher.Set("SERVER_URL", {"http://x"}, &message_));
    ASSERT_TRUE(patcher.Set("PROMOCODE", {"LONGCODE"}, &message_));
    ASSERT_TRUE(patcher.Set("PROMOCODE", {}, &message_));
    EXPECT_EQ(patcher.Values(Field("SERVER_URL")), Strings{"http://x"});
    EXPECT_EQ(patcher.Values(Field("PROMOCODE")), Strings{""});
    ASSERT_TRUE(patcher.Set("SERVER_URL", {}, &message_));
    ASSERT_TRUE(patcher.Save(&message_));
    // Every value cleared: the shipped bytes again.
    EXPECT_EQ(FileBytes(), original_);
}

TEST_F(StubPatcherTest, RefusedChangesLeaveImageAndFileAlone) {
    CStubPatcher patcher;
    ASSERT_TRUE(patcher.Load(path_, &message_));
    EXPECT_FALSE(patcher.Set("HOMEPAGE", {"x"}, &message_));
    EXPECT_NE(message_.find("HOMEPAGE"), std::string::npos);
    EXPECT_FALSE(patcher.Set("UPDATE_PATH", {std::string(129, 'u')}, &message_));
    EXPECT_FALSE(patcher.Set("LANGUAGE", {std::string(33, 'l')}, &message_));
    EXPECT_FALSE(patcher.Set("PROMOCODE", {std::string(65, 'p')}, &message_));
    // 128 bytes of entries and their zeros fit; one more does not.
    EXPECT_TRUE(
        patcher.Set("SERVER_URL", {std::string(100, 'a'), std::string(26, 'b')}, &message_));
    EXPECT_FALSE(
        patcher.Set("SERVER_URL", {std::string(100, 'a'), std::string(27, 'b')}, &message_));
    EXPECT_FALSE(patcher.Set("SERVER_URL", {"a", ""}, &message_));
    EXPECT_FALSE(patcher.Set("LANGUAGE", {"de", "en"}, &message_));
    EXPECT_EQ(patcher.Values(Field("SERVER_URL")),
              (Strings{std::string(100, 'a'), std::string(26, 'b')}));
    EXPECT_EQ(patcher.Values(Field("UPDATE_PATH")), Strings{""});
    // Nothing was saved.
    EXPECT_EQ(FileBytes(), original_);
}

TEST_F(StubPatcherTest, FileWithoutEveryFieldIsRefused) {
    std::string noPromocode = original_;
    std::size_t at = noPromocode.find(config::StubMarker(Field("PROMOCODE")));
    noPromocode[at] = 'X';
    // A marker without its zero byte, or too close to the end, is no field.
    std::string noZero = original_;
    at = noZero.find(config::StubMarker(Field("LANGUAGE")));
    noZero[at + config::StubMarker(Field("LANGUAGE")).size()] = 'z';
    std::string cut = stubimage::Filler(10, 1);
    for (const config::StubField& field : config::StubFieldTable())
        cut += stubimage::EmptyField(field);
    cut.pop_back();

    for (const std::string& image : {noPromocode, noZero, cut, std::string("plain text\n")}) {
        testsupport::WriteTestFile(path_, image);
        CStubPatcher patcher;
        EXPECT_FALSE(patcher.Load(path_, &message_));
        EXPECT_FALSE(message_.empty());
        EXPECT_FALSE(patcher.Set("LANGUAGE", {"de"}, &message_));
        EXPECT_EQ(FileBytes(), image);
    }
    CStubPatcher patcher;
    EXPECT_FALSE(patcher.Load(dir_.File(L"missing.exe"), &message_));
}

TEST_F(StubPatcherTest, SaveKeepsThePermissionsAndLeavesNoTemporaryFile) {
    namespace fs = std::filesystem;
    fs::path file = dir_.NarrowPath() + "Launcher.exe";
    fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    CStubPatcher patcher;
    ASSERT_TRUE(patcher.Load(path_, &message_));
    ASSERT_TRUE(patcher.Set("LANGUAGE", {"ru"}, &message_));
    ASSERT_TRUE(patcher.Save(&message_)) << message_;
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.NarrowPath()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Launcher.exe"});
}

} // namespace
