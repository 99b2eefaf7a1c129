// What the unpacker does with what a real installation and a real package
// hold: links where it writes, names that are no names, sizes beyond the
// manifest's, duplicates, a write that fails, and two workers at once.

#include "UnpackerFixture.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "rarpack/RarStoreWriter.h"
#include "support/RarBuilder.h"
#include "support/TestData.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using namespace update;
using testsupport::ReadTestFile;
using testsupport::WriteTestFile;
using testsupport::ZipWriter;
using unpackertest::Outcome;
using unpackertest::Pattern;

class UnpackerSafetyTest : public unpackertest::UnpackerTestBase {
protected:
    // One package into the installation; the outcome.
    Outcome UnpackOne(CUnpackerThread& unpacker, const std::string& package) {
        const std::wstring path = Temp(L"p" + std::to_wstring(++count_) + L".pkg");
        Receive(unpacker, path, package);
        return RunPackages(unpacker, {path});
    }
    Outcome UnpackOne(const std::string& package) {
        CUnpackerThread unpacker;
        return UnpackOne(unpacker, package);
    }
    // Every name below the installation, "/" separated, sorted.
    std::vector<std::string> Tree() const {
        std::vector<std::string> names;
        const fs::path root = plat::WideToUtf8(Install());
        if (!fs::exists(root))
            return names;
        for (const auto& entry : fs::recursive_directory_iterator(root))
            names.push_back(fs::relative(entry.path(), root).generic_string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void Link(const std::string& relative, const fs::path& target) {
        fs::create_directories((fs::path(plat::WideToUtf8(Install())) / relative).parent_path());
        fs::create_symlink(target, fs::path(plat::WideToUtf8(Install())) / relative);
    }

    testsupport::TempDir outside_;
    int count_ = 0;
};

TEST_F(UnpackerSafetyTest, LinksWhereFilesGoAreReplacedNeverWrittenThrough) {
    const fs::path out = plat::WideToUtf8(outside_.Path());
    WriteTestFile(outside_.File(L"bin/game.exe"), "victim");
    WriteTestFile(outside_.File(L"keep.txt"), "keep");
    fs::create_directories(plat::WideToUtf8(Install()));
    Link("bin", out / "bin");             // a folder of the package leads outside
    Link("readme.txt", out / "keep.txt"); // a file of the package is a link
    for (bool rar : {false, true}) {
        SCOPED_TRACE(rar ? "rar" : "zip");
        std::string package;
        if (rar) {
            rarpack::CRarStoreWriter writer;
            writer.AddFile("bin\\game.exe", "new game");
            writer.AddFile("readme.txt", "new readme");
            package = writer.Finish();
        } else {
            ZipWriter writer;
            writer.Add("bin/game.exe", "new game");
            writer.Add("readme.txt", "new readme");
            package = writer.Finish();
        }
        ASSERT_EQ(UnpackOne(package).result, kUnpackDone);
        EXPECT_EQ(ReadTestFile(outside_.File(L"bin/game.exe")), "victim");
        EXPECT_EQ(ReadTestFile(outside_.File(L"keep.txt")), "keep");
        const fs::path root = plat::WideToUtf8(Install());
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(root / "bin")));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(root / "readme.txt")));
        EXPECT_EQ(Installed("bin/game.exe"), "new game");
        EXPECT_EQ(Installed("readme.txt"), "new readme");
        EXPECT_EQ(Tree(), (std::vector<std::string>{"bin", "bin/game.exe", "readme.txt"}));
    }
}

TEST_F(UnpackerSafetyTest, NamesWithControlCharactersAreRefused) {
    const char* names[] = {"a\nb.txt",     "line\r.txt",  "tab\there.txt",
                           "bell\x07.txt", "del\x7F.txt", "dir\x1F\\x.txt"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        ZipWriter zip;
        zip.Add("fine.txt", "fine");
        zip.Add(name, "x");
        rarpack::CRarStoreWriter rar;
        rar.AddFile("fine.txt", "fine");
        rar.AddFile(name, "x");
        EXPECT_EQ(UnpackOne(zip.Finish()).result, kUnpackPackageFailed);
        EXPECT_EQ(UnpackOne(rar.Finish()).result, kUnpackPackageFailed);
        // Refused before anything was written.
        EXPECT_TRUE(Tree().empty());
    }
}

TEST_F(UnpackerSafetyTest, FoldedSeparatorsAndCodePage437Names) {
    ZipWriter zip;
    zip.Add("data//maps/", "");
    zip.Add("data//maps//level.bin", "level");
    zip.Add("docs\\\\readme.txt", "read me");
    zip.Add("caf\x82.txt", "no UTF-8 flag: code page 437");
    zip.Add("\xC3\xA9t\xC3\xA9.txt", "UTF-8 flag", ZipWriter::kDeflated, 0x0800);
    Outcome outcome = UnpackOne(zip.Finish());
    ASSERT_EQ(outcome.result, kUnpackDone);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"caf\xC3\xA9.txt", "data", "data/maps",
                                                "data/maps/level.bin", "docs", "docs/readme.txt",
                                                "\xC3\xA9t\xC3\xA9.txt"}));
    EXPECT_EQ(Installed("data/maps/level.bin"), "level");
}

