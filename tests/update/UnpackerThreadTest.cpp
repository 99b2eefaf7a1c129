// The unpacker thread at work: packages unpacked into the installation
// folder with the real messages posted to a window of the test thread.

#include "UnpackerFixture.h"

#include "config/ArchiveHelperRar.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "rarpack/RarStoreWriter.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace update;
using testsupport::ReadTestFile;
using testsupport::WriteTestFile;
using testsupport::ZipWriter;
using unpackertest::Outcome;
using unpackertest::Pattern;
using LPARAM = plat::LPARAM;

// The same path whichever separators name it ("\\" on Windows, where the
// test's own paths use "/").
bool SamePath(std::wstring a, std::wstring b) {
    std::replace(a.begin(), a.end(), L'\\', L'/');
    std::replace(b.begin(), b.end(), L'\\', L'/');
    return a == b;
}

// Plays a file that is in use: putting the new file in its place fails with
// a sharing violation, or (writeFails) the new file beside it refuses every
// write.
class CBusyFileUnpacker : public CUnpackerThread {
public:
    std::wstring busyPath;
    bool writeFails = false;

protected:
    bool CreateTempFile(const std::wstring& path, plat::File* file) override {
        if (writeFails && SamePath(plat::FolderOf(path), plat::FolderOf(busyPath)) &&
            plat::FileNameOf(path).find(plat::FileNameOf(busyPath)) != std::wstring::npos)
            return file->Open(path, plat::kRead, plat::Disposition::CreateNew);
        return CUnpackerThread::CreateTempFile(path, file);
    }
    bool ReplaceTarget(const std::wstring& temp, const std::wstring& target) override {
        if (!writeFails && SamePath(target, busyPath)) {
            plat::SetLastError(plat::kErrSharingViolation);
            return false;
        }
        return CUnpackerThread::ReplaceTarget(temp, target);
    }
};

class UnpackerThreadTest : public unpackertest::UnpackerTestBase {
protected:
    void SetUp() override {
        UnpackerTestBase::SetUp();
        config::InitArchiveLocale();
    }

    void ExpectFailure(const Outcome& outcome, CUnpackerThread& unpacker, LPARAM result,
                       const std::wstring& text) {
        EXPECT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.result, result);
        EXPECT_EQ(unpacker.LastErrorText(), text);
        EXPECT_TRUE(unpacker.IsStopped());
    }
};

TEST_F(UnpackerThreadTest, ZipAndRarPackagesLandInTheInstallation) {
    std::string level = Pattern(300000, 5), readme = "read me", music = Pattern(70000, 6);
    ZipWriter zip;
    zip.Add("readme.txt", readme, ZipWriter::kStored);
    zip.Add("data/maps/", "");
    zip.Add("data/maps/level1.bin", level);
    std::string zipBytes = zip.Finish();
    rarpack::CRarStoreWriter rar;
    ASSERT_TRUE(rar.AddDirectory("sound\\music\\"));
    ASSERT_TRUE(rar.AddFile("sound\\music\\theme.ogg", music));
    ASSERT_TRUE(rar.AddFile("sound\\\xC3\xA9t\xC3\xA9.txt", "summer"));
    std::string rarBytes = rar.Finish();

    CUnpackerThread unpacker;
    Receive(unpacker, Temp(L"a.zip"), zipBytes);
    Receive(unpacker, Temp(L"b.rar"), rarBytes);
    Outcome outcome = RunPackages(unpacker, {Temp(L"a.zip"), Temp(L"b.rar")});

    ASSERT_EQ(outcome.result, kUnpackDone);
    EXPECT_EQ(Installed("readme.txt"), readme);
    EXPECT_EQ(Installed("data/maps/level1.bin"), level);
    EXPECT_TRUE(plat::DirectoryExists(Install() + L"/data/maps"));
    EXPECT_EQ(Installed("sound/music/theme.ogg"), music);
    EXPECT_EQ(Installed("sound/\xC3\xA9t\xC3\xA9.txt"), "summer");
    EXPECT_EQ(unpacker.LastErrorText(), L"");
    // Progress never goes back and ends at both packages' bytes.
    ASSERT_FALSE(outcome.progress.empty());
    EXPECT_TRUE(std::is_sorted(outcome.progress.begin(), outcome.progress.end()));
    EXPECT_EQ(outcome.progress.back(), static_cast<LPARAM>(zipBytes.size() + rarBytes.size()));
    // The temporary files stay.
    EXPECT_EQ(ReadTestFile(Temp(L"a.zip")), zipBytes);
}

