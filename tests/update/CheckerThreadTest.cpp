#include "CheckerFixture.h"

namespace checkertest {
namespace {

using update::DownloadTask;

const std::string kGood = "good contents";

TEST_F(CheckerTest, QueuesThePackagesOfMissingResizedAndDamagedFilesInNameOrder) {
    Install("Bin/ok.dat", kGood); // keeps the case its package gave it
    Install("Bin/short.dat", "abc");
    Install("Data/crc.dat", "good contentz"); // same size, other CRC
    const std::string fresh =
        ManifestXml(PackXml("full", "z_ok.zip", 10, FileXml("Bin\\ok.dat", kGood)) +
                    PackXml("full", "m_missing.zip", 20, FileXml("Bin\\Missing.dat", kGood)) +
                    PackXml("full", "b_size.zip", 30, FileXml("Bin\\short.dat", kGood)) +
                    PackXml("full", "c_crc.zip", 40, FileXml("Data\\crc.dat", kGood)));
    QueueStale("stale.zip");
    InitNormal(fresh);

    EXPECT_EQ(Run(), (std::vector<plat::LPARAM>{update::kCheckServerInfoReady, update::kCheckOk}));
    // Both messages say the fresh manifest is ready; it is the one given.
    EXPECT_EQ(posted_[0].wParam, 1u);
    EXPECT_EQ(posted_[1].wParam, 1u);
    EXPECT_EQ(checker_->NewManifest().ClientVersion(), L"1.2.3");
    EXPECT_EQ(QueuedNames(),
              (std::vector<std::string>{"b_size.zip", "c_crc.zip", "m_missing.zip"}));
    EXPECT_EQ(total_, 90u);
    const DownloadTask& first = queue_.front();
    EXPECT_EQ(first.crc32, 37u);
    EXPECT_EQ(first.size, 30u);
    EXPECT_EQ(first.remaining, 30u);
    EXPECT_EQ(first.nextOffset, 0u);
    EXPECT_TRUE(first.url.empty());
    EXPECT_FALSE(checker_->CanRun()); // no saved manifest
}

TEST_F(CheckerTest, PackagesOfAnotherPlatformAndUnselectedApplicationsAreLeftOut) {
    const std::string fresh =
        ManifestXml(PackXml("full", "x64.zip", 10, FileXml("x64.dll", kGood), " platform=\"64\"") +
                    PackXml("ext", "editor.zip", 20,
                            "<INFO lang=\"en\"><NAME>Editor</NAME><EXEC>editor.exe</EXEC></INFO>" +
                                FileXml("editor.exe", kGood)));
    QueueStale("stale.zip");
    InitNormal(fresh);
    Run();
    EXPECT_EQ(QueuedNames(), std::vector<std::string>{}); // emptied, nothing to fetch
    EXPECT_EQ(total_, 0u);

    checker_->SetMachinePlatform(update::kPlatform64);
    InitNormal(fresh);
    Run({L"editor.exe"});
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"editor.zip", "x64.zip"}));
    ASSERT_EQ(checker_->ExternalApps().size(), 1u);
    EXPECT_EQ(checker_->ExternalApps()[0].name, L"Editor");
}

TEST_F(CheckerTest, AddPackagesCountOnlyWhenInstalledOrAskedForByTheTask) {
    update::CAddPkg installed;
    installed.SetPath(update::CAddPkg::PathIn(install_.Path()));
    const std::string fresh =
        ManifestXml(PackXml("full", "base.zip", 10, FileXml("base.dat", kGood)) +
                    PackXml("add", "maps.zip", 20, FileXml("maps\\a.map", kGood)));
    ASSERT_TRUE(installed.Add(L"maps.zip"));
    InitNormal(fresh);
    Run();
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"base.zip", "maps.zip"}));

    // Download-only: the task's set alone; full packages are not looked at.
    checker_->InitDownloadOnly(install_.Path(), fresh, Target(), {L"maps.zip"});
    Run();
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"maps.zip"}));
}

