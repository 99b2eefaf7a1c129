// An unpacking killed at random moments, then a run that repairs: every file
// of the installation is always either its old copy or its new one, never a
// part, and the next check and unpacking put everything right and leave
// nothing of the killed run behind.

#include "CheckerFixture.h"
#include "UnpackerFixture.h"

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "rarpack/RarStoreWriter.h"
#include "support/ScopedEnv.h"
#include "support/ZipWriter.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

namespace checkertest {
namespace {

namespace fs = std::filesystem;

constexpr char kChildVariable[] = "UNPACKER_KILL_CHILD";
constexpr wchar_t kStartedMarker[] = L"unpacking.started";

// Unpacks "package.pkg" of a folder into its "game" folder on a window of
// the calling thread; the finish message's result, -1 when none came.
plat::LPARAM UnpackFolderPackage(const std::wstring& folder, plat::HWND window,
                                 const bool* timedOut) {
    update::CUnpackerThread unpacker;
    const std::wstring package = plat::JoinPath(folder, L"package.pkg");
    std::uint64_t size = 0;
    plat::File file;
    if (!file.Open(package, plat::kRead, plat::Disposition::OpenExisting) || !file.Size(&size))
        return -1;
    file.Close();
    unpacker.SetupRun(window, plat::JoinPath(folder, L"game"), false, true);
    if (!unpacker.Start())
        return -1;
    unpacker.AddPackageTask(package, size);
    unpacker.RequestFinish();
    plat::Msg msg;
    while ((!timedOut || !*timedOut) && plat::GetMessage(&msg) > 0) {
        if (msg.message == update::kUnpackThreadFinishedMessage)
            return msg.lParam;
        plat::DispatchMessage(msg);
    }
    return -1;
}

// The child process: this test binary started again with the variable set
// unpacks and ends before any test (and before main) runs.
bool RunChildWhenAsked() {
    const char* folder = std::getenv(kChildVariable);
    if (!folder)
        return false;
    struct Sink : plat::IWindowHandler {
        plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t, plat::WPARAM, plat::LPARAM,
                                          const plat::CopyData*) override {
            return 0;
        }
    } sink;
    plat::HWND window = plat::CreateWindow(L"KillChild", L"", &sink, true);
    // Tells the parent that the unpacking begins: its kills are timed from
    // here, not from the process start.
    plat::WriteWholeFile(plat::JoinPath(plat::Utf8ToWide(folder), kStartedMarker), "", 0);
    plat::LPARAM result = UnpackFolderPackage(plat::Utf8ToWide(folder), window, nullptr);
    std::_Exit(result == update::kUnpackDone ? 0 : 3);
}
[[maybe_unused]] const bool kChildRan = RunChildWhenAsked();

class UnpackerKillTest : public CheckerTest {
protected:
    void SetUp() override {
        CheckerTest::SetUp();
        for (int i = 0; i < 10; ++i)
            files_.push_back({"data/part" + std::to_string(i) + ".bin", (1u << 20) + i * 4096});
        files_.push_back({"maps/Big.pak", 12u << 20});
        files_.push_back({"readme.txt", 5000});
        for (unsigned release : {1u, 2u}) {
            for (std::size_t i = 0; i < files_.size(); ++i)
                contents_[release - 1].push_back(unpackertest::Pattern(
                    files_[i].size + release, release * 31 + static_cast<unsigned>(i)));
        }
    }

    const std::string& Contents(std::size_t index, unsigned release) const {
        return contents_[release - 1][index];
    }
    std::wstring Game(const std::string& relative) const {
        return plat::JoinPath(install_.File(L"game"), plat::NativePath(plat::Utf8ToWide(relative)));
    }
    void InstallRelease1() {
        fs::remove_all(plat::WideToUtf8(install_.File(L"game")));
        for (std::size_t i = 0; i < files_.size(); ++i)
            testsupport::WriteTestFile(Game(files_[i].name), Contents(i, 1));
    }
    // Release 2 of every file in one package, in the form asked for.
    std::string Package(bool rar) const {
        testsupport::ZipWriter zip;
        rarpack::CRarStoreWriter store;
        for (std::size_t i = 0; i < files_.size(); ++i) {
            if (rar)
                store.AddFile(files_[i].name, Contents(i, 2));
            else
                zip.Add(files_[i].name, Contents(i, 2));
        }
        return rar ? store.Finish() : zip.Finish();
    }
    std::string Manifest(const std::string& package) const {
        std::string files;
        for (std::size_t i = 0; i < files_.size(); ++i) {
            std::string name = files_[i].name;
            std::replace(name.begin(), name.end(), '/', '\\');
            files += FileXml(name, Contents(i, 2));
        }
        return ManifestXml(
            PackXml("full", "base.pkg", static_cast<unsigned>(package.size()), files));
    }

