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

TEST(StubFieldsTest, ParsesSingleValuesAndLists) {
    EXPECT_EQ(ParseStubValue(Field("LANGUAGE", "de")), "de");
    EXPECT_EQ(ParseStubList(Field("SERVER_URL", std::string("a\0b\0\0", 5))), (Strings{"a", "b"}));
    EXPECT_TRUE(ParseStubList(Field("SERVER_URL", "")).empty());
    // A value running into the end of the block without its zero stops there.
    EXPECT_EQ(ParseStubList(std::string("M\0abc", 5)), Strings{"abc"});
}

TEST(StubFieldsTest, BuiltValueFillsTheFieldExactlyAtCapacity) {
    const config::StubField& path = *config::FindStubField("UPDATE_PATH");
    std::size_t available = path.size - config::StubMarker(path).size() - 1;
    std::string bytes, longest(128, 'u');
    ASSERT_TRUE(BuildStubValue({longest}, false, available, &bytes));
    // The value's terminating zero is the field's last byte.
    std::string block = config::StubMarker(path) + '\0' + bytes;
    EXPECT_EQ(block, Field("UPDATE_PATH", longest));
    EXPECT_EQ(block.size(), path.size);
    EXPECT_EQ(ParseStubValue(block), longest);
    EXPECT_FALSE(BuildStubValue({longest + "u"}, false, available, &bytes));
    EXPECT_FALSE(BuildStubValue({"a", "b"}, false, available, &bytes));
    EXPECT_FALSE(BuildStubValue({std::string("a\0b", 3)}, false, available, &bytes));

    // A list counts each entry's zero byte and the empty string that ends it.
    const config::StubField& servers = *config::FindStubField("SERVER_URL");
    available = servers.size - config::StubMarker(servers).size() - 1;
    Strings fitting{std::string(63, 'a'), std::string(63, 'b')};
    ASSERT_TRUE(BuildStubValue(fitting, true, available, &bytes));
    EXPECT_EQ(ParseStubList(config::StubMarker(servers) + '\0' + bytes), fitting);
    fitting.back() += 'b';
    EXPECT_FALSE(BuildStubValue(fitting, true, available, &bytes));
    EXPECT_FALSE(BuildStubValue({"a", "", "b"}, true, available, &bytes));
}

TEST(StubFieldsTest, ShippedFieldsOfThisProgramAreEmpty) {
    for (const config::StubField& field : config::StubFieldTable()) {
        EXPECT_EQ(config::StubResourceSize(field.typeName, field.id), field.size);
        EXPECT_EQ(config::ReadStubValue(field.typeName, field.id), "") << field.typeName;
        EXPECT_TRUE(config::ReadStubList(field.typeName, field.id).empty()) << field.typeName;
    }
    // A missing field reads as never patched.
    EXPECT_EQ(config::ReadStubValue("LANGUAGE", 999), "");
    EXPECT_EQ(config::StubResourceSize("NO_SUCH_FIELD", 132), 0u);
}

} // namespace