TEST_F(UnpackerSafetyTest, SizesBeyondTheManifestsAreRefusedBeforeAnythingIsWritten) {
    // The manifest gives big.bin 10 bytes; the package holds a mebibyte.
    const std::string big = Pattern(1 << 20, 3);
    auto bounds = std::make_shared<EntrySizeBounds>();
    bounds->sizes[L"big.bin"] = 10;
    bounds->sizes[L"small.txt"] = 5;
    ZipWriter zip;
    zip.Add("small.txt", "small");
    zip.Add("big.bin", big);
    rarpack::CRarStoreWriter rar;
    rar.AddFile("small.txt", "small");
    rar.AddFile("big.bin", big);
    for (const std::string& package : {zip.Finish(), rar.Finish()}) {
        CUnpackerThread unpacker;
        unpacker.SetSizeBounds(bounds);
        EXPECT_EQ(UnpackOne(unpacker, package).result, kUnpackPackageFailed);
        EXPECT_TRUE(Tree().empty());
    }

    // Files the manifest does not list may together be as large as the
    // package itself, no larger.
    ZipWriter compressed;
    compressed.Add("small.txt", "small");
    compressed.Add("unlisted.bin", std::string(1 << 20, 'z')); // deflates to a few KiB
    CUnpackerThread unpacker;
    unpacker.SetSizeBounds(bounds);
    EXPECT_EQ(UnpackOne(unpacker, compressed.Finish()).result, kUnpackPackageFailed);
    EXPECT_TRUE(Tree().empty());

    ZipWriter fits;
    fits.Add("small.txt", "small");
    fits.Add("unlisted.txt", "x", ZipWriter::kStored);
    CUnpackerThread again;
    again.SetSizeBounds(bounds);
    EXPECT_EQ(UnpackOne(again, fits.Finish()).result, kUnpackDone);
    EXPECT_EQ(Installed("small.txt"), "small");
}

TEST_F(UnpackerSafetyTest, TheLastEntryOfANameWinsAndLeavesNothingBehind) {
    ZipWriter zip;
    zip.Add("twice.txt", "first");
    zip.Add("Twice.TXT", "second");
    zip.Add("once.txt", "once");
    ASSERT_EQ(UnpackOne(zip.Finish()).result, kUnpackDone);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"Twice.TXT", "once.txt"}));
    EXPECT_EQ(Installed("Twice.TXT"), "second");
}

// A target whose new file refuses every write, as on a full disk.
class CFullDiskUnpacker : public CUnpackerThread {
public:
    std::wstring fullFor;

protected:
    bool CreateTempFile(const std::wstring& path, plat::File* file) override {
        if (plat::FileNameOf(path).find(fullFor) != std::wstring::npos)
            return file->Open(path, plat::kRead, plat::Disposition::CreateNew);
        return CUnpackerThread::CreateTempFile(path, file);
    }
};

TEST_F(UnpackerSafetyTest, AWriteThatFailsKeepsTheOldFileWhole) {
    WriteTestFile(Install() + L"/data.bin", "the old, good copy");
    ZipWriter zip;
    zip.Add("data.bin", Pattern(300000, 4));
    CFullDiskUnpacker unpacker;
    unpacker.fullFor = L"data.bin";
    Outcome outcome = UnpackOne(unpacker, zip.Finish());
    EXPECT_EQ(outcome.result, kUnpackFileFailed);
    EXPECT_EQ(unpacker.LastErrorText(), L"unpacker: file can't be write : data.bin");
    EXPECT_EQ(Installed("data.bin"), "the old, good copy");
    EXPECT_EQ(Tree(), (std::vector<std::string>{"data.bin"}));
}

TEST_F(UnpackerSafetyTest, TwoWorkersWriteWhatOneDoesAndReportTheEarliestFailure) {
    ZipWriter zip;
    rarpack::CRarStoreWriter rar;
    std::vector<std::string> contents;
    for (int i = 0; i < 24; ++i) {
        contents.push_back(
            Pattern(200000 + static_cast<std::size_t>(i) * 1000, static_cast<unsigned>(i)));
        const std::string name = "d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".bin";
        zip.Add(name, contents.back(), i % 2 ? ZipWriter::kStored : ZipWriter::kDeflated);
        rar.AddFile(name, contents.back());
    }
    std::string zipBytes = zip.Finish();
    std::string rarBytes = rar.Finish();
    for (const std::string* package : {&zipBytes, &rarBytes}) {
        for (std::size_t workers : {1u, 2u}) {
            fs::remove_all(plat::WideToUtf8(Install()));
            CUnpackerThread unpacker;
            unpacker.SetWorkerCount(workers);
            Outcome outcome = UnpackOne(unpacker, *package);
            ASSERT_EQ(outcome.result, kUnpackDone) << workers;
            for (int i = 0; i < 24; ++i)
                EXPECT_EQ(
                    Installed("d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".bin"),
                    contents[static_cast<std::size_t>(i)]);
            EXPECT_EQ(Tree().size(), 27u);
        }
    }
    // Two damaged entries: the earlier one is reported, whichever worker
    // found its damage.
    std::string damaged = zipBytes;
    damaged[zip.EntryOffsets(19).data + 7] ^= 0x55;
    damaged[zip.EntryOffsets(5).data + 7] ^= 0x55;
    CUnpackerThread unpacker;
    unpacker.SetWorkerCount(2);
    EXPECT_EQ(UnpackOne(unpacker, damaged).result, kUnpackPackageFailed);
    EXPECT_EQ(unpacker.CurrentEntryName(), "d2\\f5.bin");
}

TEST_F(UnpackerSafetyTest, SolidRarPackageOfTheRarArchiver) {
    const std::string fixture = testsupport::ReadDataFile("rar/rar3-solid.rar");
    ASSERT_FALSE(fixture.empty());
    ASSERT_EQ(UnpackOne(fixture).result, kUnpackDone);
    EXPECT_EQ(unpackertest::ZlibCrc(Installed("stest1.txt")), 0xC5B7E6A2u);
    EXPECT_EQ(unpackertest::ZlibCrc(Installed("stest2.txt")), 0xC5B7E6A2u);
}

} // namespace
