#include "NetTestSupport.h"

#include "platform/Process.h"
#include "support/TempDir.h"

#include <string>

namespace {

using testsupport::Reply;

class HttpLogTest : public nettest::TransportTest {
protected:
    void EnableLog(std::string key = {}, bool debugRecords = false) {
        auto settings = std::make_unique<NetEx::HttpLogSettings>();
        settings->enabled = true;
        settings->debugRecords = debugRecords;
        settings->folder = folder_.NarrowPath();
        settings->key.Append(key);
        ASSERT_TRUE(transport_.SetLogSettings(std::move(settings)));
    }
    // Destroys the context, which ends its log, and reads the file.
    std::string FinishLog(std::uint32_t contextId, const std::string& logName) {
        std::size_t destroyed = client_->Destroyed().size();
        EXPECT_TRUE(client_->PostDestroyContext(contextId));
        windowtest::PumpUntil([&] { return client_->Destroyed().size() > destroyed; });
        const std::string name =
            std::to_string(plat::GetCurrentProcessId()) + "." + logName + ".log";
        return testsupport::ReadTestFile(folder_.File(std::wstring(name.begin(), name.end())));
    }

    testsupport::TempDir folder_;
};

bool Has(const std::string& log, const std::string& text) {
    return log.find(text) != std::string::npos;
}

TEST_F(HttpLogTest, ContextAndRequestRecords) {
    EnableLog();
    server_.On("/base/a", Reply::Text(200, "body-bytes"));
    server_.On("/base/r", Reply::Redirect(301, "/elsewhere"));
    ASSERT_TRUE(MakeContext(client_, 3, server_.Url("/base?k=v"), "my:ctx", 4321, 65536));
    auto request = NewRequest(3, 11, "/a", 4096);
    request->AddHeader("X-Log: 1\r\n");
    ASSERT_NE(Run(std::move(request)), nullptr);
    ASSERT_NE(Run(NewRequest(3, 12, "/r", 4096)), nullptr);
    auto changes = std::make_unique<NetEx::CContextHttx>();
    changes->Setup(3, {}, {}, 999, 0);
    changes->SetArgs("?m=1");
    ASSERT_TRUE(client_->PostModifyContext(std::move(changes)));
    ASSERT_TRUE(windowtest::PumpUntil([&] { return !client_->Modified().empty(); }));
    const std::string log = FinishLog(3, "Httx.my-ctx");

    ASSERT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_TRUE(Has(log, "Creating context"));
    EXPECT_TRUE(Has(log, "Url:  " + server_.Url("/base?k=v") + "\r\n"));
    EXPECT_TRUE(Has(log, "Id:   3\r\nArgs: ?k=v\r\nT/o:  4321\r\nBGS:  65536\r\n"));
    EXPECT_TRUE(Has(log, "Sending request >>>"));
    EXPECT_TRUE(Has(log, "Path: /base/a?k=v\r\nType: GET\r\nId:   11\r\nHeader:\r\nX-Log: 1\r\n"));
    EXPECT_TRUE(Has(log, "Request completed"));
    EXPECT_TRUE(Has(log, "Request data received <<<"));
    EXPECT_TRUE(Has(log, "Httx: 200\r\nHeader:\r\nHTTP/1.1 200"));
    EXPECT_TRUE(Has(log, "Size: 10\r\nData:\r\nbody-bytes\r\n"));
    EXPECT_TRUE(Has(log, "Request redirected"));
    EXPECT_TRUE(Has(log, "Url:  /elsewhere\r\nId:   12\r\n"));
    EXPECT_TRUE(Has(log, "Modifying context"));
    EXPECT_TRUE(Has(log, "Args: ?m=1\r\nT/o:  999\r\nBGS:  65536\r\n"));
    EXPECT_TRUE(Has(log, "Destroying context"));
    // Records come in the order things happened.
    EXPECT_LT(log.find("Creating context"), log.find("Sending request"));
    EXPECT_LT(log.find("Request data received"), log.find("Destroying context"));
    // State changes are debug records: not in this log.
    EXPECT_FALSE(Has(log, "Request state"));
}

TEST_F(HttpLogTest, DebugRecordsFollowEveryStateChangeOfARequest) {
    EnableLog({}, true);
    server_.On("/a", Reply::Text(200, std::string(50000, 'b')));
    ASSERT_TRUE(MakeContext(client_, 4, server_.Url(""), "dbg", 5000, 65536));
    ASSERT_NE(Run(NewRequest(4, 21, "/a", 4096)), nullptr);
    const std::string log = FinishLog(4, "Httx.dbg");
    std::size_t at = 0;
    for (const char* change :
         {"created -> opened", "opened -> sent", "sent -> receiving", "receiving -> finished"}) {
        at = log.find(std::string("Request state"), at);
        ASSERT_NE(at, std::string::npos) << change << "\n" << log;
        at = log.find(std::string("Id:   21\r\nState: ") + change + "\r\n", at);
        ASSERT_NE(at, std::string::npos) << change << "\n" << log;
    }
    // Each change once: a request never goes back.
    std::size_t records = 0;
    for (std::size_t pos = log.find("Request state"); pos != std::string::npos;
         pos = log.find("Request state", pos + 1))
        ++records;
    EXPECT_EQ(records, 4u);
    // The changes are written as they happen, before the answer's record.
    EXPECT_LT(log.find("sent -> receiving"), log.find("Request data received"));
}

TEST_F(HttpLogTest, FailuresProgressAndCancelAreLogged) {
    EnableLog();
    Reply late = Reply::Text(200, "late");
    late.delayMs = 20000;
    server_.On("/late", late);
    Reply slow = Reply::Text(200, std::string(30000, 's'));
    slow.trickleBytes = 10000;
    slow.trickleMs = 5;
    server_.On("/slow", slow);
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));
    auto done = Run(NewRequest(0, 1, "/late", 4096, 200));
    ASSERT_NE(done, nullptr);
    ASSERT_NE(Run(NewRequest(0, 2, "/slow", 4096)), nullptr);
    ASSERT_TRUE(client_->SendRequest(NewRequest(0, 3, "/late", 4096)));
    ASSERT_TRUE(client_->CancelRequest(0, 3));
    const std::string log = FinishLog(0, "Httx.Context0");

    EXPECT_TRUE(Has(log, "WinInet error 12002: "));
    EXPECT_TRUE(Has(log, "Request progress"));
    EXPECT_TRUE(Has(log, "Path: /slow\r\nId:   2\r\nSize: "));
    EXPECT_TRUE(Has(log, "Canceling request"));
    EXPECT_TRUE(Has(log, "Path: /late\r\nId:   3\r\n"));
    // The cancelled request never reaches a data record.
    EXPECT_FALSE(Has(log, "Id:   3\r\nHttx: "));
}

TEST_F(HttpLogTest, KeyedLogIsEnciphered) {
    EnableLog("0123456789abcdef");
    server_.On("/a", Reply::Text(200, "plain-marker"));
    ASSERT_TRUE(MakeContext(client_, 5, server_.Url("")));
    ASSERT_NE(Run(NewRequest(5, 1, "/a", 4096)), nullptr);
    const std::string log = FinishLog(5, "Httx.Context5");
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(log.substr(0, 4), "ZCL1");
    EXPECT_FALSE(Has(log, "plain-marker"));
    EXPECT_FALSE(Has(log, "Creating context"));
}

TEST_F(HttpLogTest, NoSettingsNoLog) {
    server_.On("/a", Reply::Text(200, "x"));
    ASSERT_TRUE(MakeContext(client_, 1, server_.Url("")));
    ASSERT_NE(Run(NewRequest(1, 1, "/a", 4096)), nullptr);
    EXPECT_TRUE(FinishLog(1, "Httx.Context1").empty());
}

} // namespace
