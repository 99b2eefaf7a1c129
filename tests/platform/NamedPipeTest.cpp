#include "platform/NamedPipe.h"

#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/Unicode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

class NamedPipeTest : public ::testing::Test {
protected:
    std::wstring UniqueName() {
        static int counter = 0;
        return L"\\\\.\\pipe\\launcher_test_" + std::to_wstring(plat::GetCurrentProcessId()) +
               L"_" + std::to_wstring(++counter);
    }

    testsupport::TempDir runtime_;
    testsupport::ScopedEnv xdg_{"XDG_RUNTIME_DIR", runtime_.NarrowPath()};
};

TEST_F(NamedPipeTest, ClientWritesBeforeTheServerReadsAndBothDirectionsCarryWholeCounts) {
    std::wstring name = UniqueName();
    plat::NamedPipe server;
    ASSERT_TRUE(server.Create(name));

    plat::NamedPipe client;
    ASSERT_TRUE(client.Open(name));
    // Larger than one socket buffer: the reads loop until the count is there.
    std::string big(300 * 1024, 'x');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    std::thread writer([&] { EXPECT_TRUE(client.Write(big.data(), big.size())); });
    std::string got(big.size(), '\0');
    ASSERT_TRUE(server.Read(got.data(), got.size()));
    writer.join();
    EXPECT_EQ(got, big);

    ASSERT_TRUE(server.Write("abcd", 4));
    char answer[4] = {};
    ASSERT_TRUE(client.Read(answer, 4));
    EXPECT_EQ(std::string(answer, 4), "abcd");
}

TEST_F(NamedPipeTest, OneInstanceOnly) {
    std::wstring name = UniqueName();
    plat::NamedPipe server;
    ASSERT_TRUE(server.Create(name));
    plat::NamedPipe second;
    EXPECT_FALSE(second.Create(name));
    EXPECT_EQ(plat::GetLastError(), plat::kErrPipeBusy);

    // The one waiting place is the first client's; a second client finds the
    // pipe busy, before and after the server took the first.
    plat::NamedPipe client;
    ASSERT_TRUE(client.Open(name));
    plat::NamedPipe other;
    EXPECT_FALSE(other.Open(name, 50, 2));
    EXPECT_EQ(plat::GetLastError(), plat::kErrPipeBusy);
    ASSERT_TRUE(client.Write("1234", 4));
    char got[4];
    ASSERT_TRUE(server.Read(got, 4));
    EXPECT_FALSE(other.Open(name, 50, 2));
    EXPECT_EQ(plat::GetLastError(), plat::kErrPipeBusy);

    // Closed, the name is free for a new server.
    server.Close();
    plat::NamedPipe again;
    EXPECT_TRUE(again.Create(name));
}

TEST_F(NamedPipeTest, ABusyClientGetsThePipeOnceItIsFree) {
    std::wstring name = UniqueName();
    auto server = std::make_unique<plat::NamedPipe>();
    ASSERT_TRUE(server->Create(name));
    plat::NamedPipe first;
    ASSERT_TRUE(first.Open(name));
    std::thread freer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        server->Close();
        server = std::make_unique<plat::NamedPipe>();
        EXPECT_TRUE(server->Create(name));
    });
    plat::NamedPipe waiting;
    // The first attempt finds it busy, the wait sees the new server.
    EXPECT_TRUE(waiting.Open(name, 5000, 2));
    freer.join();
    EXPECT_TRUE(waiting.Write("x", 1));
    char c = 0;
    EXPECT_TRUE(server->Read(&c, 1));
    EXPECT_EQ(c, 'x');
}

TEST_F(NamedPipeTest, MissingPipesAndBadNames) {
    plat::NamedPipe client;
    EXPECT_FALSE(client.Open(UniqueName(), 50, 1));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    plat::NamedPipe server;
    EXPECT_FALSE(server.Create(L"launcher_no_prefix"));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidName);
    EXPECT_FALSE(server.Create(L"\\\\.\\pipe\\"));
    // A name with path syntax stays one file inside the pipe folder.
    ASSERT_TRUE(server.Create(L"\\\\.\\pipe\\..\\..\\escape"));
    EXPECT_FALSE(fs::exists(runtime_.NarrowPath() + "escape"));
    EXPECT_FALSE(fs::exists(runtime_.NarrowPath() + "launcher/escape"));
}

TEST_F(NamedPipeTest, AServerReadWithoutAClientFailsAtOnce) {
    plat::NamedPipe server;
    ASSERT_TRUE(server.Create(UniqueName()));
    auto start = std::chrono::steady_clock::now();
    char buffer[4];
    EXPECT_FALSE(server.Read(buffer, 4));
    EXPECT_EQ(plat::GetLastError(), plat::kErrPipeNotConnected);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(server.WaitForData(0), 0u);
}

TEST_F(NamedPipeTest, DisconnectEndsAReadWaitingOnAnotherThread) {
    std::wstring name = UniqueName();
    plat::NamedPipe server;
    ASSERT_TRUE(server.Create(name));
    plat::NamedPipe client;
    ASSERT_TRUE(client.Open(name));
    ASSERT_TRUE(server.Write("go", 2)); // the server takes its client
    char got[2];
    ASSERT_TRUE(client.Read(got, 2));
    bool readFailed = false;
    std::thread reader([&] {
        char buffer[4];
        readFailed = !client.Read(buffer, 4);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    client.Disconnect();
    reader.join();
    EXPECT_TRUE(readFailed);
}

TEST_F(NamedPipeTest, WaitForDataReportsWhatIsWaiting) {
    std::wstring name = UniqueName();
    plat::NamedPipe server;
    ASSERT_TRUE(server.Create(name));
    plat::NamedPipe client;
    ASSERT_TRUE(client.Open(name));
    EXPECT_EQ(server.WaitForData(0), 0u);
    ASSERT_TRUE(client.Write("12345", 5));
    EXPECT_EQ(server.WaitForData(1000), 5u);
}

} // namespace
