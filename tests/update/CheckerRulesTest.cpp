#include "update/CheckerRules.h"

#include <gtest/gtest.h>

namespace {

using namespace update;

TEST(CheckerRulesTest, ClientVersionsAgreeUpToTheSecondDot) {
    EXPECT_TRUE(ClientVersionsAgree(L"1.2.7", L"1.2.9"));
    EXPECT_TRUE(ClientVersionsAgree(L"1.2.", L"1.2.x"));
    EXPECT_FALSE(ClientVersionsAgree(L"1.3.0", L"1.2.9"));
    EXPECT_FALSE(ClientVersionsAgree(L"1.2", L"1.2"));
    EXPECT_FALSE(ClientVersionsAgree(L"1.20.1", L"1.2.1"));
    EXPECT_FALSE(ClientVersionsAgree(L"", L""));
}

IncrementPackage Increment(const std::wstring& file, std::uint32_t size,
                           std::initializer_list<const wchar_t*> paths) {
    IncrementPackage increment;
    increment.file = file;
    increment.size = size;
    for (const wchar_t* path : paths)
        increment.files[path] = ManifestFile{};
    return increment;
}

TEST(CheckerRulesTest, SmallestUsableIncrementWinsFirstOnEqualSizes) {
    const ChangedList changed = {{L"a", L"full.zip"}, {L"b", L"full.zip"}};
    const ManifestPackageMap packages = {
        {L"full.zip", {kPackageFull, kPlatformAny, L"full.zip", 0, 400}}};
    std::vector<IncrementPackage> increments = {Increment(L"lacks-b", 10, {L"a"}),
                                                Increment(L"first", 300, {L"a", L"b"}),
                                                Increment(L"second", 300, {L"a", L"b", L"c"})};
    EXPECT_EQ(ChooseNeededPackages(changed, &increments, packages),
              std::set<std::wstring>{L"first"});
    EXPECT_FALSE(increments[0].usable);
    EXPECT_TRUE(increments[2].usable);
}

TEST(CheckerRulesTest, PackagesMissingFromTheMapAddNothingToTheTotal) {
    const ChangedList changed = {{L"a", L"known.zip"}, {L"b", L"unknown.zip"}};
    const ManifestPackageMap packages = {
        {L"known.zip", {kPackageFull, kPlatformAny, L"known.zip", 0, 100}}};
    std::vector<IncrementPackage> increments = {Increment(L"inc", 101, {L"a", L"b"})};
    EXPECT_EQ(ChooseNeededPackages(changed, &increments, packages),
              (std::set<std::wstring>{L"known.zip", L"unknown.zip"}));
}

TEST(CheckerRulesTest, CleanupIgnoreRules) {
    const std::set<std::wstring> paths = {L"cache\\data.bin"};
    const std::set<std::wstring> names = {L"readme.txt", L"*.tmp", L"*.", L"noext"};
    EXPECT_TRUE(CleanupSkipsFile(L"/x/trace.LOG", L"trace.LOG"));
    EXPECT_TRUE(CleanupSkipsFile(L"/a/b", L"b"));
    EXPECT_FALSE(CleanupSkipsFile(L"/x/log", L"log"));
    EXPECT_TRUE(CleanupKeepsUnlistedFile(L"cache\\data.bin", L"data.bin", paths, names));
    EXPECT_TRUE(CleanupKeepsUnlistedFile(L"docs\\readme.txt", L"ReadMe.TXT", paths, names));
    EXPECT_TRUE(CleanupKeepsUnlistedFile(L"x.TMP", L"x.TMP", paths, names));
    EXPECT_TRUE(CleanupKeepsUnlistedFile(L"noext", L"noext", paths, names));
    EXPECT_FALSE(CleanupKeepsUnlistedFile(L"notes", L"notes", paths, names));
    EXPECT_FALSE(CleanupKeepsUnlistedFile(L".tmp", L".tmp", paths, names));
    EXPECT_FALSE(CleanupKeepsUnlistedFile(L"cache\\data.bin2", L"data.bin2", paths, names));
}

} // namespace
