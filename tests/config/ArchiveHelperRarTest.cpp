#include "config/ArchiveHelperRar.h"

#include "rarpack/RarStoreWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using rarpack::CRarStoreWriter;
using Strings = std::vector<std::string>;

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

    // A root member, nested folders and a folder entry.
    static std::string SampleArchive() {
        CRarStoreWriter writer;
        writer.AddFile("config.xml", "<config/>");
        writer.AddDirectory("theme_default");
        writer.AddFile("theme_default\\config.xml", "<theme/>");
        writer.AddFile("theme_default/images/back.png", std::string("\x89PNG\0\1", 6));
        writer.AddFile("theme_default\\fonts\\a.ttf", "");
        return writer.Finish();
    }

    config::CArchiveHelperRar helper_;
};

TEST_F(ArchiveHelperRarTest, UnpacksNestedMembersUnderBackslashNames) {
    ASSERT_TRUE(Open(SampleArchive()));
    EXPECT_EQ(helper_.MemberNames(),
              (Strings{"config.xml", "theme_default\\config.xml", "theme_default\\fonts\\a.ttf",
                       "theme_default\\images\\back.png"}));
    EXPECT_EQ(Member("theme_default\\images\\back.png"), std::string("\x89PNG\0\1", 6));
    EXPECT_EQ(Member("theme_default\\fonts\\a.ttf"), "");
    // Each lookup is a fresh copy.
    std::string copy = Member("config.xml");
    copy[0] = '#';
    EXPECT_EQ(Member("config.xml"), "<config/>");

    // Folder entries never become members; lookups are exact.
    std::string bytes;
    for (const char* absent :
         {"theme_default", "theme_default\\", "CONFIG.XML", "theme_default/config.xml"})
        EXPECT_FALSE(helper_.GetMember(absent, &bytes)) << absent;
}

TEST_F(ArchiveHelperRarTest, LookupResolvesParentSegmentsAndLeadingBackslash) {
    ASSERT_TRUE(Open(SampleArchive()));
    EXPECT_EQ(Member("\\config.xml"), "<config/>");
    EXPECT_EQ(Member("x\\..\\config.xml"), "<config/>");
    EXPECT_EQ(Member("..\\config.xml"), "<config/>");
    EXPECT_EQ(Member("theme_default\\images\\..\\config.xml"), "<theme/>");
    EXPECT_EQ(Member("\\theme_default\\fonts\\..\\..\\theme_default\\config.xml"), "<theme/>");
    EXPECT_EQ(config::NormaliseMemberName("a\\b\\c\\..\\..\\d"), "a\\d");
    EXPECT_EQ(config::NormaliseMemberName("a\\b\\.."), "a");
}

TEST_F(ArchiveHelperRarTest, LaterMemberReplacesEarlierAndOpeningReplacesTheMap) {
    ASSERT_TRUE(Open(SampleArchive()));
    CRarStoreWriter writer;
    writer.AddFile("a.txt", "first");
    writer.AddFile("b.txt", "other");
    writer.AddFile("a.txt", "second");
    ASSERT_TRUE(Open(writer.Finish()));
    EXPECT_EQ(helper_.MemberNames(), (Strings{"a.txt", "b.txt"}));
    EXPECT_EQ(Member("a.txt"), "second");

    ASSERT_TRUE(Open(CRarStoreWriter().Finish()));
    EXPECT_TRUE(helper_.MemberNames().empty());
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

TEST_F(ArchiveHelperRarTest, DamagedArchivesFailAndLeaveTheMapEmpty) {
    const std::string good = SampleArchive();
    std::vector<std::string> damaged;
    // Cut inside a header, inside member data, and just before the end block.
    for (std::size_t cut : {std::size_t{0}, std::size_t{7}, std::size_t{40}, good.size() / 2,
                            good.size() - 7, good.size() - 1})
        damaged.push_back(good.substr(0, cut));
    // A flipped bit in the archive header and in a file header.
    for (std::size_t at : {std::size_t{9}, std::size_t{7 + 13 + 20}}) {
        damaged.push_back(good);
        damaged.back()[at] = static_cast<char>(damaged.back()[at] ^ 0x01);
    }
    // Stored data changed: the headers stay valid, only the member's CRC-32
    // can tell.
    damaged.push_back(good);
    damaged.back()[good.find("<theme/>") + 1] = 'T';
    damaged.push_back(std::string("Rar!\x1A\x07\x01\x00", 8) + good.substr(7)); // RAR 5 marker

    for (std::size_t i = 0; i < damaged.size(); ++i) {
        ASSERT_TRUE(Open(good));
        EXPECT_FALSE(Open(damaged[i])) << "case " << i;
        EXPECT_TRUE(helper_.MemberNames().empty()) << "case " << i;
    }
}

} // namespace
