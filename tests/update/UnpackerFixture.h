#pragma once
// Shared set-up of the unpacker tests: a temporary folder with an
// installation folder and a tmp folder, and a message window on the test
// thread that receives what the unpacker thread posts.

#include "platform/Unicode.h"
#include "platform/Window.h"
#include "support/TempDir.h"
#include "update/UnpackerMessages.h"
#include "update/UnpackerThread.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>
#include <zlib.h>

namespace unpackertest {

inline std::string Pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed * 7 + i / 253) & 0xFF);
    return bytes;
}

inline std::uint32_t ZlibCrc(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// What the unpacker posted until its finish message.
struct Outcome {
    bool finished = false;
    plat::LPARAM result = -1;
    std::vector<plat::LPARAM> progress;
};

class UnpackerTestBase : public ::testing::Test {
protected:
    class NullHandler : public plat::IWindowHandler {
        plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t, plat::WPARAM, plat::LPARAM,
                                          const plat::CopyData*) override {
            return 0;
        }
    };

    void SetUp() override {
        // The launcher's tmp folder exists before the first download.
        std::filesystem::create_directories(plat::WideToUtf8(dir_.File(L"tmp")));
        window_ = plat::CreateWindow(L"UnpackerTestWindow", L"", &handler_, true);
        ASSERT_NE(window_, 0u);
    }
    void TearDown() override { plat::DestroyWindow(window_); }

    std::wstring Install() const { return dir_.File(L"game"); }
    std::wstring Temp(const std::wstring& name) const { return dir_.File(L"tmp/" + name); }
    std::string Installed(const std::string& name) const {
        return testsupport::ReadTestFile(Install() + L"/" + plat::Utf8ToWide(name));
    }

    // The bytes as a complete temporary file, as its sink leaves it.
    void Receive(update::CUnpackerThread&, const std::wstring& path, const std::string& bytes) {
        testsupport::WriteTestFile(path, bytes);
        received_[path] = bytes.size();
    }
    // The verified size a task names: what Receive wrote, else one byte
    // (of a file that is not there).
    std::uint64_t SizeOf(const std::wstring& path) const {
        auto found = received_.find(path);
        return found != received_.end() ? found->second : 1;
    }

    // Pumps the test thread's queue until the finish message; a 20 s
    // watchdog timer ends a hung run.
    Outcome Pump() {
        Outcome outcome;
        plat::SetTimer(window_, 77, 20000);
        plat::Msg msg;
        while (plat::GetMessage(&msg) > 0) {
            if (msg.message == plat::WM_TIMER) {
                ADD_FAILURE() << "watchdog: no finish message";
                break;
            }
            if (msg.message == update::kUnpackProgressMessage)
                outcome.progress.push_back(msg.lParam);
            if (msg.message == update::kUnpackThreadFinishedMessage) {
                outcome.finished = true;
                outcome.result = msg.lParam;
                break;
            }
        }
        plat::KillTimer(window_, 77);
        return outcome;
    }

    // One run: set up, start, queue the packages, finish, pump.
    Outcome RunPackages(update::CUnpackerThread& unpacker, const std::vector<std::wstring>& paths,
                        bool tolerant = false) {
        unpacker.SetupRun(window_, Install(), tolerant, true);
        EXPECT_TRUE(unpacker.Start());
        for (const auto& path : paths)
            EXPECT_TRUE(unpacker.AddPackageTask(path, SizeOf(path)));
        unpacker.RequestFinish();
        return Pump();
    }

    testsupport::TempDir dir_;
    std::map<std::wstring, std::uint64_t> received_;
    NullHandler handler_;
    plat::HWND window_ = 0;
};

} // namespace unpackertest
