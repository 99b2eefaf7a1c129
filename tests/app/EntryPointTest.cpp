#include "app/EntryPoint.h"

#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/NamedMutex.h"
#include "platform/Process.h"
#include "platform/Unicode.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

using namespace app;
using testsupport::ReadTestFile;
using testsupport::TempDir;

namespace {

std::vector<std::string> g_events; // what the fakes and the box sink saw, in order

void RecordBox(const std::wstring& caption, const std::wstring& text) {
    g_events.push_back("box[" + plat::WideToUtf8(caption) + "] " + plat::WideToUtf8(text));
}

// A launcher object whose phases succeed or fail as the test says.
class FakeLogic : public ILauncherLogic {
public:
    bool preinit = true;
    bool logEnabled = true;
    bool initOk = true;
    bool runOk = true;
    LogicFailure initFailure;
    LogicFailure runFailure;
    bool throwInInit = false; // the phase fails as an allocation does
    bool throwInRun = false;
    bool throwInUninit = false;
    CommandLineState* seenState = nullptr;

    bool Preinit() override { return Note("preinit"), preinit; }
    bool IsLauncherLogEnabled() const override { return logEnabled; }
    void SetOsInfo(const plat::OsInfo&) override {}
    void SetLog(CLogImplW* log) override { Note(log ? "setlog" : "setlog(null)"); }
    void SetCommandLineState(const CommandLineState& state) override {
        if (seenState)
            *seenState = state;
    }
    bool Init(int rc, const std::wstring& argument, LogicFailure* failure) override {
        Note("init " + std::to_string(rc) + " " + plat::WideToUtf8(argument));
        if (throwInInit)
            throw std::bad_alloc();
        *failure = initFailure;
        return initOk;
    }
    bool Run(LogicFailure* failure) override {
        Note("run");
        if (throwInRun)
            throw std::bad_alloc();
        *failure = runFailure;
        return runOk;
    }
    void Uninit() override {
        Note("uninit");
        if (throwInUninit)
            throw std::bad_alloc();
    }
    ~FakeLogic() override { Note("destroy"); }

private:
    static void Note(const std::string& e) { g_events.push_back(e); }
};

class EntryPointTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_events.clear();
        plat::SetErrorBoxSink(&RecordBox);
        environment.executablePath = dir.File(L"Launcher.exe");
        environment.mutexName = "Test\\entry-" + std::to_string(plat::GetCurrentProcessId());
        environment.matching = SwitchMatching::WholeToken;
        roles.createLogic = [this]() -> std::unique_ptr<ILauncherLogic> {
            auto logic = std::make_unique<FakeLogic>();
            if (configure)
                configure(*logic);
            return logic;
        };
        roles.writeCrcFile = [] { return g_events.push_back("crc"), true; };
        roles.runAssistant = [](WindowHandle w) {
            g_events.push_back("assistant " + std::to_string(w));
        };
        roles.notifyNotAdmin = [](WindowHandle w) {
            g_events.push_back("notadmin " + std::to_string(w));
        };
        roles.isAdministrator = [this] { return admin; };
    }
    void TearDown() override { plat::SetErrorBoxSink(nullptr); }

    int Run(const std::wstring& commandLine) {
        return RunLauncher(commandLine, roles, environment);
    }

    // The single launcher log the run wrote, or empty.
    std::string LogText() {
        auto logs = plat::FindFiles(dir.Path() + L"*.log");
        return logs.size() == 1 ? ReadTestFile(dir.File(logs[0].name)) : std::string();
    }
    bool Saw(const std::string& event) const {
        return std::find(g_events.begin(), g_events.end(), event) != g_events.end();
    }

    TempDir dir;
    EntryEnvironment environment;
    LauncherRoles roles;
    std::function<void(FakeLogic&)> configure;
    bool admin = true;
};

