#include "config/XmlQuery.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

using namespace config;

namespace {

class XmlQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(doc.Parse(R"(<config>
            <common>
              <regPath>Games\Demo</regPath>
              <empty/>
              <log><logLauncher enable="1"/><logHTTP enable="yes"/></log>
              <multiRun value=""/>
              <number value="0x1F"/>
            </common>
            <launch><Process>client.exe</Process></launch>
          </config>)"),
                  tinyxml2::XML_SUCCESS);
        root = doc.FirstChildElement();
    }
    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = nullptr;
};

TEST_F(XmlQueryTest, KindsOfTheWalk) {
    QueryResult r;
    EXPECT_EQ(QueryPath(root, "common/regPath", &r),
              root->FirstChildElement("common")->FirstChildElement());
    EXPECT_EQ(r.kind, kQueryEnd);

    // A trailing "/" after an element: that element, kind "element".
    EXPECT_NE(QueryPath(root, "common/", &r), nullptr);
    EXPECT_EQ(r.kind, kQueryElement);

    // Only an attribute segment: no element step, so no element.
    EXPECT_EQ(QueryPath(root, "@enable", &r), nullptr);
    EXPECT_EQ(r.kind, kQueryAttribute);

    // A missing element stops the walk with kind "element".
    EXPECT_EQ(QueryPath(root, "common/nothing/text()", &r), nullptr);
    EXPECT_EQ(r.kind, kQueryElement);

    // "text()" stops the walk even with segments after it.
    EXPECT_NE(QueryPath(root, "common/regPath/text()/more", &r), nullptr);
    EXPECT_EQ(r.kind, kQueryText);
    EXPECT_NE(r.segmentEnd, std::string("common/regPath/text()/more").size());

    // An empty path leaves the kind as it was.
    r.kind = kQueryAttribute;
    EXPECT_EQ(QueryPath(root, "", &r), nullptr);
    EXPECT_EQ(r.kind, kQueryAttribute);
}

TEST_F(XmlQueryTest, ReadersAcceptOnlyTheirOwnEnding) {
    std::string value;
    EXPECT_TRUE(QueryText(root, "common/regPath/text()", &value));
    EXPECT_EQ(value, "Games\\Demo");
    EXPECT_TRUE(QueryText(root, "common/empty/text()", &value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(QueryText(root, "common/regPath/text()/x", &value));
    EXPECT_FALSE(QueryText(root, "common/regPath", &value));

    EXPECT_TRUE(QueryAttribute(root, "common/log/logLauncher/@enable", &value));
    EXPECT_EQ(value, "1");
    EXPECT_FALSE(QueryAttribute(root, "common/log/logLauncher/@missing", &value));
    EXPECT_FALSE(QueryAttribute(root, "common/log/logLauncher/@enable/x", &value));

    EXPECT_NE(QueryElement(root, "launch"), nullptr);
    EXPECT_EQ(QueryElement(root, "launch/"), nullptr);
    EXPECT_EQ(QueryElement(root, "launch/Process/text()"), nullptr);
}

TEST_F(XmlQueryTest, BooleanAndIntegerConversions) {
    bool b = false;
    EXPECT_TRUE(ParseBool("1", &b) && b);
    EXPECT_TRUE(ParseBool("0", &b) && !b);
    EXPECT_TRUE(ParseBool("false", &b) && !b);
    EXPECT_TRUE(ParseBool("tr", &b) && b); // compared over its own length
    EXPECT_TRUE(ParseBool("", &b) && b);
    EXPECT_FALSE(ParseBool("yes", &b));
    EXPECT_FALSE(ParseBool("2", &b));
    EXPECT_FALSE(ParseBool("truex", &b));

    std::int32_t i = 0;
    EXPECT_TRUE(ParseInt("0x1F", &i));
    EXPECT_EQ(i, 31);
    EXPECT_TRUE(ParseInt("-12", &i));
    EXPECT_EQ(i, -12);
    EXPECT_FALSE(ParseInt("12abc", &i));
    EXPECT_FALSE(ParseInt("", &i));
    EXPECT_FALSE(ParseInt("0x", &i));
    EXPECT_FALSE(ParseInt("99999999999", &i));

    EXPECT_TRUE(QueryBool(root, "common/log/logLauncher/@enable", false));
    EXPECT_FALSE(QueryBool(root, "common/log/logHTTP/@enable", false)); // "yes": default
    EXPECT_TRUE(QueryBool(root, "common/multiRun/@value", false));      // "": true
    EXPECT_TRUE(QueryBool(root, "common/missing/@value", true));
    EXPECT_EQ(QueryInt(root, "common/number/@value", 0), 31);
    EXPECT_EQ(QueryInt(root, "common/regPath/text()", 5), 5);
}

TEST(XmlQueryLimits, LongElementNamesAreCutAt255) {
    std::string name(300, 'a');
    std::string xml = "<r><" + name.substr(0, 255) + ">x</" + name.substr(0, 255) + "></r>";
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.Parse(xml.c_str()), tinyxml2::XML_SUCCESS);
    std::string value;
    EXPECT_TRUE(QueryText(doc.FirstChildElement(), name + "/text()", &value));
    EXPECT_EQ(value, "x");
}

} // namespace
