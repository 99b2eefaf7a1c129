#include "config/UrlSelector.h"

#include "config/Cipher.h"
#include "config/CudFile.h"
#include "platform/Unicode.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <filesystem>

using namespace config;

namespace {

using Urls = std::vector<std::string>;

constexpr const char* kPredefined = R"(<ClientUpdateData>
  <Face id="game">
    <LoginURLs><URL>A</URL><URL>B</URL><URL>C</URL></LoginURLs>
    <DataUpdateURLs><URL>U1</URL><URL>U2</URL></DataUpdateURLs>
  </Face>
  <ReplaceURLs><Replace from="old" to="B"/><Replace from="gone"/></ReplaceURLs>
</ClientUpdateData>)";

// A "CUD.dat" text of the face "game".
std::string CudText(const std::string& logins, const std::string& rest = "") {
    return "<ClientUpdateData><Face id=\"game\"><LoginURLs>" + logins + "</LoginURLs></Face>" +
           rest + "</ClientUpdateData>";
}

std::string Sealed(const std::string& text) {
    return EncodeCudText(text, kCudKey, true);
}

class UrlSelectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(predefined_.Parse(kPredefined), tinyxml2::XML_SUCCESS);
        selector_.SetKey(kCudKey);
        selector_.SetLog(&log_, [](void* context, std::string_view text, bool newLine) {
            *static_cast<std::string*>(context) += std::string(text) + (newLine ? "\n" : "");
        });
    }

    bool Init(const Urls& servers = {}, bool verbose = false) {
        return selector_.Initialise(predefined_.RootElement(), servers, path_, verbose);
    }
    bool Logged(const std::string& text) const { return log_.find(text) != std::string::npos; }
    // The selected server of each of `count` selections, "-" for a depleted pass.
    std::string Rotation(int count) {
        std::string taken;
        for (int i = 0; i < count; ++i)
            taken += selector_.SelectServer() ? selector_.SelectedUrl() : "-";
        return taken;
    }

    tinyxml2::XMLDocument predefined_;
    testsupport::TempDir dir_;
    std::wstring path_ = dir_.File(L"CUD.dat");
    std::string log_;
    CUrlSelector selector_;
};

TEST_F(UrlSelectorTest, RotationStartsAtTheSavedServerAndRestartsAfterADepletedPass) {
    testsupport::WriteTestFile(path_, Sealed(CudText("", "<SelectedURL>B</SelectedURL>")));
    ASSERT_TRUE(Init());
    EXPECT_EQ(Rotation(5), "BCA-A");
    EXPECT_TRUE(Logged("Selecting server URL: list depleted\n"));

    // A saved server that is not listed: the first entry.
    testsupport::WriteTestFile(path_, Sealed(CudText("", "<SelectedURL>Z</SelectedURL>")));
    ASSERT_TRUE(Init());
    EXPECT_EQ(Rotation(1), "A");

    EXPECT_TRUE(selector_.SelectUpdateUrl() && selector_.SelectUpdateUrl());
    EXPECT_EQ(selector_.UpdateUrl(), "U2");
    EXPECT_FALSE(selector_.SelectUpdateUrl());
}

TEST_F(UrlSelectorTest, InitialiseFailsWithoutFaceOrServers) {
    tinyxml2::XMLDocument doc;
    doc.Parse(
        "<ClientUpdateData><Face><LoginURLs><URL>A</URL></LoginURLs></Face></ClientUpdateData>");
    EXPECT_FALSE(selector_.Initialise(doc.RootElement(), {}, path_, false));
    EXPECT_TRUE(Logged("Initializing CUD... failed to parse predefined CUD\n"));
    doc.Parse("<ClientUpdateData><Face id=\"game\"/></ClientUpdateData>");
    EXPECT_FALSE(selector_.Initialise(doc.RootElement(), {}, path_, false));
    EXPECT_TRUE(Logged("list of predefined server URLs is empty\n"));
    EXPECT_FALSE(selector_.SelectServer());

    // The stub's server list stands in for the predefined one.
    EXPECT_TRUE(selector_.Initialise(doc.RootElement(), {"S1", "S2"}, L"", false));
    EXPECT_EQ(selector_.Face().loginUrls, (Urls{"S1", "S2"}));
    EXPECT_FALSE(selector_.Save(false)); // no file path
}

