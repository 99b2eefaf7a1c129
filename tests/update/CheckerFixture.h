#pragma once
// Fixture of the file-checker tests: an installation folder, manifest text
// builders, and a message-only window on the test thread that receives the
// checker's real posted messages, pumped until a watchdog timer fires.

#include "base/Crc32.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "platform/Window.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "update/CheckerMessages.h"
#include "update/CheckerThread.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace checkertest {

// The watchdog: a timer of the test window that no healthy run reaches.
constexpr unsigned kWatchdogMs = 30000;
constexpr std::uint64_t kWatchdogTimer = 0xC4EC;

// <FILE> of a file with these contents.
inline std::string FileXml(const std::string& path, const std::string& contents) {
    return "<FILE file=\"" + path + "\" crc=\"" +
           std::to_string(base::Crc32(contents.data(), contents.size())) + "\" size=\"" +
           std::to_string(contents.size()) + "\"/>";
}

inline std::string PackXml(const std::string& type, const std::string& file, unsigned size,
                           const std::string& children, const std::string& extra = {}) {
    return "<PACK type=\"" + type + "\" file=\"" + file + "\" crc=\"" + std::to_string(size + 7) +
           "\" size=\"" + std::to_string(size) + "\"" + extra + ">" + children + "</PACK>";
}

inline std::string ManifestXml(const std::string& body,
                               const std::string& rootAttributes = "clientVersion=\"1.2.3\"") {
    return "<?xml version=\"1.0\"?><update " + rootAttributes + ">" + body + "</update>";
}

struct Posted {
    plat::WPARAM wParam = 0;
    plat::LPARAM lParam = 0;
};

class CheckerTest : public ::testing::Test, public plat::IWindowHandler {
protected:
    static const std::string& RuntimeFolder() {
        static const testsupport::TempDir folder;
        static const std::string path = folder.NarrowPath();
        return path;
    }

    void SetUp() override {
        window_ = plat::CreateWindow(L"CheckerTestWindow", L"", this, true);
        ASSERT_NE(window_, 0u);
        ASSERT_NE(plat::SetTimer(window_, kWatchdogTimer, kWatchdogMs), 0u);
        checker_->SetLauncherProbe({launcherPath_, L"1.0.0.1"});
        testsupport::WriteTestFile(launcherPath_, "launcher image");
    }
    void TearDown() override {
        checker_->Abort();
        checker_->Stop(-1);
        plat::DestroyWindow(window_);
    }

    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam, const plat::CopyData*) override {
        if (message == update::kCheckThreadFinishedMessage)
            posted_.push_back({wParam, lParam});
        if (message == plat::WM_TIMER && wParam == kWatchdogTimer)
            timedOut_ = true;
        return 0;
    }

    std::wstring Path(const std::string& relative) const {
        return plat::JoinPath(install_.Path(), plat::NativePath(plat::Utf8ToWide(relative)));
    }
    void Install(const std::string& relative, const std::string& contents) const {
        testsupport::WriteTestFile(Path(relative), contents);
    }
    update::CheckerTarget Target() { return {window_, &queue_, &total_}; }
    void InitNormal(const std::string& fresh, const std::string& saved = {}, bool cleanup = false) {
        checker_->InitNormal(install_.Path(), L"Launcher.exe", "en", fresh, saved, Target(), true,
                             cleanup);
    }

    // Pumps until a message with one of the final statuses (0, 1, 3) has
    // come, releasing the checker with `selected` at status 2.
    std::vector<plat::LPARAM> Run(const std::set<std::wstring>& selected = {}) {
        posted_.clear();
        EXPECT_TRUE(checker_->Start());
        PumpUntil([&](const Posted& got) {
            if (got.lParam == update::kCheckServerInfoReady)
                checker_->Release(selected);
            return got.lParam != update::kCheckServerInfoReady;
        });
        EXPECT_TRUE(checker_->Stop(-1));
        return Statuses();
    }

    // Dispatches messages until `done` accepts a checker message.
    template <typename Done> void PumpUntil(Done done) {
        plat::Msg msg;
        std::size_t seen = posted_.size();
        while (!timedOut_ && plat::GetMessage(&msg) > 0) {
            plat::DispatchMessage(msg);
            for (; seen < posted_.size(); ++seen) {
                if (done(posted_[seen]))
                    return;
            }
        }
        ADD_FAILURE() << "watchdog: the checker did not report";
    }

    // Waits for the thread, then takes what it posted and returns every status.
    std::vector<plat::LPARAM> Finish() {
        EXPECT_TRUE(checker_->Stop(-1));
        plat::Msg msg;
        while (plat::PeekMessage(&msg))
            plat::DispatchMessage(msg);
        return Statuses();
    }

    std::vector<plat::LPARAM> Statuses() const {
        std::vector<plat::LPARAM> statuses;
        for (const Posted& got : posted_)
            statuses.push_back(got.lParam);
        return statuses;
    }
    // A task left in the queue by an earlier run.
    void QueueStale(const std::string& name) {
        update::DownloadTask task;
        task.name = name;
        queue_.push_back(task);
    }
    std::vector<std::string> QueuedNames() const {
        std::vector<std::string> names;
        for (const update::DownloadTask& task : queue_)
            names.push_back(task.name);
        return names;
    }

    testsupport::ScopedEnv runtime_{"XDG_RUNTIME_DIR", RuntimeFolder()};
    testsupport::TempDir install_;
    std::wstring launcherPath_ = install_.File(L"Launcher.exe");
    plat::HWND window_ = 0;
    std::vector<Posted> posted_;
    bool timedOut_ = false;
    update::DownloadQueue queue_;
    std::uint64_t total_ = 77;
    std::unique_ptr<update::CCheckerThread> checker_ = std::make_unique<update::CCheckerThread>();
};

} // namespace checkertest