    // Every installed file holds one release whole; leftovers of a killed
    // run are hidden new files beside their targets.
    void ExpectWholeFiles(int* updated) {
        for (std::size_t i = 0; i < files_.size(); ++i) {
            std::string bytes;
            plat::ReadWholeFile(Game(files_[i].name), &bytes);
            const bool old = bytes == Contents(i, 1), fresh = bytes == Contents(i, 2);
            EXPECT_TRUE(old || fresh) << files_[i].name << " holds " << bytes.size() << " bytes";
            *updated += fresh ? 1 : 0;
        }
        for (const auto& entry :
             fs::recursive_directory_iterator(plat::WideToUtf8(install_.File(L"game")))) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && name.rfind(".", 0) == 0) {
                EXPECT_NE(name.find(".part"), std::string::npos) << name;
            }
        }
    }

    // Each check of a round has the watchdog's whole time.
    void RestartWatchdog() {
        timedOut_ = false;
        plat::SetTimer(window_, kWatchdogTimer, kWatchdogMs);
    }

    plat::Process StartChild() {
        plat::DeleteFile(install_.File(kStartedMarker));
        testsupport::ScopedEnv child(kChildVariable, install_.NarrowPath());
        plat::ProcessStartInfo info;
        info.commandLine = L"\"" + plat::GetExecutablePath() + L"\" --gtest_filter=NoTestAtAll";
        info.tail = plat::TailPassing::Split;
        plat::Process process;
        EXPECT_TRUE(process.Start(info));
        return process;
    }

    // Waits until the child begins to unpack; false when it never does.
    bool WaitUntilUnpacking() const {
        for (int i = 0; i < 30000; ++i) {
            if (plat::FileExists(install_.File(kStartedMarker)))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    struct File {
        std::string name;
        std::size_t size;
    };
    std::vector<File> files_;
    std::vector<std::string> contents_[2]; // of the two releases
};

TEST_F(UnpackerKillTest, KillsAtRandomMomentsThenARepairingRun) {
    std::mt19937 random(20240611);
    for (bool rar : {false, true}) {
        SCOPED_TRACE(rar ? "rar" : "zip");
        const std::string package = Package(rar);
        testsupport::WriteTestFile(install_.File(L"package.pkg"), package);

        // How long a whole run of the child takes on this machine.
        InstallRelease1();
        plat::Process whole = StartChild();
        ASSERT_TRUE(WaitUntilUnpacking());
        auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(whole.Wait(120000));
        std::uint32_t code = 1;
        ASSERT_TRUE(whole.GetExitCode(&code));
        ASSERT_EQ(code, 0u);
        const auto full = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - started)
                              .count();

        int updatedTotal = 0;
        for (int round = 0; round < 6; ++round) {
            SCOPED_TRACE(round);
            InstallRelease1();
            plat::Process child = StartChild();
            ASSERT_TRUE(WaitUntilUnpacking());
            std::uniform_int_distribution<long> moment(0, full);
            std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
            child.Terminate(9);
            ASSERT_TRUE(child.Wait(60000));
            int updated = 0;
            ExpectWholeFiles(&updated);
            updatedTotal += updated;

            // The next run: the check finds what is old, the cleanup takes
            // the leftovers, the unpacking brings release 2.
            const std::string manifest = Manifest(package);
            RestartWatchdog();
            checker_->InitNormal(install_.File(L"game"), L"Launcher.exe", "en", manifest, "",
                                 Target(), false, true);
            Run();
            if (updated < static_cast<int>(files_.size())) {
                EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"base.pkg"}));
            }
            if (!queue_.empty()) {
                ASSERT_EQ(UnpackFolderPackage(install_.Path(), window_, &timedOut_),
                          update::kUnpackDone);
            }
            int repaired = 0;
            ExpectWholeFiles(&repaired);
            EXPECT_EQ(repaired, static_cast<int>(files_.size()));
            RestartWatchdog();
            checker_->InitNormal(install_.File(L"game"), L"Launcher.exe", "en", manifest, "",
                                 Target(), false, true);
            Run();
            EXPECT_TRUE(queue_.empty());
            for (const auto& entry :
                 fs::recursive_directory_iterator(plat::WideToUtf8(install_.File(L"game"))))
                EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos)
                    << entry.path();
        }
        std::printf("%s: %lld ms a whole run, %d of %zu files were new when killed\n",
                    rar ? "rar" : "zip", static_cast<long long>(full), updatedTotal,
                    6 * files_.size());
    }
}

} // namespace
} // namespace checkertest
