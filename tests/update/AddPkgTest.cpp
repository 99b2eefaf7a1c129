#include "update/AddPkg.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace update;
using testsupport::ReadTestFile;
using testsupport::TempDir;
using testsupport::WriteTestFile;
using Names = std::set<std::wstring>;

// A record written by hand: the UTF-16 units little-endian, padded with
// zero bytes.
std::string Record(std::u16string_view units) {
    std::string record;
    for (char16_t unit : units) {
        record += static_cast<char>(unit & 0xFF);
        record += static_cast<char>(unit >> 8);
    }
    record.resize(CAddPkg::kRecordSize, '\0');
    return record;
}

class AddPkgTest : public ::testing::Test {
protected:
    void SetUp() override { list_.SetPath(CAddPkg::PathIn(dir_.Path())); }

    TempDir dir_;
    CAddPkg list_;
};

TEST_F(AddPkgTest, LoadsRecordsUpToTheirFirstZeroUnit) {
    EXPECT_EQ(list_.Path(), dir_.File(L"addpkg.dat"));
    // Text after a zero unit, a surrogate pair, a duplicate, an empty record
    // and one filled to the end without a zero.
    const std::u16string full(64, u'x');
    WriteTestFile(list_.Path(), Record(std::u16string(u"a.rar\0z", 7)) +
                                    Record(u"\u00C4\u20AC\U0001F600") + Record(u"a.rar") +
                                    Record(u"") + Record(full));

    ASSERT_TRUE(list_.Load());
    EXPECT_EQ(list_.Names(), (Names{L"a.rar", L"\u00C4\u20AC\U0001F600", std::wstring(64, L'x')}));

    // Rewriting gives back one record per name in the set's order.
    ASSERT_TRUE(list_.Rewrite());
    EXPECT_EQ(ReadTestFile(list_.Path()),
              Record(u"a.rar") + Record(full) + Record(u"\u00C4\u20AC\U0001F600"));
}

TEST_F(AddPkgTest, AddAppendsOneRecordPerNewName) {
    ASSERT_TRUE(list_.Add(L"maps.rar"));
    ASSERT_TRUE(list_.Add(L"maps.rar"));
    ASSERT_TRUE(list_.Add(L"voice\u00E9.rar"));
    EXPECT_EQ(ReadTestFile(list_.Path()), Record(u"maps.rar") + Record(u"voice\u00E9.rar"));
    // Names that do not fit a record with its closing zero are refused.
    EXPECT_FALSE(list_.Add(std::wstring(64, L'n')));
    EXPECT_FALSE(list_.Add(std::wstring(62, L'n') + L"\U0001F600"));
    EXPECT_FALSE(list_.Add(L""));
    EXPECT_TRUE(list_.Add(std::wstring(63, L'n')));
    EXPECT_EQ(list_.Names().size(), 3u);
    EXPECT_EQ(ReadTestFile(list_.Path()).size(), 3 * CAddPkg::kRecordSize);

    // A file of another size (300 bytes) is not read and not appended to,
    // but a new name still joins the set.
    WriteTestFile(list_.Path(), Record(u"a") + Record(u"b") + std::string(44, 'c'));
    EXPECT_FALSE(list_.Load());
    EXPECT_TRUE(list_.Names().empty());
    EXPECT_FALSE(list_.Add(L"new.rar"));
    EXPECT_TRUE(list_.Contains(L"new.rar"));
    EXPECT_EQ(ReadTestFile(list_.Path()).size(), 300u);
}

} // namespace
