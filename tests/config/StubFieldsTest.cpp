#include "config/StubFields.h"
#include "config/StubFieldLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using config::BuildStubValue;
using config::ParseStubList;
using config::ParseStubValue;
using Strings = std::vector<std::string>;

// A field block holding `value` after its marker. Markers are built at run
// time here too, so this program's image holds them only inside its fields.
std::string Field(const char* typeName, const std::string& value) {
    const config::StubField& field = *config::FindStubField(typeName);
    std::string block = config::StubMarker(field) + '\0' + value;
    block.resize(field.size, '\0');
    return block;
}

TEST(StubFieldLayoutTest, ParsesSingleValuesAndLists) {
    EXPECT_EQ(ParseStubValue(Field("LANGUAGE", "de")), "de");
    EXPECT_EQ(ParseStubValue(Field("LANGUAGE", "")), "");
    EXPECT_EQ(ParseStubList(Field("SERVER_URL", std::string("a\0b\0\0", 5))), (Strings{"a", "b"}));
    // Unpatched: no entries at all.
    EXPECT_TRUE(ParseStubList(Field("SERVER_URL", "")).empty());
    // Everything after the empty string that ends the list is ignored.
    EXPECT_EQ(ParseStubList(Field("SERVER_URL", std::string("a\0\0b\0\0", 6))), Strings{"a"});
}

TEST(StubFieldLayoutTest, ParsingStopsAtTheEndOfTheBlock) {
    // A value that runs up to the block's end without its zero is cut there.
    std::string full = "PROMO" + std::string(1, '\0') + "abcdef";
    EXPECT_EQ(ParseStubValue(full), "abcdef");
    EXPECT_EQ(ParseStubList(full), Strings{"abcdef"});
    EXPECT_EQ(ParseStubValue("PROMO"), "");
    EXPECT_TRUE(ParseStubList("").empty());
}

TEST(StubFieldLayoutTest, BuildFillsTheFieldExactlyAtCapacity) {
    const config::StubField& path = *config::FindStubField("UPDATE_PATH");
    std::size_t available = path.size - config::StubMarker(path).size() - 1;
    std::string bytes;
    std::string longest(path.capacity, 'u');
    ASSERT_TRUE(BuildStubValue({longest}, false, available, &bytes));
    EXPECT_EQ(bytes.size(), available);
    // The value's terminating zero is the field's last byte.
    EXPECT_EQ(bytes.back(), '\0');
    EXPECT_EQ(bytes.substr(0, path.capacity), longest);
    std::string block = config::StubMarker(path) + '\0' + bytes;
    EXPECT_EQ(block.size(), path.size);
    EXPECT_EQ(ParseStubValue(block), longest);

    EXPECT_FALSE(BuildStubValue({longest + "u"}, false, available, &bytes));
    EXPECT_FALSE(BuildStubValue({"a", "b"}, false, available, &bytes));
    EXPECT_FALSE(BuildStubValue({std::string("a\0b", 3)}, false, available, &bytes));

    // A shorter value leaves zeros after it: an earlier longer value is wiped.
    ASSERT_TRUE(BuildStubValue({"x"}, false, available, &bytes));
    EXPECT_EQ(bytes, "x" + std::string(available - 1, '\0'));
    ASSERT_TRUE(BuildStubValue({}, false, available, &bytes));
    EXPECT_EQ(bytes, std::string(available, '\0'));
}

TEST(StubFieldLayoutTest, ListLayoutCountsEveryTerminatorAndTheEmptyEnd) {
    const config::StubField& servers = *config::FindStubField("SERVER_URL");
    ASSERT_TRUE(config::IsStubList(servers));
    std::size_t available = servers.size - config::StubMarker(servers).size() - 1;
    // Two entries whose characters and zero bytes take the whole capacity.
    Strings fitting{std::string(63, 'a'), std::string(63, 'b')};
    std::string bytes;
    ASSERT_TRUE(BuildStubValue(fitting, true, available, &bytes));
    EXPECT_EQ(ParseStubList(config::StubMarker(servers) + '\0' + bytes), fitting);

    fitting.back() += 'b';
    EXPECT_FALSE(BuildStubValue(fitting, true, available, &bytes));
    EXPECT_FALSE(BuildStubValue({"a", "", "b"}, true, available, &bytes));

    ASSERT_TRUE(BuildStubValue({}, true, available, &bytes));
    EXPECT_EQ(bytes, std::string(available, '\0'));
}

TEST(StubFieldsTest, TableDescribesTheSixFieldsInChecksumOrder) {
    Strings names;
    for (const config::StubField& field : config::StubFieldTable()) {
        names.push_back(field.typeName);
        EXPECT_EQ(config::FindStubField(field.typeName), &field);
        EXPECT_EQ(config::IsStubList(field), names.size() == 1);
    }
    EXPECT_EQ(names, (Strings{"SERVER_URL", "UPDATE_PATH", "LANGUAGE", "AFFILIATE_ID",
                              "REFERRER_ID", "PROMOCODE"}));
    EXPECT_EQ(config::FindStubField("SERVER"), nullptr);
    EXPECT_EQ(config::FindStubField("server_url"), nullptr);
}

TEST(StubFieldsTest, ShippedFieldsOfThisProgramAreEmpty) {
    for (const config::StubField& field : config::StubFieldTable()) {
        EXPECT_EQ(config::StubResourceSize(field.typeName, field.id), field.size);
        EXPECT_EQ(config::ReadStubValue(field.typeName, field.id), "") << field.typeName;
        EXPECT_TRUE(config::ReadStubList(field.typeName, field.id).empty()) << field.typeName;
    }
    // A field that is not there reads as never patched.
    EXPECT_EQ(config::ReadStubValue("LANGUAGE", 999), "");
    EXPECT_TRUE(config::ReadStubList("NO_SUCH_FIELD", 132).empty());
    EXPECT_EQ(config::StubResourceSize("NO_SUCH_FIELD", 132), 0u);
}

} // namespace