TEST_F(UrlSelectorTest, BadFilesLeaveThePredefinedDataInUse) {
    const std::string good = Sealed(CudText("<URL>X</URL>"));
    const std::string cases[] = {
        "",                                                      // empty
        good.substr(0, 16),                                      // truncated at a block
        good.substr(0, good.size() - 3),                         // not whole blocks
        std::string(64, '\x5a'),                                 // deciphers to garbage
        Sealed("<ClientUpdateData><Other/></ClientUpdateData>"), // no face
        Sealed("<ClientUpdateData><Face id=\"else\"><LoginURLs><URL>X</URL></LoginURLs>"
               "</Face></ClientUpdateData>"),   // another product
        "<ClientUpdateData><Face id=\"game\">", // plain but cut short
    };
    for (const std::string& bytes : cases) {
        testsupport::WriteTestFile(path_, bytes);
        log_.clear();
        ASSERT_TRUE(Init());
        EXPECT_TRUE(Logged("Loading CUD file... failed to parse CUD file\n")) << log_;
        EXPECT_EQ(selector_.Face().loginUrls, (Urls{"A", "B", "C"}));
        // What is saved is the working data, which loads again.
        ASSERT_TRUE(selector_.Save(false));
        tinyxml2::XMLDocument saved;
        EXPECT_EQ(LoadCudDocument(path_, kCudKey, &saved), CudLoadResult::kLoaded);
    }
    std::filesystem::remove(plat::WideToUtf8(path_));
    ASSERT_TRUE(Init());
    EXPECT_TRUE(Logged("Loading CUD file... cannot open CUD file\n"));
}

TEST_F(UrlSelectorTest, LoadedFileIsRewrittenByTheRulesAndMerged) {
    testsupport::WriteTestFile(path_, Sealed(CudText("<URL>old</URL><URL>B</URL><URL>gone</URL>")));
    ASSERT_TRUE(Init());
    EXPECT_TRUE(Logged("Replacing URLs in loaded CUD file... 2 URLs replaced/removed\n"));
    EXPECT_TRUE(Logged("Updating inner CUD by loaded CUD file... URLs updated\n"));
    EXPECT_EQ(selector_.Face().loginUrls, (Urls{"B"}));

    // A plain file is read as it is although a key is set.
    testsupport::WriteTestFile(path_, CudText("<URL>P</URL>"));
    ASSERT_TRUE(Init());
    EXPECT_EQ(selector_.Face().loginUrls, (Urls{"P"}));
}

TEST_F(UrlSelectorTest, SaveWritesEncipheredDocumentOnlyWhenModified) {
    ASSERT_TRUE(Init({}, true));
    log_.clear();
    selector_.Dump("now");
    const std::string dumpHead = "\n--- now ---\n", dumpTail = "\n--- end CUD data ---\n";
    ASSERT_EQ(log_.rfind(dumpHead, 0), 0u);
    const std::string xml =
        log_.substr(dumpHead.size(), log_.size() - dumpHead.size() - dumpTail.size());

    // Verbose mode stores the plain text.
    ASSERT_TRUE(selector_.Save(false));
    EXPECT_EQ(testsupport::ReadTestFile(path_), xml);

    ASSERT_TRUE(Init());
    ASSERT_TRUE(selector_.Save(false));
    EXPECT_TRUE(Logged("Saving CUD file... OK\n"));
    CCipher fresh;
    std::string deciphered;
    ASSERT_TRUE(fresh.SetKey(kCudKey));
    ASSERT_TRUE(fresh.Decrypt(testsupport::ReadTestFile(path_), &deciphered));
    EXPECT_EQ(deciphered, xml);

    testsupport::WriteTestFile(path_, "left alone");
    EXPECT_FALSE(selector_.Save(true));
    EXPECT_TRUE(Logged("Saving CUD file... not modified\n"));
    EXPECT_EQ(testsupport::ReadTestFile(path_), "left alone");
}