TEST_F(EntryPointTest, NormalRunWritesHeaderAndPhaseLinesInOrder) {
    EXPECT_EQ(Run(L"/fast"), 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{"preinit", "setlog", "init 0 ", "run", "uninit",
                                                  "destroy"}));

    std::string log = LogText();
    plat::FileVersion v = plat::GetOwnFileVersion();
    std::string version = "v" + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
                          std::to_string(v.build) + "." + std::to_string(v.revision) + "\r\n";
    std::vector<std::string> inOrder = {" launcher started ",
                                        version,
                                        "\nOS: ",
                                        "\n\r\nCommand line:\r\n/fast\r\n",
                                        "Parse command line\r\ng_rc = CLogic::rcNone\r\n",
                                        "Use fast update mode\r\n",
                                        "pLogic->init() succeed\r\n",
                                        "pLogic->run() succeed\r\n",
                                        "pLogic->uninit() succeed\r\n",
                                        "Launcher finished\r\n"};
    std::size_t at = 0;
    for (const auto& piece : inOrder) {
        std::size_t found = log.find(piece, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << piece << "\n" << log;
        at = found + piece.size();
    }
    EXPECT_EQ(log.substr(0, 3), "===") << "no byte-order mark, banner first";
}

TEST_F(EntryPointTest, ChecksumAndAssistantRolesNeverCreateTheLauncherObject) {
    EXPECT_EQ(Run(L"/crc"), 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{"crc"}));

    g_events.clear();
    EXPECT_EQ(Run(L"/assistant 4242"), 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{"assistant 4242"}));

    g_events.clear();
    admin = false;
    EXPECT_EQ(Run(L"/assistant 77"), 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{"notadmin 77"}));

    // Any other number of arguments: nothing happens.
    g_events.clear();
    EXPECT_EQ(Run(L"/assistant 77 extra"), 0);
    EXPECT_EQ(Run(L"/assistant"), 0);
    EXPECT_TRUE(g_events.empty());
    EXPECT_TRUE(LogText().empty());
}

TEST_F(EntryPointTest, CreationFailureExitsWithOne) {
    roles.createLogic = [] { return std::unique_ptr<ILauncherLogic>(); };
    EXPECT_EQ(Run(L""), 1);
    EXPECT_EQ(g_events, (std::vector<std::string>{"box[Installer Error] pLogic: create"}));
}

TEST_F(EntryPointTest, PreinitFailureShowsBoxWithoutLogOrInit) {
    configure = [](FakeLogic& l) { l.preinit = false; };
    EXPECT_EQ(Run(L""), 0);
    EXPECT_TRUE(Saw("box[Installer Error] g_pSystem->preinit"));
    EXPECT_FALSE(Saw("init 0 "));
    EXPECT_TRUE(plat::FindFiles(dir.Path() + L"*.log").empty());
}

TEST_F(EntryPointTest, DisabledLogStillShowsBoxes) {
    configure = [](FakeLogic& l) {
        l.logEnabled = false;
        l.initOk = false;
    };
    EXPECT_EQ(Run(L""), 0);
    EXPECT_TRUE(Saw("box[Installer Error] pLogic->init"));
    EXPECT_TRUE(plat::FindFiles(dir.Path() + L"*.log").empty());
}

TEST_F(EntryPointTest, FailureKindsAreReportedAsTheTableSays) {
    configure = [](FakeLogic& l) { l.initOk = false; };
    Run(L"");
    EXPECT_EQ(g_events, (std::vector<std::string>{"preinit", "setlog", "init 0 ",
                                                  "box[Installer Error] pLogic->init", "destroy"}));
    EXPECT_NE(LogText().find("Installer Error: pLogic->init\r\n"), std::string::npos);

    // A plain run failure runs uninit before the box.
    g_events.clear();
    configure = [](FakeLogic& l) { l.runOk = false; };
    Run(L"");
    EXPECT_EQ(g_events, (std::vector<std::string>{"preinit", "setlog", "init 0 ", "run", "uninit",
                                                  "box[Installer Error] pLogic->run", "destroy"}));

    // A text message from run: the box shows it, uninit does not run.
    g_events.clear();
    configure = [](FakeLogic& l) {
        l.runOk = false;
        l.runFailure.kind = LogicFailure::Kind::Text;
        l.runFailure.text = "Unable to create dialog";
    };
    Run(L"");
    EXPECT_TRUE(Saw("box[Installer Error] Unable to create dialog"));
    EXPECT_FALSE(Saw("uninit"));

    g_events.clear();
    configure = [](FakeLogic& l) {
        l.initOk = false;
        l.initFailure.kind = LogicFailure::Kind::Unknown;
    };
    Run(L"");
    EXPECT_TRUE(Saw("box[error] unknown"));

    // Other numeric codes are silent.
    g_events.clear();
    configure = [](FakeLogic& l) {
        l.initOk = false;
        l.initFailure.kind = LogicFailure::Kind::Code;
        l.initFailure.code = 7;
    };
    Run(L"");
    EXPECT_EQ(g_events, (std::vector<std::string>{"preinit", "setlog", "init 0 ", "destroy"}));
}