TEST_F(CheckerTest, IncrementReplacesFullPackagesWhenTheyWouldBeLarger) {
    const std::string increments =
        PackXml("increment", "inc500.zip", 500, FileXml("a.dat", "1") + FileXml("b.dat", "2")) +
        PackXml("increment", "inc300.zip", 300, FileXml("a.dat", "1") + FileXml("b.dat", "2"));
    const auto fullPacks = [](unsigned a, unsigned b) {
        return PackXml("full", "a.zip", a, FileXml("a.dat", "1")) +
               PackXml("full", "b.zip", b, FileXml("b.dat", "2"));
    };
    InitNormal(ManifestXml(fullPacks(150, 250) + increments));
    Run();
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"inc300.zip"}));
    EXPECT_EQ(total_, 300u);

    InitNormal(ManifestXml(fullPacks(100, 150) + increments));
    Run();
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"a.zip", "b.zip"}));

    // A changed file that no increment holds makes every increment unusable.
    InitNormal(ManifestXml(fullPacks(400, 400) + increments +
                           PackXml("full", "c.zip", 1, FileXml("c.dat", "3"))));
    Run();
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));
}

TEST_F(CheckerTest, UnreadableFreshManifestFails) {
    InitNormal("<update><PACK");
    EXPECT_EQ(Run(), (std::vector<plat::LPARAM>{update::kCheckFailed}));
    EXPECT_EQ(posted_[0].wParam, 0u);

    InitNormal(ManifestXml("<IGNORE><FILE file=\"\"/></IGNORE>"));
    EXPECT_EQ(Run(), (std::vector<plat::LPARAM>{update::kCheckFailed}));
}

TEST_F(CheckerTest, DifferentLauncherEndsEarlyWithNothingQueued) {
    const std::string files = PackXml("full", "base.zip", 10, FileXml("base.dat", kGood));
    const std::string size = std::to_string(std::string("launcher image").size());
    QueueStale("kept.zip");
    InitNormal(ManifestXml(files, "launcherVersion=\"1.0.0.2\" launcherSize=\"" + size + "\""));
    EXPECT_EQ(Run(), (std::vector<plat::LPARAM>{update::kCheckServerInfoReady,
                                                update::kCheckLauncherOnly}));
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"kept.zip"}));
    EXPECT_EQ(checker_->RunBlocker(), L"run blocker: [new launcher available]");

    // The same version and size without a checksum: the client is checked.
    InitNormal(ManifestXml(files, "launcherVersion=\"1.0.0.1\" launcherSize=\"" + size + "\""));
    EXPECT_EQ(Run().back(), update::kCheckOk);
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"base.zip"}));

    // A client asking for packages never gets a launcher update.
    checker_->InitDownloadOnly(install_.Path(),
                               ManifestXml(files, "launcherVersion=\"9.0.0.0\" launcherSize=\"1\""),
                               Target(), {});
    EXPECT_EQ(Run().back(), update::kCheckOk);
}

TEST_F(CheckerTest, AbortWhileWaitingEndsWithoutFurtherMessages) {
    InitNormal(ManifestXml(PackXml("full", "base.zip", 10, FileXml("base.dat", kGood))));
    QueueStale("kept.zip");
    ASSERT_TRUE(checker_->Start());
    PumpUntil([](const Posted& got) { return got.lParam == update::kCheckServerInfoReady; });
    checker_->Abort();
    EXPECT_EQ(Finish(), (std::vector<plat::LPARAM>{update::kCheckServerInfoReady}));
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"kept.zip"}));
}

// Aborts itself when it reaches the given file.
class AbortingChecker : public update::CCheckerThread {
public:
    explicit AbortingChecker(std::wstring at) : at_(std::move(at)) {}
    void OnCompareFile(const std::wstring& path) override {
        if (path == at_)
            Abort();
    }

private:
    std::wstring at_;
};

TEST_F(CheckerTest, AbortWhileComparingEndsWithoutFinishing) {
    checker_ = std::make_unique<AbortingChecker>(L"b.dat");
    checker_->SetLauncherProbe({launcherPath_, L"1.0.0.1"});
    InitNormal(ManifestXml(
        PackXml("full", "base.zip", 10,
                FileXml("a.dat", "1") + FileXml("b.dat", "2") + FileXml("c.dat", "3"))));
    QueueStale("kept.zip");
    ASSERT_TRUE(checker_->Start());
    PumpUntil([&](const Posted& got) {
        checker_->Release({});
        return got.lParam == update::kCheckServerInfoReady;
    });
    EXPECT_EQ(Finish(), (std::vector<plat::LPARAM>{update::kCheckServerInfoReady}));
    EXPECT_EQ(checker_->Changed().size(), 1u); // a.dat only
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"kept.zip"}));
}

} // namespace
} // namespace checkertest
