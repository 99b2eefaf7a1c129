// The start of an installation still registered under an earlier product
// identity: its preferences carried over, a standard folder moved by a
// copy of the launcher, a portable one left where it is. The launcher here
// is a small script that records how it was started, so no test ever runs
// a copy of the test program as if it were the launcher.

#include "LogicFixture.h"

#include "assistant/InstallDirList.h"
#include "platform/CommandLine.h"
#include "platform/Folders.h"

#include <filesystem>
#include <sstream>

namespace {

using logictest::ConfigXml;
using testsupport::ReadTestFile;
using testsupport::ScopedEnv;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

const wchar_t* kOldRegPath = L"Software\\LogicTest\\OldGame";

const char* kMigrations = "<migrations><migration><shortName>OldGame</shortName>"
                          "<fullName>Old Game</fullName><regPath>Software\\LogicTest\\OldGame"
                          "</regPath><iconName>Old Game Icon</iconName></migration></migrations>";

class LogicMigrationTest : public logictest::LogicTest {
protected:
    void SetUp() override {
        LogicTest::SetUp();
        // The launcher of the old installation: writes its arguments, one a
        // line, beside the installation.
        logictest::WriteRecordingProgram(launcher, plat::WideToUtf8(started));
        WriteTestFile(own + L"/OldGame/preferences/prefs.cs", "$pref::volume = 7;\n");
    }

    // The folder listed as an installation of the earlier product.
    void RegisterUnderOldIdentity() {
        plat::RegistryKey key;
        ASSERT_TRUE(key.Create(plat::RegistryRoot::LocalMachine, kOldRegPath));
        assistant::CInstallDirList list(kOldRegPath);
        ASSERT_TRUE(list.Add(own));
    }

    // Preinit and init as the launcher of the old folder.
    bool StartAsOldLauncher(CLogic& logic, LogicFailure* failure) {
        archive =
            logictest::Archive(ConfigXml({}, "<URL>http://127.0.0.1:1/a</URL>", "", kMigrations));
        logic.SetResourceArchive(&archive);
        logic.SetInstallFolder(own);
        logic.SetLog(&log);
        logic.SetLauncherExecutable(launcher);
        if (!logic.Preinit())
            return false;
        return logic.Init(rcNone, {}, failure);
    }

    // The recorded arguments, once the started copy wrote them.
    std::vector<std::string> StartedWith() {
        std::vector<std::string> lines;
        std::istringstream text(logictest::RecordedStart(plat::WideToUtf8(started)));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }

    const std::wstring own = dir.File(L"games/Old Game");
    const std::wstring launcher = own + L"/Launcher.exe";
    const std::wstring started = dir.File(L"started.txt");
    ScopedEnv temp_{"LAUNCHER_TEMP_DIR", dir.NarrowPath() + "temp"};
    ScopedEnv noDisplay_{"DISPLAY", nullptr};
};

TEST_F(LogicMigrationTest, ARegisteredFolderMovesToTheCurrentNameThroughACopy) {
    RegisterUnderOldIdentity();
    CLogic logic;
    LogicFailure failure;
    // The moving copy carries on: this start ends quietly.
    EXPECT_FALSE(StartAsOldLauncher(logic, &failure));
    EXPECT_EQ(failure.kind, LogicFailure::Kind::Code);
    EXPECT_EQ(failure.code, 3);

    // A launcher copy gets its command line's tail as one argument after a
    // marker; the tail splits into the move's values.
    std::vector<std::string> lines = StartedWith();
    ASSERT_EQ(lines.size(), 2u) << LogText();
    EXPECT_EQ(lines[0], plat::kCommandLineMarker);
    std::vector<std::string> arguments;
    for (const std::wstring& value : plat::SplitArguments(plat::Utf8ToWide(lines[1])))
        arguments.push_back(plat::WideToUtf8(value));
    const std::vector<std::string> expected = {"/setlongname",
                                               plat::WideToUtf8(own),
                                               plat::WideToUtf8(dir.File(L"games/The Game")),
                                               "OldGame",
                                               "Old Game",
                                               "Software\\LogicTest\\OldGame",
                                               "Old Game Icon",
                                               "0"};
    EXPECT_EQ(arguments, expected);
    // The copy was made in the temporary folder, not started from the old
    // folder itself.
    std::string text = LogText();
    EXPECT_NE(text.find("Start the move: \"" + dir.NarrowPath() + "temp/RNM"), std::string::npos)
        << text;
    // The preferences went over to the new short name before the move.
    EXPECT_EQ(ReadTestFile(own + L"/Game/preferences/prefs.cs"), "$pref::volume = 7;\n");
    EXPECT_FALSE(fs::exists(plat::WideToUtf8(own + L"/OldGame/preferences/prefs.cs")));
}

TEST_F(LogicMigrationTest, UnregisteredAndPortableFoldersStayAndStartNormally) {
    {
        // Registered under no earlier identity: nothing moves, nothing is
        // carried over.
        CLogic logic;
        LogicFailure failure;
        EXPECT_TRUE(StartAsOldLauncher(logic, &failure)) << failure.text;
        EXPECT_TRUE(fs::exists(plat::WideToUtf8(own + L"/OldGame/preferences/prefs.cs")));
    }
    {
        // A portable folder is never moved, whatever the registry says; its
        // preferences take the new short name.
        RegisterUnderOldIdentity();
        WriteTestFile(own + L"/guest.dat", "");
        CLogic logic;
        LogicFailure failure;
        EXPECT_TRUE(StartAsOldLauncher(logic, &failure)) << failure.text;
        EXPECT_EQ(ReadTestFile(own + L"/Game/preferences/prefs.cs"), "$pref::volume = 7;\n");
        EXPECT_FALSE(fs::exists(plat::WideToUtf8(own + L"/OldGame/preferences/prefs.cs")));
    }
    // No copy of the launcher was made, so none can have started.
    const std::string temp = dir.NarrowPath() + "temp";
    EXPECT_TRUE(!fs::exists(temp) || fs::is_empty(temp));
    EXPECT_FALSE(fs::exists(plat::WideToUtf8(started)));
}

} // namespace