TEST_F(EntryPointTest, FailuresThatEscapeAPhaseAreTheUnknownFailure) {
    // An allocation failure in init, run or uninit never ends the process:
    // uninit stops the work and saves what it saves, the box and the log
    // line follow, and the run ends as usual.
    struct Case {
        const char* what;
        std::function<void(FakeLogic&)> configure;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"init",
         [](FakeLogic& l) { l.throwInInit = true; },
         {"preinit", "setlog", "init 0 ", "uninit", "box[error] unknown", "destroy"}},
        {"run",
         [](FakeLogic& l) { l.throwInRun = true; },
         {"preinit", "setlog", "init 0 ", "run", "uninit", "box[error] unknown", "destroy"}},
        {"uninit",
         [](FakeLogic& l) { l.throwInUninit = true; },
         {"preinit", "setlog", "init 0 ", "run", "uninit", "box[error] unknown", "destroy"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_events.clear();
        for (const auto& log : plat::FindFiles(dir.Path() + L"*.log"))
            plat::DeleteFile(dir.File(log.name));
        configure = c.configure;
        EXPECT_EQ(Run(L""), 0);
        EXPECT_EQ(g_events, c.events);
        std::string log = LogText();
        std::size_t unknown = log.find("Installer Error: unknown\r\n");
        ASSERT_NE(unknown, std::string::npos) << log;
        EXPECT_NE(log.find("Launcher finished\r\n", unknown), std::string::npos) << log;
    }
}

TEST_F(EntryPointTest, CommandLineStateReachesTheLauncherObject) {
    CommandLineState seen;
    configure = [&](FakeLogic& l) { l.seenState = &seen; };
    Run(L"/runByClientCritical");
    EXPECT_TRUE(seen.runByClientCritical);
    EXPECT_TRUE(seen.runByClient);

    Run(L"/ug \"/home/u/game\" 12");
    EXPECT_EQ(seen.rc, rcUninstallGuest);
    EXPECT_EQ(seen.quotedPath, L"\"/home/u/game\"");
    EXPECT_TRUE(Saw("init 3 12"));
}

TEST_F(EntryPointTest, UninstallStopsWhenAnotherUninstallHoldsTheMutex) {
    plat::NamedMutex other;
    ASSERT_TRUE(other.Create(environment.mutexName, true));

    Run(L"/uninstall \"/opt/game\"");
    EXPECT_FALSE(Saw("init 1 "));
    EXPECT_NE(LogText().find(
                  "g_rc = CLogic::rcUninstall\r\nother launcher instance detected, exiting\r\n"),
              std::string::npos);

    // Only "/uninstall" checks; "/u" just creates (and so opens) it.
    g_events.clear();
    Run(L"/u /opt/game");
    EXPECT_TRUE(Saw("init 2 /opt/game"));
}

TEST_F(EntryPointTest, UninstallRunHoldsTheMutexOnlyWhileItRuns) {
    bool heldDuringRun = false;
    configure = [&](FakeLogic&) {};
    roles.createLogic = [&]() -> std::unique_ptr<ILauncherLogic> {
        struct Probe : FakeLogic {
            bool* held;
            std::string name;
            bool Run(LogicFailure* f) override {
                plat::NamedMutex probe;
                *held = probe.Open(name);
                return FakeLogic::Run(f);
            }
        };
        auto logic = std::make_unique<Probe>();
        logic->held = &heldDuringRun;
        logic->name = environment.mutexName;
        return logic;
    };
    Run(L"/uninstall");
    EXPECT_TRUE(heldDuringRun);
    plat::NamedMutex after;
    EXPECT_FALSE(after.Open(environment.mutexName));
}

} // namespace
