#include "update/ManifestTransport.h"

#include "config/ArchiveHelperRar.h"
#include "rarpack/RarStoreWriter.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace update;

const std::string kManifest = "<?xml version=\"1.0\"?>\r\n<update clientVersion=\"1.0\"/>\r\n";

TEST(ManifestTransportTest, RarAndZipBodiesGiveTheirManifestEntry) {
    config::InitArchiveLocale();
    rarpack::CRarStoreWriter rar;
    rar.AddFile("readme.txt", "not this one");
    rar.AddFile("update.xml", kManifest);
    testsupport::ZipWriter zip;
    zip.Add("folder/update.xml", "wrong place");
    zip.Add("update.xml", kManifest);

    for (const std::string& body : {rar.Finish(), zip.Finish()}) {
        std::string text;
        ASSERT_TRUE(ReceiveManifest(ManifestTransport(), body, &text));
        EXPECT_EQ(text, kManifest);
        // A missing entry or a damaged archive fails with an empty text.
        EXPECT_FALSE(UnpackManifest(body, "UPDATE.XML", &text));
        EXPECT_EQ(text, "");
        EXPECT_FALSE(UnpackManifest(body.substr(0, body.size() - 1), "update.xml", &text));
    }
    EXPECT_TRUE(IsRarBody(rar.Finish()));
    EXPECT_FALSE(IsRarBody(zip.Finish()));
}

TEST(ManifestTransportTest, ShortOrPlainBodiesAreNoPackedManifest) {
    // "Rar" is too short to be taken for RAR; as ZIP it is no archive either.
    EXPECT_FALSE(IsRarBody("Rar"));
    for (const char* bad : {"Rar", "Rar!", "", kManifest.c_str()}) {
        std::string text = "stale";
        EXPECT_FALSE(UnpackManifest(bad, "update.xml", &text)) << bad;
        EXPECT_EQ(text, "");
    }

    ManifestTransport transport;
    EXPECT_EQ(ManifestRequest("/client/", transport), "/client/update.rxml");
    transport.packed = false;
    transport.requestName = "update.xml";
    EXPECT_EQ(ManifestRequest("/client/", transport), "/client/update.xml");
    std::string text;
    ASSERT_TRUE(ReceiveManifest(transport, kManifest, &text));
    EXPECT_EQ(text, kManifest);
}

} // namespace
