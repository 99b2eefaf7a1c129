// A real assistant process against a pipe served by the test itself, which
// writes what no launcher would: every such record is refused and nothing
// on the machine changes.

#include "AssistantHarness.h"

#include "platform/NamedPipe.h"
#include "platform/posix/EncodedName.h"

#include <chrono>
#include <unistd.h>

namespace {

using namespace assistanttest;

class AssistantHostileTest : public AssistantHarness {
protected:
    std::wstring CopyPath() const { return Path(L"temp/LauncherAssistant.exe"); }
    std::wstring PipeName() const { return assistant::AssistantPipeName(CopyPath()); }

    // The assistant copy started for the test's window, without the
    // launcher's channel.
    void StartAssistant() {
        fs::copy_file(plat::WideToUtf8(ChildPath()), plat::WideToUtf8(CopyPath()),
                      fs::copy_options::overwrite_existing);
        plat::ProcessStartInfo info;
        info.commandLine =
            plat::BuildCommandLine(CopyPath(), L"/assistant " + std::to_wstring(window_));
        ASSERT_TRUE(plat::StartElevated(info, &process_));
    }

    // Serves the assistant `bytes` and gives its answers. With closeAfter the
    // pipe ends after the bytes.
    Outcome Serve(const std::string& bytes, bool closeAfter = false) {
        Outcome outcome;
        handled_ = handler_.All().size();
        plat::NamedPipe server;
        EXPECT_TRUE(server.Create(PipeName()));
        StartAssistant();
        windowtest::Watchdog watchdog(window_);
        if (!windowtest::PumpUntil(
                [&] { return Seen(assistant::eWindowsMessage_LauncherAssistantInitResult); }))
            return outcome;
        windowtest::Received init = Last(assistant::eWindowsMessage_LauncherAssistantInitResult);
        outcome.initW = init.wParam;
        outcome.initL = init.lParam;
        outcome.connected = init.lParam == 0;
        if (outcome.connected) {
            // Only one client: anybody else finds the pipe busy.
            plat::NamedPipe intruder;
            EXPECT_FALSE(intruder.Open(PipeName(), 50, 1));
            EXPECT_EQ(plat::GetLastError(), plat::kErrPipeBusy);
            server.Write(bytes.data(), bytes.size());
            if (closeAfter)
                server.Close();
            bool progressEnds = bytes.size() >= 4 && assistant::DecodeCode(bytes) == 6;
            windowtest::PumpUntil([&] { return FinalAnswer(progressEnds) != nullptr; });
            if (const windowtest::Received* final = FinalAnswer(progressEnds)) {
                outcome.command = final->wParam;
                outcome.result = final->lParam;
            }
        }
        server.Close();
        EXPECT_TRUE(process_.Wait(windowtest::kWatchdogMs));
        return outcome;
    }

    std::string Block(const assistant::AssistantData& data) {
        std::string block;
        EXPECT_TRUE(assistant::EncodeAssistantData(data, &block));
        return block;
    }
    std::string Icons(const assistant::AssistantData& data) {
        std::string all;
        for (const assistant::AssistantIcon& icon : data.icons) {
            std::string bytes;
            EXPECT_TRUE(assistant::EncodeAssistantIcon(icon, &bytes));
            all += bytes;
        }
        return all;
    }
    std::string Record(int code, const assistant::AssistantData& data) {
        return assistant::EncodeCode(code) + Block(data) + Icons(data);
    }
    using AssistantHarness::Record;

    void ExpectNothingChanged() {
        EXPECT_FALSE(Exists(L"games/Game"));
        EXPECT_FALSE(Exists(L"hklm/software"));
        EXPECT_FALSE(Exists(L"share/applications"));
        std::string log = ReadTestFile(CopyPath() + L".log");
        EXPECT_EQ(log.find("InstallClient"), std::string::npos) << log;
    }

