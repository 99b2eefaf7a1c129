#include "CheckerFixture.h"

namespace checkertest {
namespace {

const std::string kGood = "good contents";

std::string Client(const std::string& rootAttributes, const std::string& file = kGood) {
    return ManifestXml(PackXml("full", "base.zip", 10, FileXml("Bin\\game.exe", file)),
                       rootAttributes);
}

TEST_F(CheckerTest, UnchangedInstallationMayRunAtOnce) {
    Install("bin/game.exe", kGood);
    const std::string manifest = Client("clientVersion=\"1.2.7\" modification=\"m1\"");
    InitNormal(manifest, Client("clientVersion=\"1.2.9\" modification=\"m1\""));
    EXPECT_EQ(Run().back(), update::kCheckOk);
    EXPECT_TRUE(checker_->CanRun());
    EXPECT_TRUE(checker_->RunBlocker().empty());
    EXPECT_FALSE(checker_->ModificationChanged());
}

TEST_F(CheckerTest, CanRunNeedsTheSameModificationVersionAndFiles) {
    Install("bin/game.exe", kGood);
    InitNormal(Client("clientVersion=\"1.2.7\" modification=\"m2\""),
               Client("clientVersion=\"1.2.7\" modification=\"m1\""));
    Run();
    EXPECT_FALSE(checker_->CanRun());
    EXPECT_TRUE(checker_->ModificationChanged());

    InitNormal(Client("clientVersion=\"1.3.0\""), Client("clientVersion=\"1.2.9\""));
    Run();
    EXPECT_FALSE(checker_->CanRun());
    EXPECT_FALSE(checker_->ModificationChanged());

    Install("bin/game.exe", "other contents");
    InitNormal(Client("clientVersion=\"1.2.7\""), Client("clientVersion=\"1.2.7\""));
    Run();
    EXPECT_FALSE(checker_->CanRun());
    EXPECT_EQ(checker_->RunBlocker(),
              L"run blocker: [crc mismatch], file = " + Path("bin/game.exe"));
}

TEST_F(CheckerTest, FastCheckComparesManifestsOnly) {
    // Missing on disk, but unchanged between the manifests: nothing to fetch.
    const std::string saved = Client("clientVersion=\"1.2.7\"");
    checker_->InitFast(install_.Path(), L"Launcher.exe", "en", saved, saved, Target(), false);
    EXPECT_EQ(Run().back(), update::kCheckOk);
    EXPECT_TRUE(queue_.empty());
    EXPECT_FALSE(checker_->CanRun());
    // Its folder is missing too: Windows names the path, Linux the file.
#ifdef _WIN32
    const std::wstring missing = L"3";
#else
    const std::wstring missing = L"2";
#endif
    EXPECT_EQ(checker_->RunBlocker(), L"run blocker: [can't open file (GetLastError() = " +
                                          missing + L") ], file = " + Path("bin/game.exe"));

    // A file the fresh manifest changed is fetched although the disk holds it.
    Install("bin/game.exe", "new contents");
    checker_->InitFast(install_.Path(), L"Launcher.exe", "en",
                       Client("clientVersion=\"1.2.7\"", "new contents"), saved, Target(), false);
    Run();
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"base.zip"}));

    // All files match: the fast check still keeps the client from starting.
    checker_->InitFast(install_.Path(), L"Launcher.exe", "en", saved,
                       Client("clientVersion=\"1.2.7\"", "new contents"), Target(), false);
    Run();
    EXPECT_FALSE(checker_->CanRun());
    EXPECT_EQ(checker_->RunBlocker(), L"run blocker: [cmd - fast check]");
}

TEST_F(CheckerTest, CleanupDeletesStrayAndDamagedFilesOnly) {
    const std::string fresh =
        ManifestXml(PackXml("full", "base.zip", 10,
                            FileXml("Bin\\game.exe", kGood) + FileXml("Bin\\damaged.dat", kGood)) +
                    "<IGNORE><FILE file=\"*\\*.cfg\"/><FILE file=\"*\\ReadMe.txt\"/>"
                    "<FILE file=\"Cache\\data.bin\"/></IGNORE>");
    // The launcher's own state and its partly downloaded packages stay too.
    const std::vector<std::string> kept = {
        "bin/game.exe",   "trace.LOG",    "user.cfg",         "Docs/README.TXT",
        "Cache/data.bin", "Launcher.exe", "guest.dat",        "update.xml",
        "CUD.dat",        "addpkg.dat",   "tmp/1A2B3C4D.500", "tmp/Launcher.exe.1.0.0.2.900",
        "changes.dat"};
    const std::vector<std::string> deleted = {"bin/damaged.dat", "notes",           "x.tmp",
                                              ".hidden",         "Cache/other.bin", "bin/guest.dat",
                                              "tmpfile"};
    Install("bin/game.exe", kGood);
    Install("bin/damaged.dat", "bad");
    for (const char* name :
         {"trace.LOG", "user.cfg", "Docs/README.TXT", "Cache/data.bin", "notes", "x.tmp", ".hidden",
          "Cache/other.bin", "guest.dat", "update.xml", "CUD.dat", "addpkg.dat", "tmp/1A2B3C4D.500",
          "tmp/Launcher.exe.1.0.0.2.900", "bin/guest.dat", "tmpfile", "changes.dat"})
        Install(name, "stray");

    InitNormal(fresh, {}, false);
    Run();
    for (const std::string& name : deleted)
        EXPECT_TRUE(plat::FileExists(Path(name))) << name << " deleted without cleanup";

    InitNormal(fresh, {}, true);
    Run();
    for (const std::string& name : kept)
        EXPECT_TRUE(plat::FileExists(Path(name))) << name;
    for (const std::string& name : deleted)
        EXPECT_FALSE(plat::FileExists(Path(name))) << name;
}

} // namespace
} // namespace checkertest
