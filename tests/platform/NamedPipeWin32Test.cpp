// The pipe's ends on Windows: the end of the stream and a gone peer are 109,
// and names stay inside the pipe namespace whatever they hold.

#include "platform/NamedPipe.h"

#include "platform/Process.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

std::wstring UniqueName(const wchar_t* what) {
    static int counter = 0;
    return std::wstring(L"\\\\.\\pipe\\launcher-win32-test-") + what + L"-" +
           std::to_wstring(plat::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

TEST(NamedPipeWin32, TheEndOfTheStreamAndAGonePeerAre109) {
    const std::wstring name = UniqueName(L"end");
    plat::NamedPipe server;
    ASSERT_TRUE(server.Create(name));
    EXPECT_TRUE(server.IsServer());
    {
        plat::NamedPipe client;
        ASSERT_TRUE(client.Open(name));
        EXPECT_FALSE(client.IsServer());
        ASSERT_TRUE(client.Write("ab", 2));
    }
    char buffer[4];
    EXPECT_FALSE(server.Read(buffer, 4)); // two bytes, then the end
    EXPECT_EQ(plat::GetLastError(), plat::kErrBrokenPipe);
    std::string lots(1 << 20, 'z');
    EXPECT_FALSE(server.Write(lots.data(), lots.size()));
    EXPECT_EQ(plat::GetLastError(), plat::kErrBrokenPipe);
}

TEST(NamedPipeWin32, ANameWithPathStepsStaysOnePipe) {
    plat::NamedPipe server;
    ASSERT_TRUE(server.Create(L"\\\\.\\pipe\\..\\..\\launcher-escape-test"));
    plat::NamedPipe client;
    ASSERT_TRUE(client.Open(L"\\\\.\\pipe\\..\\..\\launcher-escape-test", 100, 1));
    // Another spelling is another pipe.
    plat::NamedPipe other;
    EXPECT_FALSE(other.Open(L"\\\\.\\pipe\\launcher-escape-test", 100, 1));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    ASSERT_TRUE(client.Write("x", 1));
    char c = 0;
    ASSERT_TRUE(server.Read(&c, 1));
    EXPECT_EQ(c, 'x');
}

TEST(NamedPipeWin32, TheServerDisconnectingEndsTheClientsRead) {
    const std::wstring name = UniqueName(L"server-disconnect");
    plat::NamedPipe server;
    ASSERT_TRUE(server.Create(name));
    plat::NamedPipe client;
    ASSERT_TRUE(client.Open(name));
    ASSERT_TRUE(client.Write("hi", 2));
    char got[2];
    ASSERT_TRUE(server.Read(got, 2));
    bool clientReadFailed = false;
    std::thread reader([&] {
        char buffer[8];
        clientReadFailed = !client.Read(buffer, 8);
    });
    server.Disconnect();
    reader.join();
    EXPECT_TRUE(clientReadFailed);
    EXPECT_FALSE(server.Read(got, 1));
    EXPECT_EQ(plat::GetLastError(), plat::kErrBrokenPipe);
    EXPECT_TRUE(server.IsOpen());
    server.Close();
    EXPECT_FALSE(server.IsOpen());
}

} // namespace