    plat::Process process_;
};

TEST_F(AssistantHostileTest, AWellFormedRecordServedThisWayWorks) {
    const int install = assistant::eLauncherCmd_Install;
    Outcome outcome = Serve(Record(install, Record(install)));
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(Exists(L"games/Game"));
}

TEST_F(AssistantHostileTest, UnterminatedFieldsAreRefused) {
    std::string block(assistant::kAssistantDataSize, 'A');
    block.replace(0, 4, assistant::EncodeCode(1));
    block.replace(assistant::kIconCountOffset, 4, assistant::EncodeCode(0));
    Outcome outcome = Serve(assistant::EncodeCode(1) + block);
    EXPECT_EQ(outcome.command, 1u);
    EXPECT_EQ(outcome.result, assistant::kUnknownPipeCmd);
    ExpectNothingChanged();
    EXPECT_NE(ReadTestFile(CopyPath() + L".log").find("has no terminator"), std::string::npos);
}

TEST_F(AssistantHostileTest, AHugeIconCountIsRefusedBeforeAnythingIsRead) {
    assistant::AssistantData data = Record(1);
    std::string block = Block(data);
    block.replace(assistant::kIconCountOffset, 4, assistant::EncodeCode(1000000));
    auto start = std::chrono::steady_clock::now();
    Outcome outcome = Serve(assistant::EncodeCode(1) + block + Icons(data));
    EXPECT_EQ(outcome.result, assistant::kUnknownPipeCmd);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    ExpectNothingChanged();
}

TEST_F(AssistantHostileTest, NamesThatClimbOutAreRefused) {
    assistant::AssistantData data = Record(1);
    data.fullName = L"..";
    EXPECT_EQ(Serve(Record(1, data)).result, assistant::kUnknownPipeCmd);
    data = Record(1);
    data.icons = {{L"Game", L"..\\..\\..\\etc\\passwd", true}};
    EXPECT_EQ(Serve(Record(1, data)).result, assistant::kUnknownPipeCmd);
    data = Record(1);
    data.installFolder = Path(L"games/../../../etc/Game");
    EXPECT_EQ(Serve(Record(1, data)).result, assistant::kUnknownPipeCmd);
    ExpectNothingChanged();
}

TEST_F(AssistantHostileTest, DataAfterTheRecordIsRefused) {
    EXPECT_EQ(Serve(Record(1, Record(1)) + "JUNKJUNK").result, assistant::kUnknownPipeCmd);
    EXPECT_EQ(Serve(Record(1, Record(1)) + "J").result, assistant::kUnknownPipeCmd);
    ExpectNothingChanged();
}

TEST_F(AssistantHostileTest, CodesThatRunNothingAreAnsweredWith13) {
    for (int code : {0, 6, 9, 10, -1}) {
        Outcome outcome = Serve(Record(code, Record(code)));
        EXPECT_EQ(outcome.command, static_cast<plat::WPARAM>(static_cast<std::int64_t>(code)))
            << code;
        EXPECT_EQ(outcome.result, assistant::kUnknownPipeCmd) << code;
    }
    // A block that names another command than the code before it.
    EXPECT_EQ(Serve(Record(1, Record(4))).result, assistant::kUnknownPipeCmd);
    ExpectNothingChanged();
}

TEST_F(AssistantHostileTest, AShortRecordIsAFailedRead) {
    Outcome outcome = Serve(assistant::EncodeCode(1) + Block(Record(1)).substr(0, 1000), true);
    EXPECT_EQ(outcome.result, assistant::kCntReadPipe);
    outcome = Serve("\x01\x00", true);
    EXPECT_EQ(outcome.result, assistant::kCntReadPipe);
    ExpectNothingChanged();
}

// The assistant is root; a pipe of another user must not give it commands.
TEST_F(AssistantHostileTest, APipeServedByAnotherUserIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to serve a pipe as another user";
    std::string pipeFolder = RuntimeFolder() + "launcher/pipe";
    fs::create_directories(pipeFolder);
    std::string socket =
        pipeFolder + "/" +
        plat::posix::EncodeName(plat::WideToUtf8(L"launcher_LauncherAssistant.exe"), 64);
    plat::Process foreign;
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(
        ChildPath(),
        plat::JoinArguments({L"foreign-pipe", plat::Utf8ToWide(socket), L"65534", Path(L"ready")}));
    ASSERT_TRUE(foreign.Start(info));
    windowtest::Watchdog watchdog(window_);
    for (int i = 0; i < 3000 && !Exists(L"ready"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(Exists(L"ready"));
    handled_ = handler_.All().size();
    StartAssistant();
    ASSERT_TRUE(windowtest::PumpUntil(
        [&] { return Seen(assistant::eWindowsMessage_LauncherAssistantInitResult); }));
    windowtest::Received init = Last(assistant::eWindowsMessage_LauncherAssistantInitResult);
    EXPECT_EQ(init.lParam, assistant::kCntOpenPipe);
    EXPECT_EQ(init.wParam, plat::kErrAccessDenied);
    EXPECT_TRUE(process_.Wait(windowtest::kWatchdogMs));
    foreign.Terminate(0);
    foreign.Wait(-1);
    ::unlink(socket.c_str());
    EXPECT_FALSE(Seen(assistant::eWindowsMessage_LauncherAssistantWorkResult));
}

} // namespace
