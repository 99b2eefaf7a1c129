// Hostile packages for both readers: sizes that lie, and damage at every
// place of real packages. The unpacker must answer each with a failure
// message, never a crash, an allocation the archive decides, or a file
// outside the installation.

#include "UnpackerFixture.h"

#include "platform/FileSystem.h"
#include "rarpack/RarStoreWriter.h"
#include "support/RarBuilder.h"
#include "support/TestData.h"
#include "support/ZipWriter.h"
#include "update/ZipFormat.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;
using namespace update;
using testsupport::RarMember;
using testsupport::ZipWriter;
using unpackertest::Outcome;
using unpackertest::Pattern;

// The process's peak of virtual memory in KiB: an allocation of the size an
// archive declares shows here even when its pages are never touched.
std::uint64_t PeakVirtualKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmPeak:", 0) == 0)
            return std::stoull(line.substr(7));
    }
    return 0;
}

class HostileArchiveTest : public unpackertest::UnpackerTestBase {
protected:
    Outcome UnpackOne(const std::string& package, bool bounded) {
        CUnpackerThread unpacker;
        if (bounded) {
            auto bounds = std::make_shared<EntrySizeBounds>();
            bounds->sizes[L"huge.bin"] = 100;
            unpacker.SetSizeBounds(bounds);
        }
        const std::wstring path = Temp(L"h" + std::to_wstring(++count_) + L".pkg");
        Receive(unpacker, path, package);
        return RunPackages(unpacker, {path});
    }
    // Only the installation folder holds anything new.
    void ExpectNothingOutside() {
        for (const auto& entry : fs::directory_iterator(dir_.NarrowPath())) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "game" || name == "tmp") << name;
        }
    }
    int count_ = 0;
};

TEST_F(HostileArchiveTest, DeclaredSizesNeverDecideAnAllocation) {
    // A ZIP entry that claims 0xFFFFFFF0 bytes from a few packed ones, and
    // RAR members that claim a tebibyte, stored and compressed.
    ZipWriter zip;
    std::size_t entry = zip.Add("huge.bin", std::string(1000, 'a'));
    std::string zipBytes = zip.Finish();
    testsupport::Put32(&zipBytes,
                       zip.EntryOffsets(entry).localHeader + zip::localHeader::kSize.offset,
                       0xFFFFFFF0u);
    testsupport::Put32(&zipBytes,
                       zip.EntryOffsets(entry).centralHeader + zip::centralHeader::kSize.offset,
                       0xFFFFFFF0u);
    RarMember stored = RarMember::Stored("huge.bin", Pattern(40, 1));
    stored.unpackedSize = 1ull << 40;
    RarMember packed = stored;
    packed.method = 0x33;
    const std::string rarStored = testsupport::BuildRar({stored});
    const std::string rarPacked = testsupport::BuildRar({packed});
    EXPECT_LT(rarStored.size(), 130u);

    const std::uint64_t before = PeakVirtualKib();
    ASSERT_NE(before, 0u);
    for (bool bounded : {false, true}) {
        for (const std::string* package :
             std::initializer_list<const std::string*>{&zipBytes, &rarStored, &rarPacked}) {
            SCOPED_TRACE(testing::Message() << "bounded " << bounded << ", " << package->size());
            Outcome outcome = UnpackOne(*package, bounded);
            EXPECT_TRUE(outcome.finished);
            EXPECT_EQ(outcome.result, kUnpackPackageFailed);
            EXPECT_FALSE(plat::FileExists(Install() + L"/huge.bin"));
        }
    }
    // Nothing near the declared sizes was ever reserved.
    EXPECT_LT(PeakVirtualKib() - before, 256u * 1024);
    ExpectNothingOutside();
}

// Flips bytes of a package one place at a time: at every byte of its first
// kHeadBytes and at random places after them.
void SweepPackage(HostileArchiveTest* test, const std::string& package, unsigned seed,
                  const std::function<Outcome(const std::string&)>& unpack) {
    constexpr std::size_t kHeadBytes = 160;
    constexpr int kRandomPlaces = 60;
    std::mt19937 random(seed);
    std::vector<std::size_t> places;
    for (std::size_t at = 0; at < std::min(kHeadBytes, package.size()); ++at)
        places.push_back(at);
    for (int i = 0; i < kRandomPlaces; ++i)
        places.push_back(random() % package.size());
    places.push_back(package.size() - 1);
    for (std::size_t at : places) {
        std::string damaged = package;
        damaged[at] = static_cast<char>(damaged[at] ^ (1 + random() % 255));
        Outcome outcome = unpack(damaged);
        SCOPED_TRACE(at);
        ASSERT_TRUE(outcome.finished);
        EXPECT_TRUE(outcome.result == kUnpackDone || outcome.result == kUnpackPackageFailed ||
                    outcome.result == kUnpackFileFailed)
            << outcome.result;
    }
    (void)test;
}

TEST_F(HostileArchiveTest, DamageAnywhereEndsInAMessageNeverACrash) {
    ZipWriter zip;
    zip.Add("data/", "");
    zip.Add("data/a.bin", Pattern(3000, 1));
    zip.Add("b.txt", "stored text", ZipWriter::kStored);
    zip.Add("c.bin", Pattern(2000, 2));
    rarpack::CRarStoreWriter rar;
    rar.AddDirectory("data");
    rar.AddFile("data\\a.bin", Pattern(3000, 1));
    rar.AddFile("b.txt", "stored text");
    const std::string solid = testsupport::ReadDataFile("rar/rar3-solid.rar");
    ASSERT_FALSE(solid.empty());
    auto unpack = [this](const std::string& bytes) { return UnpackOne(bytes, true); };
    SweepPackage(this, zip.Finish(), 1, unpack);
    SweepPackage(this, rar.Finish(), 2, unpack);
    SweepPackage(this, solid, 3, unpack);
    ExpectNothingOutside();
}

} // namespace
