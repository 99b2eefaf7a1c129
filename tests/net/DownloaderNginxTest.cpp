// The downloader against a real nginx: ranges, redirects, the manifest's
// time argument as a production server answers them.

#include "DownloaderTestSupport.h"

#include "support/NginxServer.h"

namespace {

using testsupport::NginxServer;

class DownloaderNginxTest : public dltest::DownloaderTest {
protected:
    void SetUp() override {
        DownloaderTest::SetUp();
        content_.resize(200000);
        for (std::size_t i = 0; i < content_.size(); ++i)
            content_[i] = static_cast<char>((i * 31 + i / 251) & 0xFF);
        testsupport::WriteTestFile(root_.File(L"pkg.zip"), content_);
        testsupport::WriteTestFile(root_.File(L"update.rxml"), "<update/>");
    }
    bool StartNginx(const std::vector<NginxServer::Redirect>& redirects = {}) {
        if (!nginx_.Start(root_.NarrowPath(), redirects))
            return false;
        downloader_->SetServer(nginx_.BaseUrl());
        return true;
    }

    testsupport::TempDir root_;
    NginxServer nginx_;
    std::string content_;
};

TEST_F(DownloaderNginxTest, RangesAndManifest) {
    ASSERT_TRUE(StartNginx());
    downloader_->SetClientVersion("3.0.1");
    ASSERT_TRUE(Update("/pkg.zip", 1000, 5000, content_.size(), content_.substr(0, 1000)));
    ASSERT_TRUE(AwaitResults(1));
    std::shared_ptr<nettest::MemorySink> first = sink_;
    ASSERT_TRUE(Update("/pkg.zip", 150000, 0, content_.size(), content_.substr(0, 150000)));
    ASSERT_TRUE(AwaitResults(2));
    ASSERT_TRUE(downloader_->DownloadUpdateXml("/update.rxml"));
    ASSERT_TRUE(AwaitResults(3));

    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"part", "part", "xml"}));
    EXPECT_EQ(first->content, content_.substr(0, 6000));
    EXPECT_EQ(sink_->content, content_);
    EXPECT_EQ(notify_.Last("xml")->body, "<update/>");
}

TEST_F(DownloaderNginxTest, RedirectChains) {
    ASSERT_TRUE(StartNginx({{"/old/update.rxml", "/mid/update.rxml", 302},
                            {"/mid/update.rxml", "/update.rxml", 301},
                            {"/a/pkg.zip", "/b/pkg.zip", 302},
                            {"/b/pkg.zip", "/c/pkg.zip", 302},
                            {"/c/pkg.zip", "/pkg.zip", 302}}));
    ASSERT_TRUE(downloader_->DownloadUpdateXml("/old/update.rxml"));
    ASSERT_TRUE(AwaitResults(1));
    ASSERT_TRUE(Update("/a/pkg.zip", 0, 99));
    ASSERT_TRUE(AwaitResults(2));

    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"xml", "error"}));
    EXPECT_EQ(notify_.events[0].body, "<update/>");
    const dltest::Event* error = notify_.Last("error");
    EXPECT_EQ(error->a, NetEx::kDownloadUpdate);
    EXPECT_EQ(error->c, 302);
    EXPECT_EQ(notify_.Last("part"), nullptr);
}

} // namespace
