#include "platform/NamedPipe.h"

#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/Unicode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

class NamedPipePosixTest : public ::testing::Test {
protected:
    std::wstring UniqueName() {
        static int counter = 0;
        return L"\\\\.\\pipe\\launcher_test_" + std::to_wstring(plat::GetCurrentProcessId()) +
               L"_" + std::to_wstring(++counter);
    }

    testsupport::TempDir runtime_;
    testsupport::ScopedEnv xdg_{"XDG_RUNTIME_DIR", runtime_.NarrowPath()};
};

TEST_F(NamedPipePosixTest, TheEndOfTheStreamAndABrokenPipeAre109WithoutASignal) {
    // A write to a closed peer must not end the program with SIGPIPE.
    struct sigaction previous {};
    struct sigaction deflt {};
    deflt.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &deflt, &previous);

    std::wstring name = UniqueName();
    plat::NamedPipe server;
    ASSERT_TRUE(server.Create(name));
    {
        plat::NamedPipe client;
        ASSERT_TRUE(client.Open(name));
        ASSERT_TRUE(client.Write("ab", 2));
    }
    char buffer[4];
    EXPECT_FALSE(server.Read(buffer, 4)); // two bytes, then the end
    EXPECT_EQ(plat::GetLastError(), plat::kErrBrokenPipe);
    std::string lots(1 << 20, 'z');
    EXPECT_FALSE(server.Write(lots.data(), lots.size()));
    EXPECT_EQ(plat::GetLastError(), plat::kErrBrokenPipe);
    sigaction(SIGPIPE, &previous, nullptr);
}

TEST_F(NamedPipePosixTest, APipeLeftByACrashedServerIsReplaced) {
    std::wstring name = UniqueName();
    std::string folder;
    {
        plat::NamedPipe server;
        ASSERT_TRUE(server.Create(name));
        folder = plat::WideToUtf8(plat::GetRuntimeFolder()) + "pipe";
        // A crash leaves the socket file without a listener: a hard link to
        // it stays when the server closes its own.
        for (const auto& entry : fs::directory_iterator(folder))
            fs::create_hard_link(entry.path(), entry.path().string() + "-copy");
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string path = entry.path().string();
        if (path.size() > 5 && path.compare(path.size() - 5, 5, "-copy") == 0)
            fs::rename(path, path.substr(0, path.size() - 5));
    }
    plat::NamedPipe replacement;
    EXPECT_TRUE(replacement.Create(name));
    plat::NamedPipe client;
    EXPECT_TRUE(client.Open(name));
}

} // namespace
