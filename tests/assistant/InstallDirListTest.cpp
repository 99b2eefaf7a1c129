#include "assistant/InstallDirList.h"

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "support/NativePath.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace assistant;

namespace {

const std::wstring kRegPath = L"Software\\Zelmar\\Tanks";

// A machine store of its own, holding the launcher's key and its list.
class InstallDirListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(key.Create(plat::RegistryRoot::LocalMachine, kRegPath + L"\\Install"));
    }
    // Entries 0, 1, ... as an earlier install left them.
    void Record(std::initializer_list<std::wstring> folders) {
        int index = 0;
        for (const std::wstring& folder : folders)
            ASSERT_TRUE(key.WriteString(CInstallDirList::ValueName(index++), folder));
    }
    plat::RegistryValue Stored(int index) {
        plat::RegistryValue value;
        EXPECT_TRUE(key.ReadValue(CInstallDirList::ValueName(index), &value)) << index;
        return value;
    }

    testsupport::TempDir dir;
    testsupport::ScopedEnv machine{"LAUNCHER_REGISTRY_HKLM", dir.NarrowPath() + "HKLM"};
    plat::RegistryKey key;
    CInstallDirList list{kRegPath};
};

TEST_F(InstallDirListTest, LoadFailsAndCreatesNothingWithoutTheLauncherKey) {
    CInstallDirList other(L"Software\\Zelmar\\Missing");
    EXPECT_FALSE(other.Load());
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    EXPECT_FALSE(other.Clean() || other.Add(L"/opt/games/tanks"));
    EXPECT_FALSE(
        plat::RegistryKeyExists(plat::RegistryRoot::LocalMachine, L"Software\\Zelmar\\Missing"));
}

TEST_F(InstallDirListTest, AddedFoldersRoundTripOnceEachAndOnlyWhileThereIsRoom) {
    ASSERT_TRUE(list.Add(L"/opt/games/tanks") && list.Add(L"\"/srv/tanks2/\""));
    ASSERT_TRUE(list.Add(L"/OPT/games/Tanks")); // listed already
    EXPECT_FALSE(list.Add(L"/ab/"));
    EXPECT_EQ(Stored(0).text + L"|" + Stored(1).text + L"|" + Stored(2).text,
              testsupport::NativeSeparators(L"/opt/games/tanks|/srv/tanks2|"));
    EXPECT_EQ(CInstallDirList::ValueName(0) + CInstallDirList::ValueName(9),
              L"DirectoryDirectory9");
    Record(
        {L"/g/0", L"/g/1", L"/g/2", L"/g/3", L"/g/4", L"/g/5", L"/g/6", L"/g/7", L"/g/8", L"/g/9"});
    EXPECT_FALSE(list.Add(L"/g/10"));
    EXPECT_TRUE(list.Add(L"/g/9"));
}

TEST_F(InstallDirListTest, MalformedAndMissingEntriesReadEmptyAndAreWrittenBack) {
    ASSERT_TRUE(key.WriteDword(L"Directory", 7));
    ASSERT_TRUE(key.WriteString(L"Directory3", std::wstring(600, L'x')));
    ASSERT_TRUE(key.WriteString(L"Directory4", std::wstring(L"/opt\0tail", 9)));
    ASSERT_TRUE(key.WriteString(L"Directory5", L"/opt/games/tanks"));
    ASSERT_TRUE(list.Load());
    for (int i : {0, 3, 4, 9}) {
        EXPECT_EQ(list.Entry(i), L"") << i;
        EXPECT_TRUE(Stored(i).type == plat::RegistryType::String && Stored(i).text.empty()) << i;
    }
    EXPECT_EQ(Stored(5).text, L"/opt/games/tanks");
}

TEST_F(InstallDirListTest, FindAndRemoveNormaliseQuotesSeparatorsAndCase) {
    Record({L"", L"/opt/games/tanks", L"/srv/other"});
    for (const wchar_t* spelling :
         {L"\"/opt/games/tanks\"", L"/OPT/Games/TANKS//", L"\\opt\\games\\tanks\\"})
        EXPECT_EQ(list.Find(spelling), 1) << spelling;
    EXPECT_EQ(list.Find(L"/opt/games/tank"), -1);
    EXPECT_EQ(list.Find(L"\"\"/"), -1); // never one of the free entries
    EXPECT_TRUE(list.Remove(L"/opt/Games/Tanks/") && list.Remove(L"/not/listed"));
    EXPECT_EQ(Stored(1).text, L"");
    EXPECT_EQ(list.Find(L"/srv/other"), 2);
}

TEST_F(InstallDirListTest, CleanKeepsFoldersWithContentsAndFirstFolderSkipsShortEntries) {
    const std::wstring withFile = dir.File(L"withFile"), withFolder = dir.File(L"withFolder");
    testsupport::WriteTestFile(withFile + L"/game.bin", "x");
    ASSERT_TRUE(plat::CreateDirectoryTree(withFolder + L"/data") &&
                plat::CreateDirectoryTree(dir.File(L"empty")));
    Record({L"/ab", dir.File(L"missing"), dir.File(L"empty"), withFile, withFolder});
    EXPECT_EQ(list.FirstFolder(), dir.File(L"missing"));
    ASSERT_TRUE(list.Clean());
    const std::wstring expected[] = {L"", L"", L"", withFile, withFolder};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Stored(i).text, expected[i]) << i;
    EXPECT_EQ(list.FirstFolder(), withFile);
}

TEST(InstallationNames, DisplayedNameCountsFromTwoAndUninstallKeyUsesTheIndex) {
    EXPECT_EQ(InstallationDisplayName(L"Tanks", 0), L"Tanks");
    EXPECT_EQ(InstallationDisplayName(L"Tanks", -3), L"Tanks");
    EXPECT_EQ(InstallationDisplayName(L"Tanks", 1), L"Tanks (2)");
    EXPECT_EQ(InstallationDisplayName(L"Tanks", 4, true), L"Tanks Portable (5)");
    EXPECT_EQ(UninstallKeyPath(L"Tanks Online", 1),
              L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tanks Online 1");
}

} // namespace
