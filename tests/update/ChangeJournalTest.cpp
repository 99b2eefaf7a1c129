#include "update/ChangeJournal.h"
#include "platform/FileSystem.h"
#include "platform/FileVersionBlock.h"
#include "platform/Unicode.h"
#include "support/TempDir.h"
#include "update/ChangeActions.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <filesystem>

namespace {

using update::CChangeJournal;

std::string Le32(std::uint32_t value) {
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((value >> shift) & 0xFF);
    return bytes;
}

std::string JournalBytes(std::initializer_list<std::uint32_t> values) {
    std::string bytes;
    for (std::uint32_t value : values)
        bytes += Le32(value);
    return bytes;
}

// A file that carries a file-version block, as a built client does.
std::string ImageWithVersion(const plat::FileVersion& version) {
    std::string image = "\x7f"
                        "ELF fake image " +
                        plat::FileVersionMarker();
    image += std::string(16, '\0') + " trailing code";
    EXPECT_TRUE(plat::WriteFileVersionInImage(&image, version));
    return image;
}

class ChangeJournalTest : public ::testing::Test {
protected:
    std::wstring Folder() const {
        std::wstring path = dir.Path();
        path.pop_back();
        return path;
    }
    std::string JournalOnDisk() const {
        return testsupport::ReadTestFile(dir.File(L"changes.dat"));
    }
    void WriteJournal(const std::string& bytes) {
        testsupport::WriteTestFile(dir.File(L"changes.dat"), bytes);
    }
    CChangeJournal Journal() const { return CChangeJournal(Folder(), L"Game.exe"); }

