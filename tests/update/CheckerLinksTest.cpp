// The checker and links in the installation: the cleanup never descends into
// a link or deletes through one, a file reached through a link counts as one
// that cannot be opened, and the checker and the unpacker agree on which
// folder a path names when a release changes its letter case.

#include "CheckerFixture.h"
#include "UnpackerFixture.h"

#include "support/ZipWriter.h"

#include <filesystem>

namespace checkertest {
namespace {

namespace fs = std::filesystem;

const std::string kGame = "the game";
const std::string kData = "level data";

std::string Release(const std::string& gameName = "Bin\\game.exe",
                    const std::string& game = kGame) {
    return ManifestXml(PackXml("full", "base.pkg", 10,
                               FileXml(gameName, game) + FileXml("Data\\level.dat", kData)) +
                       "<IGNORE><FILE file=\"*\\*.txt\"/></IGNORE>");
}

class CheckerLinksTest : public CheckerTest {
protected:
    void SetUp() override {
        CheckerTest::SetUp();
        Install("bin/game.exe", kGame);
        Install("data/level.dat", kData);
        Install("guest.dat", "");
        Install("notes.txt", "ignored, kept");
    }
    void Link(const std::string& relative, const fs::path& target) {
        fs::create_symlink(target, plat::WideToUtf8(Path(relative)));
    }
    bool Exists(const fs::path& path) const { return fs::exists(fs::symlink_status(path)); }

    testsupport::TempDir outside_;
};

TEST_F(CheckerLinksTest, CleanupNeverFollowsALink) {
    // A loop back into the installation and a way out of it, neither of
    // which the manifest knows.
    testsupport::WriteTestFile(outside_.File(L"victim.bin"), "not the launcher's");
    Link("loop", ".");
    Link("data/away", plat::WideToUtf8(outside_.Path()));
    Link("notes.lnk", plat::WideToUtf8(outside_.File(L"victim.bin")));
    const std::string release = Release();
    InitNormal(release, release, /*cleanup=*/true);
    EXPECT_EQ(Run().back(), update::kCheckOk);
    EXPECT_TRUE(checker_->CanRun());
    EXPECT_TRUE(queue_.empty());
    // Nothing was deleted through the links: the launcher, its state, the
    // client and the files outside are all there.
    for (const char* name :
         {"Launcher.exe", "guest.dat", "bin/game.exe", "data/level.dat", "notes.txt"})
        EXPECT_TRUE(plat::FileExists(Path(name))) << name;
    EXPECT_EQ(testsupport::ReadTestFile(outside_.File(L"victim.bin")), "not the launcher's");
    // The links themselves are strays and went; what they named did not.
    EXPECT_FALSE(Exists(plat::WideToUtf8(Path("loop"))));
    EXPECT_FALSE(Exists(plat::WideToUtf8(Path("data/away"))));
    EXPECT_FALSE(Exists(plat::WideToUtf8(Path("notes.lnk"))));
    EXPECT_TRUE(fs::is_directory(plat::WideToUtf8(outside_.Path())));
}

TEST_F(CheckerLinksTest, AFileReachedThroughALinkIsNotTheInstalledFile) {
    // "bin" leads outside to a copy that matches byte for byte: it is still
    // not the installation's file, so its package comes again.
    testsupport::WriteTestFile(outside_.File(L"game.exe"), kGame);
    fs::remove_all(plat::WideToUtf8(Path("bin")));
    Link("bin", plat::WideToUtf8(outside_.Path()));
    const std::string release = Release();
    InitNormal(release, release, /*cleanup=*/true);
    EXPECT_EQ(Run().back(), update::kCheckOk);
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"base.pkg"}));
    EXPECT_FALSE(checker_->CanRun());
    EXPECT_EQ(checker_->RunBlocker(),
              L"run blocker: [can't open file (GetLastError() = 123) ], file = " +
                  Path("bin/game.exe"));
    // The cleanup removed the link, never the file outside.
    EXPECT_EQ(testsupport::ReadTestFile(outside_.File(L"game.exe")), kGame);
    EXPECT_FALSE(Exists(plat::WideToUtf8(Path("bin"))));

    // A link in the place of the file itself is no file either.
    fs::create_directory(plat::WideToUtf8(Path("bin")));
    Link("bin/game.exe", plat::WideToUtf8(outside_.File(L"game.exe")));
    InitNormal(release, release, /*cleanup=*/false);
    Run();
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"base.pkg"}));
}

// The unpacker's messages, pumped on the checker fixture's window.
class CaseChangeTest : public CheckerLinksTest {
protected:
    plat::LRESULT HandleWindowMessage(plat::HWND window, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam, const plat::CopyData* data) override {
        if (message == update::kUnpackThreadFinishedMessage)
            unpackResult_ = lParam;
        return CheckerLinksTest::HandleWindowMessage(window, message, wParam, lParam, data);
    }
    // Unpacks a ZIP package into the installation and waits for the end.
    plat::LPARAM Unpack(const std::string& package) {
        update::CUnpackerThread unpacker;
        const std::wstring temp = outside_.File(L"package.pkg");
        testsupport::WriteTestFile(temp, package);
        unpacker.SetupRun(window_, install_.Path(), false, true);
        EXPECT_TRUE(unpacker.Start());
        EXPECT_TRUE(unpacker.AddPackageTask(temp, package.size()));
        unpacker.RequestFinish();
        unpackResult_ = -1;
        plat::Msg msg;
        while (unpackResult_ < 0 && !timedOut_ && plat::GetMessage(&msg) > 0)
            plat::DispatchMessage(msg);
        return unpackResult_;
    }
    std::vector<std::string> RootNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(plat::WideToUtf8(install_.Path())))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    plat::LPARAM unpackResult_ = -1;
};

TEST_F(CaseChangeTest, ANewLetterCaseReusesTheFoldersAndFilesThereAre) {
    // Release 2 spells the folder and the file differently and brings new
    // contents; inside one package two entries spell a new folder two ways.
    const std::string game2 = "the game, release 2";
    testsupport::ZipWriter zip;
    zip.Add("Bin/Game.exe", game2);
    zip.Add("Data/level.dat", kData);
    zip.Add("DOCS/a.txt", "a");
    zip.Add("docs/b.txt", "b");
    ASSERT_EQ(Unpack(zip.Finish()), update::kUnpackDone);
    EXPECT_EQ(RootNames(), (std::vector<std::string>{"DOCS", "Launcher.exe", "bin", "data",
                                                     "guest.dat", "notes.txt"}));
    EXPECT_EQ(testsupport::ReadTestFile(Path("bin/game.exe")), game2);
    EXPECT_EQ(testsupport::ReadTestFile(Path("DOCS/b.txt")), "b");

    // The next run finds everything in place and fetches nothing.
    const std::string release2 =
        ManifestXml(PackXml("full", "base.pkg", 10,
                            FileXml("Bin\\Game.exe", game2) + FileXml("Data\\level.dat", kData) +
                                FileXml("DOCS\\a.txt", "a") + FileXml("docs\\b.txt", "b")));
    InitNormal(release2, release2, /*cleanup=*/true);
    EXPECT_EQ(Run().back(), update::kCheckOk);
    EXPECT_TRUE(queue_.empty());
    EXPECT_TRUE(checker_->CanRun()) << plat::WideToUtf8(checker_->RunBlocker());
}

} // namespace
} // namespace checkertest
