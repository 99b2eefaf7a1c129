#include "update/ManifestTransport.h"

#include "config/ArchiveHelperRar.h"
#include "rarpack/RarStoreWriter.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace update;
using rarpack::CRarStoreWriter;
using testsupport::ZipWriter;

const std::string kManifest = "<?xml version=\"1.0\"?>\r\n<update clientVersion=\"1.0\"/>\r\n";

class ManifestTransportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { config::InitArchiveLocale(); }
};

TEST_F(ManifestTransportTest, RequestAndSettingsDefaults) {
    ManifestTransport transport;
    EXPECT_EQ(ManifestRequest("/client/update/", transport), "/client/update/update.rxml");
    EXPECT_TRUE(transport.packed);
    EXPECT_EQ(transport.entryName, "update.xml");
}

TEST_F(ManifestTransportTest, RarBodiesGiveTheirManifestEntry) {
    CRarStoreWriter writer;
    writer.AddFile("readme.txt", "not this one");
    writer.AddFile("update.xml", kManifest);
    const std::string body = writer.Finish();
    ASSERT_TRUE(IsRarBody(body));

    std::string text;
    ASSERT_TRUE(UnpackManifest(body, "update.xml", &text));
    EXPECT_EQ(text, kManifest);
    ASSERT_TRUE(ReceiveManifest(ManifestTransport(), body, &text));
    EXPECT_EQ(text, kManifest);

    // A missing entry or a damaged archive fails with an empty text.
    EXPECT_FALSE(UnpackManifest(body, "other.xml", &text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(UnpackManifest(body.substr(0, body.size() - 20), "update.xml", &text));
    EXPECT_EQ(text, "");
}

TEST_F(ManifestTransportTest, OtherBodiesAreReadAsZip) {
    ZipWriter writer;
    writer.Add("folder/update.xml", "wrong place");
    writer.Add("update.xml", kManifest, ZipWriter::kDeflated);
    const std::string body = writer.Finish();
    ASSERT_FALSE(IsRarBody(body));

    std::string text;
    ASSERT_TRUE(UnpackManifest(body, "update.xml", &text));
    EXPECT_EQ(text, kManifest);
    EXPECT_FALSE(UnpackManifest(body, "UPDATE.XML", &text));

    // "Rar" alone is too short to be taken for RAR; as ZIP it is no archive.
    EXPECT_FALSE(IsRarBody("Rar"));
    EXPECT_TRUE(IsRarBody("Rar!"));
    for (const char* bad : {"Rar", "Rar!", "", kManifest.c_str()}) {
        text = "stale";
        EXPECT_FALSE(UnpackManifest(bad, "update.xml", &text)) << bad;
        EXPECT_EQ(text, "");
    }
}

TEST_F(ManifestTransportTest, UnpackedTransportTakesTheBodyAsItIs) {
    ManifestTransport transport;
    transport.packed = false;
    transport.requestName = "update.xml";
    EXPECT_EQ(ManifestRequest("/u/", transport), "/u/update.xml");
    std::string text;
    ASSERT_TRUE(ReceiveManifest(transport, kManifest, &text));
    EXPECT_EQ(text, kManifest);
    // A packed transport does not accept a plain body.
    EXPECT_FALSE(ReceiveManifest(ManifestTransport(), kManifest, &text));
}

} // namespace
