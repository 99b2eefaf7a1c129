#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"

#include "support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace plat;
using testsupport::ReadTestFile;
using testsupport::TempDir;
using testsupport::WriteTestFile;

namespace {

TEST(Paths, FolderAndNameSplitOnEitherSeparator) {
    EXPECT_EQ(FolderOf(L"/opt/game/Launcher.exe"), L"/opt/game/");
    EXPECT_EQ(FileNameOf(L"/opt/game/Launcher.exe"), L"Launcher.exe");
    EXPECT_EQ(FolderOf(L"data\\maps\\a.bin"), L"data\\maps\\");
    EXPECT_EQ(FolderOf(L"plain"), L"");
    EXPECT_EQ(NativePath(L"data\\maps\\a.bin"), L"data/maps/a.bin");
    EXPECT_EQ(JoinPath(L"/opt/game/", L"/logs"), L"/opt/game/logs");
    EXPECT_EQ(JoinPath(L"/", L"x"), L"/x");
}

TEST(FileOpen, NewProgramsAreRunnableAlsoWhenWrittenBesideTheirTarget) {
    testsupport::TempDir dir;
    auto mode = [&](const std::wstring& name) {
        plat::File file;
        EXPECT_TRUE(file.Open(dir.File(name), plat::kWrite, plat::Disposition::CreateNew));
        struct stat st {};
        EXPECT_EQ(::stat(plat::WideToUtf8(dir.File(name)).c_str(), &st), 0);
        return st.st_mode & 0111;
    };
    const mode_t umaskValue = ::umask(022);
    EXPECT_NE(mode(L"Game.EXE"), 0u);
    // The unpacker and the whole-file writes write a name beside the target
    // and rename it: the copy is made runnable for a program's name.
    EXPECT_NE(mode(plat::FileNameOf(plat::TempNameBeside(dir.File(L"Launcher.tmp.exe")))), 0u);
    EXPECT_EQ(mode(L"notes.txt"), 0u);
    EXPECT_EQ(mode(plat::FileNameOf(plat::TempNameBeside(dir.File(L"notes.txt")))), 0u);
    EXPECT_EQ(mode(L"x.part"), 0u);
    ::umask(umaskValue);
}

// A key file: new, for its owner only, never written over anything or
// through a link.
TEST(FileOperations, PrivateFilesAreNewAndForTheirOwnerOnly) {
    TempDir dir;
    ASSERT_TRUE(WriteNewPrivateFile(dir.File(L"key"), "secret", 6));
    EXPECT_EQ(ReadTestFile(dir.File(L"key")), "secret");
    namespace fs = std::filesystem;
    const fs::perms mode = fs::status(dir.NarrowPath() + "key").permissions();
    EXPECT_EQ(mode & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    EXPECT_FALSE(WriteNewPrivateFile(dir.File(L"key"), "other", 5));
    EXPECT_EQ(GetLastError(), kErrFileExists);
    EXPECT_EQ(ReadTestFile(dir.File(L"key")), "secret");
    WriteTestFile(dir.File(L"target"), "kept");
    fs::create_symlink(dir.NarrowPath() + "target", dir.NarrowPath() + "link");
    EXPECT_FALSE(WriteNewPrivateFile(dir.File(L"link"), "other", 5));
    EXPECT_EQ(ReadTestFile(dir.File(L"target")), "kept");
    EXPECT_FALSE(WriteNewPrivateFile(dir.File(L"missing/key"), "x", 1));
}

} // namespace
