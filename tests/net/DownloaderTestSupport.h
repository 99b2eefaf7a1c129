#pragma once
// Shared pieces of the downloader tests: a notify that records every
// callback in order, and a fixture whose main window stands in for the
// launcher window: it receives the downloader's posted progress and
// completion messages and hands them back to the downloader, as the launcher
// does. The test thread is the launcher window's thread.

#include "NetTestSupport.h"
#include "log/LogImplW.h"
#include "net/ContextHttx.h"
#include "net/Downloader.h"
#include "net/NetTransport.h"
#include "platform/WindowTestSupport.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dltest {

// One callback as it arrived.
struct Event {
    std::string name;
    std::string body;
    std::int64_t a = 0; // kind, bytes or received
    std::int64_t b = 0; // error code or total
    std::int64_t c = 0; // status
    bool flag = false;  // failed, in flight
    bool unexpected = false;
    bool restarted = false;
};

// Records the callbacks (window thread). The hook, when set, runs after a
// callback was recorded, so a test can start the next download from inside
// one as the launcher does.
class RecordingNotify : public NetEx::IDownloaderNotify {
public:
    std::vector<Event> events;
    std::function<void(const Event&)> hook;

    void fireCUDFileReceived(const CBuffer& body) override { Add("cud", Text(body)); }
    void fireKBFilePartReceived(std::int32_t received, std::int32_t total) override {
        Add("kbPart", {}, received, total);
    }
    void fireKBFileReceived(const CBuffer& body) override { Add("kb", Text(body)); }
    void fireLicenseReceived(const CBuffer& body) override { Add("license", Text(body)); }
    void fireUpdateXmlReceived(const CBuffer& body) override { Add("xml", Text(body)); }
    void fireFilePartReceived(const NetEx::FilePartResult& part) override {
        Add("part", {}, static_cast<std::int64_t>(part.bytes), 0, 0, part.failed);
        events.back().unexpected = part.unexpected;
        events.back().restarted = part.restarted;
    }
    void fireFileReceived() override { Add("file"); }
    void fireFilePartProgress(std::uint32_t bytes, bool inFlight) override {
        Add("progress", {}, bytes, 0, 0, inFlight);
    }
    void fireAffiliateUpdated() override { Add("affiliate"); }
    void fireNetError(std::uint32_t kind, std::uint32_t code, std::uint32_t status,
                      const std::string& body) override {
        Add("error", body, kind, code, status);
    }

    // The names in order, progress left out.
    std::vector<std::string> Results() const {
        std::vector<std::string> names;
        for (const Event& event : events) {
            if (event.name != "progress" && event.name != "kbPart")
                names.push_back(event.name);
        }
        return names;
    }
    const Event* Last(const std::string& name) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it) {
            if (it->name == name)
                return &*it;
        }
        return nullptr;
    }

private:
    static std::string Text(const CBuffer& body) { return std::string(body.View()); }
    void Add(std::string name, std::string body = {}, std::int64_t a = 0, std::int64_t b = 0,
             std::int64_t c = 0, bool flag = false) {
        events.push_back(Event{std::move(name), std::move(body), a, b, c, flag});
        if (hook)
            hook(events.back());
    }
};

class DownloaderTest : public windowtest::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(server_.Start());
        ASSERT_TRUE(transport_.Start(5000));
        NetEx::InternetParams params;
        params.userAgent = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
        // Directly: a proxy the machine's environment names stays out of it.
        params.accessType = plat::INTERNET_OPEN_TYPE_DIRECT;
        ASSERT_TRUE(transport_.OpenInternet(params));
        log_.SetUtf8(true);
        ASSERT_TRUE(log_.Open(logDir_.File(L"launcher.log")));
        downloader_ = std::make_unique<NetEx::CDownloader>();
        downloader_->SetClientName("CLogic thread");
        downloader_->SetLog(&log_);
        downloader_->SetTransport(&transport_);
        downloader_->SetNotify(&notify_);
        downloader_->SetServer(server_.Url(""));
        downloader_->SetProgressWindow(main_);
        // The launcher window's handlers of the two messages.
        mainHandler_.reply = [this](const windowtest::Received& got) -> plat::LRESULT {
            if (got.message == NetEx::kMsgDownloadCompleted)
                downloader_->OnCompletedMessage(got.wParam, got.lParam);
            else if (got.message == NetEx::kMsgDownloadProgress)
                downloader_->OnProgressMessage(got.lParam);
            return 0;
        };
    }
    void TearDown() override {
        downloader_.reset();
        transport_.Stop(5000);
        log_.Close();
        WindowTest::TearDown();
        server_.Stop();
    }

    // Runs the window loop until `count` results (progress aside) arrived.
    bool AwaitResults(std::size_t count) {
        return windowtest::PumpUntil([&] { return notify_.Results().size() >= count; });
    }
    // Runs the loop until the downloader is idle again.
    bool AwaitIdle() {
        return windowtest::PumpUntil([&] { return downloader_->CurrentKind() == 0; });
    }
    std::string LogText() { return testsupport::ReadTestFile(logDir_.File(L"launcher.log")); }
    // A range of an update file into a fresh memory sink (kept in sink_).
    bool Update(std::string_view path, std::uint32_t begin, std::uint32_t length,
                std::uint64_t fileSize = 0, std::string present = {}) {
        sink_ = std::make_shared<nettest::MemorySink>(fileSize, std::move(present));
        return downloader_->DownloadUpdate(path, begin, length, sink_);
    }

    testsupport::TestHttpServer server_;
    NetEx::CNetTransport transport_;
    testsupport::TempDir logDir_;
    CLogImplW log_;
    RecordingNotify notify_;
    std::shared_ptr<nettest::MemorySink> sink_;
    std::unique_ptr<NetEx::CDownloader> downloader_;
};

} // namespace dltest
