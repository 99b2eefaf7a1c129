#include "config/ClientUpdateData.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

using namespace config;

namespace {

using Urls = std::vector<std::string>;

const tinyxml2::XMLElement* Parse(tinyxml2::XMLDocument* doc, const char* xml) {
    EXPECT_EQ(doc->Parse(xml), tinyxml2::XML_SUCCESS);
    return doc->RootElement();
}

// Two faces; the second has targeted login lists: "DE, at" (with a blank
// after the comma), a city-only list, and one for everybody.
constexpr const char* kIncoming = R"(<ClientUpdateData>
  <Face id="other" askLoginURL="true"><LoginURLs><URL>http://other</URL></LoginURLs></Face>
  <Face id="game">
    <LoginURLs country="DE, at"><URL>http://central</URL><URL></URL></LoginURLs>
    <LoginURLs city=" wien ,graz"><URL>http://vienna</URL></LoginURLs>
    <LoginURLs><URL>http://world</URL></LoginURLs>
    <DataUpdateURLs><URL>http://cud1</URL><URL>http://cud2</URL></DataUpdateURLs>
  </Face>
</ClientUpdateData>)";

TEST(ClientUpdateDataTest, ReadsTheFaceByIdentityAndLocation) {
    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = Parse(&doc, kIncoming);
    CudFace face;

    // Without a match the first face is read, with its own first list only.
    ASSERT_TRUE(ReadCudFace(root, nullptr, nullptr, &face));
    EXPECT_EQ(face.id, "other");
    EXPECT_TRUE(face.askLoginUrl);

    const std::string id = "game";
    ASSERT_TRUE(ReadCudFace(root, &id, nullptr, &face));
    EXPECT_EQ(face.loginUrls, (Urls{"http://central"})); // the empty address is skipped
    EXPECT_EQ(face.dataUpdateUrls, (Urls{"http://cud1", "http://cud2"}));
    // The flag is taken from the first face, whichever face carries the id.
    EXPECT_TRUE(face.askLoginUrl);

    CudLocation austria{"at", "Wien"};
    ASSERT_TRUE(ReadCudFace(root, &id, &austria, &face));
    EXPECT_EQ(face.loginUrls, (Urls{"http://central", "http://vienna", "http://world"}));
    CudLocation france{"FR", "Paris"};
    ASSERT_TRUE(ReadCudFace(root, &id, &france, &face));
    EXPECT_EQ(face.loginUrls, (Urls{"http://world"}));

    const std::string missing = "absent";
    EXPECT_FALSE(ReadCudFace(root, &missing, nullptr, &face));
    EXPECT_EQ(face.id, "game"); // unchanged by the failure
}

TEST(ClientUpdateDataTest, ATargetedListWithoutMatchGivesNoLoginAddresses) {
    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = Parse(&doc, R"(<ClientUpdateData><Face id="g">
        <LoginURLs country="RU"><URL>http://ru</URL></LoginURLs></Face></ClientUpdateData>)");
    const std::string id = "g";
    CudLocation nowhere;
    CudFace face;
    ASSERT_TRUE(ReadCudFace(root, &id, &nowhere, &face));
    EXPECT_TRUE(face.loginUrls.empty());
}

TEST(ClientUpdateDataTest, ReplaceRulesRemoveOrReplaceAndSkipUselessOnes) {
    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = Parse(&doc, R"(<C><ReplaceURLs>
        <Replace from="A" to="B"/><Replace from="C"/><Replace from="D" to="D"/>
        <Replace to="X"/><Replace from="E" to="F"/></ReplaceURLs></C>)");
    std::vector<CudReplaceRule> rules = ReadReplaceRules(root);
    ASSERT_EQ(rules.size(), 3u); // A to A style and missing "from" are dropped
    EXPECT_EQ(rules[1].to, "");

    CudFace face{"g", false, {"A", "B", "C", "D"}, {"E", "A"}};
    // Login: A removed (B is listed), C removed; data-update: A becomes B, E becomes F.
    EXPECT_EQ(ApplyReplaceRules(rules, &face), 4);
    EXPECT_EQ(face.loginUrls, (Urls{"B", "D"}));
    EXPECT_EQ(face.dataUpdateUrls, (Urls{"F", "B"}));
}

TEST(ClientUpdateDataTest, MergeTakesOnlyNonEmptyDifferingListsOfTheSameFace) {
    CudFace into{"g", false, {"A", "B"}, {"U"}};
    EXPECT_FALSE(MergeCudFace(CudFace{"h", true, {"X"}, {"Y"}}, &into));
    EXPECT_FALSE(MergeCudFace(CudFace{"g", false, {"A", "B"}, {}}, &into));
    EXPECT_FALSE(MergeCudFace(CudFace{"g", false, {}, {}}, &into));
    EXPECT_TRUE(MergeCudFace(CudFace{"g", false, {"B", "A"}, {}}, &into));
    EXPECT_EQ(into.loginUrls, (Urls{"B", "A"}));
    EXPECT_EQ(into.dataUpdateUrls, (Urls{"U"}));
    EXPECT_TRUE(MergeCudFace(CudFace{"g", true, {}, {}}, &into));
    EXPECT_FALSE(MergeCudFace(CudFace{"g", false, {}, {}}, &into)); // a clear flag is not taken
    EXPECT_TRUE(into.askLoginUrl);
}

TEST(ClientUpdateDataTest, WrittenDocumentReadsBackAndOmitsEmptyParts) {
    CudFace face{"g&<\"", true, {"http://a/?x=1&y=<2>"}, {}};
    CudRunTimeData data{{"DE", ""}, "", "http://good"};
    std::string xml;
    ASSERT_TRUE(WriteCudDocument(face, data, &xml));
    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = Parse(&doc, xml.c_str());
    ASSERT_STREQ(root->Name(), kCudRootName);
    EXPECT_EQ(root->FirstChildElement("Face")->FirstChildElement("DataUpdateURLs"), nullptr);
    EXPECT_EQ(root->FirstChildElement("SelectedURL"), nullptr);
    ASSERT_NE(root->FirstChildElement("Location"), nullptr);
    EXPECT_NE(root->FirstChildElement("Location")->Attribute("city"), nullptr);

    CudFace read;
    ASSERT_TRUE(ReadCudFace(root, &face.id, nullptr, &read));
    EXPECT_TRUE(read.askLoginUrl);
    EXPECT_EQ(read.loginUrls, face.loginUrls);
    CudRunTimeData back = ReadCudRunTimeData(root);
    EXPECT_EQ(back.location.country, "DE");
    EXPECT_EQ(back.lastKnownGoodUrl, "http://good");

    EXPECT_FALSE(WriteCudDocument(CudFace{}, data, &xml));
}

} // namespace