    testsupport::TempDir dir;
};

TEST(VersionTextTest, PartsAreReadLikeTheClientVersionsOfTheServer) {
    EXPECT_EQ(update::ParseVersionText("1.2.3.4"), (update::VersionNumbers{1, 2, 3, 4}));
    EXPECT_EQ(update::ParseVersionText("1..3"), (update::VersionNumbers{1, 3, 0, 0}));
    EXPECT_EQ(update::ParseVersionText("1.x.-2.7.9"), (update::VersionNumbers{1, 0, -2, 7}));
    EXPECT_EQ(update::ParseVersionText(""), (update::VersionNumbers{0, 0, 0, 0}));
    EXPECT_EQ(update::CompareVersions({1, 2, 3, 4}, {1, 2, 3, 4}), 0);
    EXPECT_EQ(update::CompareVersions({1, 2, 3, 4}, {1, 2, 4, 0}), -1);
    EXPECT_EQ(update::CompareVersions({2, 0, 0, 0}, {1, 9, 9, 9}), 1);
}

TEST_F(ChangeJournalTest, MissingJournalIsCreatedEmptyAndEveryActionPasses) {
    CChangeJournal journal = Journal();
    EXPECT_EQ(journal.Load(), CChangeJournal::LoadState::Created);
    EXPECT_TRUE(plat::FileExists(dir.File(L"changes.dat")));
    EXPECT_EQ(JournalOnDisk(), "");
    EXPECT_EQ(journal.Values(), (std::vector<std::int32_t>{0, 0, 0, 0}));
    EXPECT_TRUE(journal.IsActionApplicable(5, "3.0", "4.0"));
    // An existing empty journal is a journal, not damage.
    EXPECT_EQ(journal.Load(), CChangeJournal::LoadState::Loaded);
}

TEST_F(ChangeJournalTest, TornOrOversizedJournalIsDamagedAndReadsAsEmpty) {
    // Ten bytes: two values and half of a third.
    WriteJournal(JournalBytes({1, 2}) + "ab");
    CChangeJournal journal = Journal();
    EXPECT_EQ(journal.Load(), CChangeJournal::LoadState::Damaged);
    EXPECT_EQ(journal.DamagedSize(), 10u);
    EXPECT_EQ(journal.Values(), (std::vector<std::int32_t>{0, 0, 0, 0}));
    // A whole-valued file too short to hold the version.
    WriteJournal(JournalBytes({1, 2}));
    EXPECT_TRUE(Journal().Load() == CChangeJournal::LoadState::Damaged);
    // Larger than any journal.
    WriteJournal(std::string(update::kMaxJournalBytes + 4, '\0'));
    EXPECT_TRUE(Journal().Load() == CChangeJournal::LoadState::Damaged);
    // A folder where the journal should be.
    plat::DeleteFile(dir.File(L"changes.dat"));
    ASSERT_TRUE(plat::CreateDirectory(dir.File(L"changes.dat")));
    EXPECT_TRUE(Journal().Load() == CChangeJournal::LoadState::Damaged);
}

TEST_F(ChangeJournalTest, VersionRangesAreInclusiveAndIdsAreRecordedOnce) {
    WriteJournal(JournalBytes({1, 2, 3, 4, 17}));
    CChangeJournal journal = Journal();
    ASSERT_EQ(journal.Load(), CChangeJournal::LoadState::Loaded);
    EXPECT_TRUE(journal.IsActionApplicable(5, "1.2", "1.2.3.4"));
    EXPECT_FALSE(journal.IsActionApplicable(5, "", "1.2.3"));
    EXPECT_FALSE(journal.IsActionApplicable(5, "1..3", ""));
    EXPECT_TRUE(journal.IsActionApplicable(5, "", ""));
    EXPECT_FALSE(journal.IsActionApplicable(17, "", ""));
    EXPECT_TRUE(journal.IsActionApplicable(0, "", ""));

    // Id 0 is never recorded and writes nothing.
    const auto before =
        std::filesystem::last_write_time(plat::WideToUtf8(dir.File(L"changes.dat")));
    EXPECT_TRUE(journal.MarkActionApplied(0));
    EXPECT_EQ(JournalOnDisk(), JournalBytes({1, 2, 3, 4, 17}));
    EXPECT_EQ(std::filesystem::last_write_time(plat::WideToUtf8(dir.File(L"changes.dat"))), before);
    // A recorded id rewrites the journal unchanged; a new one is appended.
    EXPECT_TRUE(journal.MarkActionApplied(17));
    EXPECT_EQ(JournalOnDisk(), JournalBytes({1, 2, 3, 4, 17}));
    EXPECT_TRUE(journal.MarkActionApplied(-3));
    EXPECT_EQ(JournalOnDisk(), JournalBytes({1, 2, 3, 4, 17, 0xFFFFFFFDu}));
    // No temporary file is left beside it.
    EXPECT_EQ(plat::FindFiles(dir.File(L"*")).size(), 1u);
}

TEST_F(ChangeJournalTest, VersionTestIsSkippedWhileNoVersionWasRecorded) {
    WriteJournal(JournalBytes({0, 0, 0, 7}));
    CChangeJournal journal = Journal();
    journal.Load();
    EXPECT_TRUE(journal.IsActionApplicable(1, "5.0", "6.0"));
}

TEST_F(ChangeJournalTest, ClientVersionIsRecordedOnlyFromTheClientExecutable) {
    WriteJournal(JournalBytes({1, 0, 0, 0, 9}));
    CChangeJournal journal = Journal();
    EXPECT_FALSE(journal.UpdateVersion());
    EXPECT_EQ(JournalOnDisk(), JournalBytes({1, 0, 0, 0, 9}));

    testsupport::WriteTestFile(dir.File(L"Game.exe"), ImageWithVersion({2, 5, 0, 31}));
    EXPECT_TRUE(journal.UpdateVersion());
    EXPECT_EQ(JournalOnDisk(), JournalBytes({2, 5, 0, 31, 9}));

    // A damaged journal is replaced by the version alone.
    WriteJournal("xyz");
    EXPECT_TRUE(journal.UpdateVersion());
    EXPECT_EQ(JournalOnDisk(), JournalBytes({2, 5, 0, 31}));
}

TEST(FileVersionBlockTest, VersionIsReadAndRewrittenInPlace) {
    plat::FileVersion version;
    EXPECT_FALSE(plat::ReadFileVersionOfImage("no block here", &version));
    std::string image = ImageWithVersion({1, 2, 3, 4});
    const std::size_t size = image.size();
    ASSERT_TRUE(plat::ReadFileVersionOfImage(image, &version));
    EXPECT_EQ(plat::FileVersionText(version), "1.2.3.4");
    ASSERT_TRUE(plat::WriteFileVersionInImage(&image, {7, 0, 65536, 4000000000u}));
    ASSERT_TRUE(plat::ReadFileVersionOfImage(image, &version));
    EXPECT_EQ(plat::FileVersionText(version), "7.0.65536.4000000000");
    EXPECT_EQ(image.size(), size);

    EXPECT_TRUE(plat::ParseFileVersionText("1.0.2.3", &version));
    EXPECT_FALSE(plat::ParseFileVersionText("1.0.2", &version));
    EXPECT_FALSE(plat::ParseFileVersionText("1.0.2.3.4", &version));
    EXPECT_FALSE(plat::ParseFileVersionText("1.0.x.3", &version));
    EXPECT_FALSE(plat::ParseFileVersionText("1.0.2.99999999999", &version));
}

TEST(FileVersionBlockTest, RewritingAFileKeepsItsRunBits) {
    testsupport::TempDir dir;
    const std::wstring path = dir.File(L"Game.exe");
    testsupport::WriteTestFile(path, ImageWithVersion({1, 0, 0, 0}));
    const std::string native = plat::WideToUtf8(path);
    std::filesystem::permissions(native, std::filesystem::perms::owner_all);
    ASSERT_TRUE(plat::WriteFileVersionInFile(path, {1, 0, 0, 5}));
    plat::FileVersion version;
    ASSERT_TRUE(plat::ReadFileVersionOfFile(path, &version));
    EXPECT_EQ(version.revision, 5u);
    EXPECT_EQ(std::filesystem::status(native).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_EQ(plat::FindFiles(dir.File(L"*")).size(), 1u);
}

// --- actions ------------------------------------------------------------------

class ChangeActionsTest : public ChangeJournalTest {
protected:
    const tinyxml2::XMLElement* Actions(const char* xml) {
        EXPECT_EQ(doc.Parse(xml), tinyxml2::XML_SUCCESS);
        return doc.RootElement();
    }
    bool Apply(const char* xml) {
        CChangeJournal journal = Journal();
        return update::ApplyRenameActions(Actions(xml), journal, Folder(), nullptr);
    }
    std::string Read(const wchar_t* name) const {
        return testsupport::ReadTestFile(dir.File(name));
    }
    void Write(const wchar_t* name, const std::string& bytes) {
        testsupport::WriteTestFile(dir.File(name), bytes);
    }

    tinyxml2::XMLDocument doc;
};

TEST_F(ChangeActionsTest, LongNameActionNeedsItsNamesAndAChangedShortNameItsOldRegistryPath) {
    update::LongNameAction action;
    EXPECT_TRUE(update::ReadLongNameAction(
        Actions("<ACTIONS><SETLONGNAME id='4' oldlongname='Old Name' newlongname='New Name' "
                "oldshortname='Game' newshortname='Game'/>"
                "<SETLONGNAME id='5' oldlongname='x' newlongname='y' oldshortname='a' "
                "newshortname='a'/></ACTIONS>"),
        &action));
    EXPECT_EQ(action.id, 4);
    EXPECT_TRUE(action.applyToPortable);
    EXPECT_FALSE(update::ReadLongNameAction(
        Actions("<ACTIONS><SETLONGNAME oldlongname='a' newlongname='b' oldshortname='Old' "
                "newshortname='New'/></ACTIONS>"),
        &action));
    EXPECT_TRUE(update::ReadLongNameAction(
        Actions("<ACTIONS><SETLONGNAME oldlongname='a' newlongname='b' oldshortname='Old' "
                "newshortname='New' oldregpath='Software\\Old' apply_to_portable='false'/>"
                "</ACTIONS>"),
        &action));
    EXPECT_FALSE(action.applyToPortable);
    EXPECT_FALSE(update::ReadLongNameAction(
        Actions("<ACTIONS><SETLONGNAME oldlongname='' newlongname='b' oldshortname='G' "
                "newshortname='G'/></ACTIONS>"),
        &action));

    std::wstring moved;
    ASSERT_TRUE(update::ReplaceLongName(L"Old Name Beta", L"old name", L"New Name", &moved));
    EXPECT_EQ(moved, L"New Name Beta");
    EXPECT_FALSE(update::ReplaceLongName(L"Other", L"old name", L"New Name", &moved));
}

TEST_F(ChangeActionsTest, RenamesMoveIntoNewSubfoldersAndDeleteFoldersOnce) {
    Write(L"old.dll", "library");
    Write(L"Cache/a.bin", "a");
    Write(L"Cache/Deep/b.bin", "b");
    Write(L"obsolete.txt", "x");
    const char* xml = "<ACTIONS>"
                      "<RENAME id='1' name='old.dll' toname='Bin\\New\\new.dll'/>"
                      "<RENAME id='2' name='Cache\\'/>"
                      "<RENAME id='3' name='obsolete.txt'/>"
                      "<RENAME id='4' name='Data\\' toname='Other\\'/>"
                      "<RENAME id='9' name=''/>"
                      "<SETSTR id='10' anything='at all'/>"
                      "</ACTIONS>";
    ASSERT_TRUE(Apply(xml));
    EXPECT_EQ(Read(L"Bin/New/new.dll"), "library");
    EXPECT_FALSE(plat::FileExists(dir.File(L"old.dll")));
    EXPECT_FALSE(plat::DirectoryExists(dir.File(L"Cache")));
    EXPECT_FALSE(plat::FileExists(dir.File(L"obsolete.txt")));
    EXPECT_EQ(JournalOnDisk(), JournalBytes({0, 0, 0, 0, 1, 2, 3, 4}));

    // A second run repeats none of them: a file of the old name that the
    // new client brings stays.
    Write(L"old.dll", "the new client's own file");
    Write(L"Cache/c.bin", "c");
    ASSERT_TRUE(Apply(xml));
    EXPECT_EQ(Read(L"old.dll"), "the new client's own file");
    EXPECT_EQ(Read(L"Bin/New/new.dll"), "library");
    EXPECT_EQ(Read(L"Cache/c.bin"), "c");
    EXPECT_EQ(JournalOnDisk(), JournalBytes({0, 0, 0, 0, 1, 2, 3, 4}));

    EXPECT_FALSE(Apply("<ACTIONS><SETSTR/></ACTIONS>"));
}

TEST_F(ChangeActionsTest, RenameOfAMissingSourceKeepsTheTargetAndIsRecorded) {
    Write(L"settings.cfg", "the user's settings");
    ASSERT_TRUE(Apply("<ACTIONS><RENAME id='7' name='gone.cfg' toname='settings.cfg'/></ACTIONS>"));
    EXPECT_EQ(Read(L"settings.cfg"), "the user's settings");
    EXPECT_EQ(JournalOnDisk(), JournalBytes({0, 0, 0, 0, 7}));
    // An existing target is replaced by a present source.
    Write(L"new.cfg", "new");
    ASSERT_TRUE(Apply("<ACTIONS><RENAME id='8' name='new.cfg' toname='settings.cfg'/></ACTIONS>"));
    EXPECT_EQ(Read(L"settings.cfg"), "new");
    EXPECT_FALSE(plat::FileExists(dir.File(L"new.cfg")));
}

TEST_F(ChangeActionsTest, RenamesThatLeaveTheFolderAreRefused) {
    testsupport::TempDir outside;
    testsupport::WriteTestFile(outside.File(L"victim.txt"), "outside");
    testsupport::WriteTestFile(outside.File(L"Folder/keep.txt"), "outside");
    Write(L"inside.txt", "inside");
    std::filesystem::create_directory_symlink(plat::WideToUtf8(outside.File(L"Folder")),
                                              plat::WideToUtf8(dir.File(L"link")));
    const std::wstring outsideFile = outside.File(L"victim.txt");
    const std::string absolute = plat::WideToUtf8(outsideFile);
    const std::string xml = "<ACTIONS>"
                            "<RENAME id='1' name='..\\..\\victim.txt'/>"
                            "<RENAME id='2' name='" +
                            absolute +
                            "'/>"
                            "<RENAME id='3' name='inside.txt' toname='..\\moved.txt'/>"
                            "<RENAME id='4' name='link\\'/>"
                            "<RENAME id='5' name='link\\keep.txt'/>"
                            "<RENAME id='6' name='inside.txt' toname='link\\moved.txt'/>"
                            "<RENAME id='7' name='.\\'/>"
                            "<RENAME id='8' name='C:\\victim.txt'/>"
                            "</ACTIONS>";
    ASSERT_TRUE(Apply(xml.c_str()));
    EXPECT_EQ(testsupport::ReadTestFile(outsideFile), "outside");
    EXPECT_EQ(testsupport::ReadTestFile(outside.File(L"Folder/keep.txt")), "outside");
    EXPECT_FALSE(plat::FileExists(outside.File(L"Folder/moved.txt")));
    EXPECT_EQ(Read(L"inside.txt"), "inside");
    EXPECT_TRUE(plat::IsLink(dir.File(L"link")));
    EXPECT_TRUE(plat::FileExists(dir.File(L"changes.dat")));

    std::wstring path;
    bool folder = false;
    EXPECT_FALSE(update::ResolveInsideFolder(L"/game", "a\\..\\..\\b", &path, &folder));
    EXPECT_FALSE(update::ResolveInsideFolder(L"/game",
                                             "a\x01"
                                             "b",
                                             &path, &folder));
    ASSERT_TRUE(update::ResolveInsideFolder(L"/game", "a\\.\\b/", &path, &folder));
    EXPECT_EQ(path, L"/game/a/b");
    EXPECT_TRUE(folder);
}

} // namespace