TEST_F(UrlSelectorTest, SaveTakesTheRunTimeDataTheClientWrote) {
    ASSERT_TRUE(Init());
    ASSERT_TRUE(selector_.SelectServer());
    testsupport::WriteTestFile(path_, Sealed(CudText("", R"(<Location country="DE" city=""/>
        <LastKnownGoodURL>B</LastKnownGoodURL>)")));
    ASSERT_TRUE(selector_.Save(true));
    EXPECT_TRUE(Logged("need to merge RTD\nUpdating RTD... RTD updated\n"));
    EXPECT_EQ(selector_.Country(), "DE");
    EXPECT_EQ(selector_.LastKnownGoodUrl(), "B");

    CUrlSelector reloaded;
    reloaded.SetKey(kCudKey);
    ASSERT_TRUE(reloaded.Initialise(predefined_.RootElement(), {}, path_, false));
    EXPECT_EQ(reloaded.SelectedUrl(), "A");
    EXPECT_EQ(reloaded.LastKnownGoodUrl(), "B");
}

TEST_F(UrlSelectorTest, SaveKeepsTheOldFileWhenItCannotWrite) {
    const std::string old = Sealed(CudText("<URL>A</URL>"));
    testsupport::WriteTestFile(path_, old);
    ASSERT_TRUE(Init());
    std::filesystem::create_directory(plat::WideToUtf8(ReplacementTempPath(path_)));
    EXPECT_FALSE(selector_.Save(false));
    EXPECT_TRUE(Logged("cannot open CUD file for writing\n"));
    EXPECT_EQ(testsupport::ReadTestFile(path_), old);
    EXPECT_TRUE(selector_.IsModified());
}

TEST_F(UrlSelectorTest, IncomingDataIsMergedByIdentityAndLocation) {
    testsupport::WriteTestFile(path_, Sealed(CudText("", R"(<Location country="at"/>)")));
    ASSERT_TRUE(Init());
    EXPECT_EQ(Rotation(4), "ABC-");
    const std::string incoming = R"(<ClientUpdateData><Face id="game">
        <LoginURLs country="DE, AT"><URL>D</URL></LoginURLs>
        <LoginURLs><URL>W</URL></LoginURLs></Face></ClientUpdateData>)";
    EXPECT_TRUE(selector_.MergeIncoming(incoming));
    EXPECT_EQ(selector_.Face().loginUrls, (Urls{"D", "W"}));
    EXPECT_FALSE(selector_.MergeIncoming(incoming));
    EXPECT_TRUE(Logged("Updating CUD by incoming data... no new URLs\n"));
    EXPECT_EQ(Rotation(1), "D");

    for (const char* bad : {"", "<ClientUpdateData><Face id=\"game\">", "not xml",
                            "<Other><Face id=\"game\"><LoginURLs><URL>Q</URL></LoginURLs></Face>"
                            "</Other>"}) {
        log_.clear();
        EXPECT_FALSE(selector_.MergeIncoming(bad));
        EXPECT_TRUE(Logged("\nFailed to parse CUD file\n")) << bad;
    }
    EXPECT_EQ(selector_.Face().loginUrls, (Urls{"D", "W"}));
}

TEST_F(UrlSelectorTest, CustomAddressIsAcceptedOrRejected) {
    ASSERT_TRUE(Init());
    EXPECT_FALSE(selector_.SetCustomUrl(""));
    EXPECT_TRUE(Logged("Setting custom URL: URL is empty\n"));
    EXPECT_FALSE(selector_.SetCustomUrl("B"));
    EXPECT_TRUE(Logged("URL already exist\n"));

    ASSERT_TRUE(selector_.SetCustomUrl("X"));
    EXPECT_EQ(selector_.SelectedUrl(), "X");
    EXPECT_FALSE(selector_.SelectServer());
    EXPECT_TRUE(Logged("cannot select while custom URL is set\n"));
    EXPECT_TRUE(selector_.SelectUpdateUrl()); // the data-update list stays usable
    ASSERT_TRUE(selector_.AcceptCustomUrl());
    EXPECT_EQ(selector_.Face().loginUrls, (Urls{"A", "B", "C", "X"}));
    EXPECT_FALSE(selector_.HasCustomUrl());
    EXPECT_FALSE(selector_.AcceptCustomUrl()); // nothing left to accept
    EXPECT_EQ(Rotation(2), "AB");              // X counts as tried: the pass goes on after it

    ASSERT_TRUE(selector_.SetCustomUrl("Y"));
    selector_.RejectCustomUrl();
    EXPECT_EQ(selector_.SelectedUrl(), "");
    EXPECT_EQ(selector_.ServerAttempts(), 0);
    EXPECT_EQ(Rotation(1), "A");

    // Incoming data already holding the custom address: not added twice.
    ASSERT_TRUE(selector_.SetCustomUrl("Z"));
    ASSERT_TRUE(selector_.MergeIncoming(CudText("<URL>Z</URL>")));
    EXPECT_FALSE(selector_.AcceptCustomUrl());
    EXPECT_EQ(selector_.Face().loginUrls, (Urls{"Z"}));
}

} // namespace