// A task reads only the bytes its sink verified: whatever follows them in
// the file (a write that failed half-way) is no part of the package.
TEST_F(UnpackerThreadTest, TasksReadOnlyTheVerifiedBytes) {
    ZipWriter zip;
    zip.Add("bin/game.dat", Pattern(200000, 7));
    std::string package = zip.Finish();
    WriteTestFile(Temp(L"p.zip"), package + "left over by a failed write");
    std::string launcher = Pattern(9000, 8);
    WriteTestFile(Temp(L"launcher.tmp"), launcher + "tail");

    CUnpackerThread unpacker;
    unpacker.SetupRun(window_, Install(), false, true);
    ASSERT_TRUE(unpacker.Start());
    ASSERT_TRUE(unpacker.AddPackageTask(Temp(L"p.zip"), package.size()));
    ASSERT_TRUE(unpacker.AddFileTask(Temp(L"launcher.tmp"), L"Launcher.tmp.exe", launcher.size()));
    unpacker.RequestFinish();
    Outcome outcome = Pump();

    ASSERT_EQ(outcome.result, kUnpackDone);
    EXPECT_EQ(Installed("bin/game.dat"), Pattern(200000, 7));
    EXPECT_EQ(Installed("Launcher.tmp.exe"), launcher);
}

TEST_F(UnpackerThreadTest, UnreadableTempFilesFailBeforeAnyEntry) {
    struct Case {
        const char* what;
        std::string bytes; // registered as the temporary file
        bool registered;
        std::wstring text; // before the package path
        bool withPath;
    };
    const Case cases[] = {
        {"never registered", "", false, L"pkg/bin file can not be open", false},
        {"bare marker", "Rar!", true, L"pkg(rar) file error or empty : ", true},
        {"garbage", Pattern(500, 9), true, L"pkg file error or empty : ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CUnpackerThread unpacker;
        std::wstring path = Temp(plat::Utf8ToWide(c.what));
        if (c.registered)
            Receive(unpacker, path, c.bytes);
        Outcome outcome = RunPackages(unpacker, {path});
        ExpectFailure(outcome, unpacker, kUnpackPackageFailed, c.text + (c.withPath ? path : L""));
        EXPECT_EQ(unpacker.LastErrorCode(), 0u);
        EXPECT_FALSE(unpacker.AddPackageTask(path, SizeOf(path)));
    }
}

TEST_F(UnpackerThreadTest, DamagedEntriesAreNeverWritten) {
    std::string good = Pattern(4000, 10);
    ZipWriter zip;
    zip.Add("first.txt", "fine", ZipWriter::kStored);
    std::size_t bad = zip.Add("second.bin", good, ZipWriter::kStored);
    std::string zipBytes = zip.Finish();
    zipBytes[zip.EntryOffsets(bad).data + 100] ^= 0x55;

    rarpack::CRarStoreWriter rar;
    ASSERT_TRUE(rar.AddFile("second.bin", good));
    std::string rarBytes = rar.Finish();
    rarBytes[rarBytes.find(good.substr(0, 64)) + 100] ^= 0x55;

    const std::pair<std::string, std::wstring> packages[] = {
        {zipBytes, L"pkg unpack error : "}, {rarBytes, L"pkg(rar) unpack error : "}};
    for (const auto& [bytes, text] : packages) {
        CUnpackerThread unpacker;
        std::wstring path = Temp(text.substr(0, 6) + L".pkg");
        Receive(unpacker, path, bytes);
        Outcome outcome = RunPackages(unpacker, {path});
        ExpectFailure(outcome, unpacker, kUnpackPackageFailed, text + path);
        EXPECT_FALSE(plat::FileExists(Install() + L"/second.bin"));
    }
}

TEST_F(UnpackerThreadTest, EntriesOutsideTheInstallationAreRefused) {
    const char* names[] = {"../escaped.txt", "data/../../escaped.txt", "/tmp/escaped.txt",
                           "C:\\escaped.txt", "data\\..\\..\\escaped.txt"};
    int count = 0;
    for (const char* name : names) {
        SCOPED_TRACE(name);
        ZipWriter zip;
        zip.Add(name, "out");
        rarpack::CRarStoreWriter rar;
        ASSERT_TRUE(rar.AddFile(name, "out"));
        const std::pair<std::string, std::wstring> packages[] = {
            {zip.Finish(), L"pkg unpack error : "}, {rar.Finish(), L"pkg(rar) unpack error : "}};
        for (const auto& [bytes, text] : packages) {
            CUnpackerThread unpacker;
            std::wstring path = Temp(std::to_wstring(++count) + L".pkg");
            Receive(unpacker, path, bytes);
            Outcome outcome = RunPackages(unpacker, {path});
            ExpectFailure(outcome, unpacker, kUnpackPackageFailed, text + path);
        }
        EXPECT_FALSE(plat::FileExists(dir_.File(L"escaped.txt")));
        EXPECT_FALSE(plat::FileExists(L"/tmp/escaped.txt"));
    }
}

TEST_F(UnpackerThreadTest, FilesInUse) {
    std::string bytes = Pattern(5000, 11);
    ZipWriter zip;
    zip.Add("bin/locked.dll", bytes);
    zip.Add("after.txt", "after");
    std::string package = zip.Finish();
    std::wstring locked = Install() + L"/bin/locked.dll";

    struct Case {
        const char* what;
        std::string onDisk;
        bool tolerant, writeFails;
        LPARAM result;
        std::wstring text;
    };
    const Case cases[] = {
        {"same bytes", bytes, false, false, kUnpackDone, L""},
        {"other bytes", "old", false, false, kUnpackFileFailed,
         L"unpacker: file can't be create : bin\\locked.dll"},
        {"download only", "old", true, false, kUnpackDone, L""},
        {"write refused", "old", false, true, kUnpackFileFailed,
         L"unpacker: file can't be write : bin\\locked.dll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteTestFile(locked, c.onDisk);
        plat::DeleteFile(Install() + L"/after.txt");
        CBusyFileUnpacker unpacker;
        unpacker.busyPath = locked;
        unpacker.writeFails = c.writeFails;
        Receive(unpacker, Temp(L"p.zip"), package);
        Outcome outcome = RunPackages(unpacker, {Temp(L"p.zip")}, c.tolerant);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(unpacker.LastErrorText(), c.text);
        bool carriedOn = c.result == kUnpackDone;
        EXPECT_EQ(Installed("after.txt"), carriedOn ? "after" : "");
        if (!carriedOn) {
            EXPECT_EQ(unpacker.CurrentEntryName(), "bin\\locked.dll");
            EXPECT_NE(unpacker.LastErrorCode(), 0u);
        }
        if (!c.writeFails) {
            EXPECT_EQ(ReadTestFile(locked), c.onDisk);
        }
    }
}

TEST_F(UnpackerThreadTest, SilentRunDropsWaitingTasks) {
    ZipWriter zip;
    zip.Add("silent.txt", "later");
    std::string package = zip.Finish();
    CUnpackerThread unpacker;
    Receive(unpacker, Temp(L"s.zip"), package);
    unpacker.SetupRun(window_, Install(), false, false);
    ASSERT_TRUE(unpacker.Start());
    ASSERT_TRUE(unpacker.AddPackageTask(Temp(L"s.zip"), package.size()));
    unpacker.RequestFinish();
    Outcome outcome = Pump();
    EXPECT_EQ(outcome.result, kUnpackDone);
    EXPECT_TRUE(outcome.progress.empty());
    EXPECT_FALSE(plat::FileExists(Install() + L"/silent.txt"));
    // The package is still whole for a later visible run.
    EXPECT_EQ(ReadTestFile(Temp(L"s.zip")), package);
}

} // namespace
