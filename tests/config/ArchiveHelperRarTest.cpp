#include "config/ArchiveHelperRar.h"

#include "rarpack/RarStoreWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using config::CArchiveHelperRar;
using rarpack::CRarStoreWriter;

class ArchiveHelperRarTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { config::InitArchiveLocale(); }

    bool Open(const std::string& archive) {
        return helper_.OpenArchive(archive.data(), archive.size());
    }

    std::string Member(const std::string& name) {
        std::string bytes;
        EXPECT_TRUE(helper_.GetMember(name, &bytes)) << name;
        return bytes;
    }

    // A small archive with a root member, nested folders and a folder entry.
    static std::string SampleArchive() {
        CRarStoreWriter writer;
        writer.AddFile("config.xml", "<config/>");
        writer.AddDirectory("theme_default");
        writer.AddFile("theme_default\\config.xml", "<theme/>");
        writer.AddFile("theme_default/images/back.png", std::string("\x89PNG\0\1\2", 7));
        writer.AddFile("theme_default\\fonts\\a.ttf", "");
        return writer.Finish();
    }

    CArchiveHelperRar helper_;
};

TEST_F(ArchiveHelperRarTest, UnpacksNestedMembersUnderBackslashNames) {
    ASSERT_TRUE(Open(SampleArchive()));
    EXPECT_EQ(helper_.MemberNames(),
              (std::vector<std::string>{"config.xml", "theme_default\\config.xml",
                                        "theme_default\\fonts\\a.ttf",
                                        "theme_default\\images\\back.png"}));
    EXPECT_EQ(Member("config.xml"), "<config/>");
    EXPECT_EQ(Member("theme_default\\images\\back.png"), std::string("\x89PNG\0\1\2", 7));
    EXPECT_EQ(Member("theme_default\\fonts\\a.ttf"), "");

    std::string bytes;
    // Folder entries never become members, and lookups are exact.
    EXPECT_FALSE(helper_.GetMember("theme_default", &bytes));
    EXPECT_FALSE(helper_.GetMember("theme_default\\", &bytes));
    EXPECT_FALSE(helper_.GetMember("CONFIG.XML", &bytes));
    EXPECT_FALSE(helper_.GetMember("theme_default/config.xml", &bytes));
}

TEST_F(ArchiveHelperRarTest, EveryLookupGetsAFreshCopy) {
    ASSERT_TRUE(Open(SampleArchive()));
    std::string first = Member("config.xml");
    first[0] = '#';
    EXPECT_EQ(Member("config.xml"), "<config/>");
}

TEST_F(ArchiveHelperRarTest, LaterMemberOfTheSameNameReplacesTheEarlier) {
    CRarStoreWriter writer;
    writer.AddFile("a.txt", "first");
    writer.AddFile("b.txt", "other");
    writer.AddFile("a.txt", "second");
    ASSERT_TRUE(Open(writer.Finish()));
    EXPECT_EQ(Member("a.txt"), "second");
    EXPECT_EQ(helper_.MemberNames().size(), 2u);
}

TEST_F(ArchiveHelperRarTest, ReadsLargeMembersAndNamesOutsideAscii) {
    std::string big(300 * 1024, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 131) ^ (i >> 9));
    CRarStoreWriter writer;
    writer.AddFile("big.bin", big);
    writer.AddFile("lang\\Русский.lso", "ru");
    ASSERT_TRUE(Open(writer.Finish()));
    EXPECT_EQ(Member("big.bin"), big);
    EXPECT_EQ(Member("lang\\Русский.lso"), "ru");
}

TEST_F(ArchiveHelperRarTest, OpeningReplacesTheWholeMap) {
    ASSERT_TRUE(Open(SampleArchive()));
    CRarStoreWriter writer;
    writer.AddFile("other.xml", "x");
    ASSERT_TRUE(Open(writer.Finish()));
    EXPECT_EQ(helper_.MemberNames(), std::vector<std::string>{"other.xml"});

    // An archive without members opens and leaves an empty map.
    ASSERT_TRUE(Open(CRarStoreWriter().Finish()));
    EXPECT_TRUE(helper_.MemberNames().empty());
}

TEST_F(ArchiveHelperRarTest, DamagedArchivesFailAndLeaveTheMapEmpty) {
    const std::string good = SampleArchive();
    std::vector<std::pair<std::string, std::string>> damaged;
    // Cut anywhere: inside a header, inside member data, before the end block.
    for (std::size_t cut : {std::size_t{0}, std::size_t{5}, std::size_t{7}, std::size_t{20},
                            std::size_t{40}, good.size() / 2, good.size() - 7, good.size() - 1})
        damaged.emplace_back("cut at " + std::to_string(cut), good.substr(0, cut));
    // A flipped bit in the archive header and in a file header.
    for (std::size_t at : {std::size_t{9}, std::size_t{7 + 13 + 20}}) {
        std::string flipped = good;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x01);
        damaged.emplace_back("flipped " + std::to_string(at), flipped);
    }
    damaged.emplace_back("not an archive", std::string(200, 'R'));
    damaged.emplace_back("RAR 5 marker", std::string("Rar!\x1A\x07\x01\x00", 8) + good.substr(7));

    for (const auto& [what, bytes] : damaged) {
        ASSERT_TRUE(Open(good));
        EXPECT_FALSE(Open(bytes)) << what;
        EXPECT_TRUE(helper_.MemberNames().empty()) << what;
        std::string member;
        EXPECT_FALSE(helper_.GetMember("config.xml", &member)) << what;
    }
    EXPECT_FALSE(helper_.OpenArchive(nullptr, 10));
}

TEST_F(ArchiveHelperRarTest, StoredMemberThatDoesNotMatchItsCrcFails) {
    std::string archive = SampleArchive();
    // Change one byte of stored data; the headers stay valid, so only the
    // member's CRC-32 can tell.
    std::size_t at = archive.find("<theme/>");
    ASSERT_NE(at, std::string::npos);
    archive[at + 1] = 'T';
    ASSERT_TRUE(Open(SampleArchive()));
    EXPECT_FALSE(Open(archive));
    EXPECT_TRUE(helper_.MemberNames().empty());
}

TEST_F(ArchiveHelperRarTest, LookupResolvesParentSegmentsAndLeadingBackslash) {
    ASSERT_TRUE(Open(SampleArchive()));
    EXPECT_EQ(Member("\\config.xml"), "<config/>");
    EXPECT_EQ(Member("x\\..\\config.xml"), "<config/>");
    EXPECT_EQ(Member("theme_default\\images\\..\\config.xml"), "<theme/>");
    EXPECT_EQ(Member("\\theme_default\\fonts\\..\\..\\theme_default\\config.xml"), "<theme/>");
}

TEST(NormaliseMemberNameTest, WalksSegments) {
    const std::pair<const char*, const char*> cases[] = {
        {"config.xml", "config.xml"},
        {"\\config.xml", "config.xml"},
        {"x\\..\\config.xml", "config.xml"},
        {"..\\config.xml", "config.xml"},
        {"a\\b\\..\\c", "a\\c"},
        {"a\\b\\c\\..\\..\\d", "a\\d"},
        {"a\\..\\..\\c", "c"},
        {"a\\b\\..", "a"},
        {"theme\\fonts\\", "theme\\fonts\\"},
        {"", ""},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(config::NormaliseMemberName(name), expected) << name;
}

TEST(ArchiveHolderTest, OneInstanceForTheProcess) {
    EXPECT_EQ(&config::CArchiveHolder::Instance(), &config::CArchiveHolder::Instance());
}

} // namespace
