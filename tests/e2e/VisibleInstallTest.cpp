// The launcher in a real X11 window on a virtual X server: a person's first
// installation, clicked with xdotool from the licence to the running client
// (agree, the destination, the shortcuts, the launch button), with a
// screenshot of the screen at each page kept in test-artefacts/visible.

#include "E2eSupport.h"
#include "Themes.h"
#include "assistant/ProcessKill.h"
#include "config/MemberSource.h"
#include "platform/FileSystem.h"
#include "platform/HeadlessPresenter.h"
#include "platform/PngFile.h"
#include "platform/Presenter.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Unicode.h"
#include "publish/Publisher.h"
#include "skin/Dialog.h"
#include "skin/SkinElement.h"
#include "support/MemberMap.h"
#include "support/NginxServer.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/TestData.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

namespace {

bool WaitUntil(const std::function<bool()>& done, int ms = 30000) {
    for (int waited = 0; waited < ms && !done(); waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return done();
}

// Where the default theme puts each control: a dialog built from it in
// memory answers with its controls' rectangles.
class ThemeGeometry {
public:
    ThemeGeometry() {
        for (const auto& [name, bytes] : theme_.files)
            members_.members["theme_default\\" + name] = bytes;
        document_.Parse(theme_.files.at("config.xml").c_str());
        dialog_.SetPresenter(std::make_unique<plat::HeadlessPresenter>(plat::Size{1024, 768}));
        dialog_.Theme().SetSource(&members_, "theme_default\\");
        dialog_.Theme().SetLanguagePrefix("en_");
        dialog_.Theme().SetStrings([](int) { return std::wstring(L"Text"); });
        created_ = dialog_.Create(document_.RootElement(), L"geometry");
    }
    ~ThemeGeometry() { dialog_.Destroy(); }
    bool Created() const { return created_; }
    // The centre of a control in the window.
    plat::Point Centre(int id) const {
        skin::ISkinable* control = dialog_.FindControl(id);
        if (!control)
            return {-1, -1};
        const plat::Rect rect = control->GetWindow()->WindowRect();
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }

private:
    const themegen::ThemeFiles theme_ = themegen::DefaultTheme();
    testsupport::MemberMap members_;
    tinyxml2::XMLDocument document_;
    CDialog dialog_;
    bool created_ = false;
};

class VisibleInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::XvfbServer::Installed())
            GTEST_SKIP() << "Xvfb is not installed";
        std::filesystem::create_directory(home.NarrowPath() + "runtime");
        std::filesystem::permissions(home.NarrowPath() + "runtime",
                                     std::filesystem::perms::owner_all);
        server = std::make_unique<testsupport::XvfbServer>(1024, 768);
        ASSERT_TRUE(server->Ready()) << "Xvfb did not start";
        ASSERT_EQ(server->Run("xdotool mousemove 0 0"), 0);
    }
    void TearDown() override {
        std::uint32_t code = 0;
        if (launcher.IsValid() && launcher.GetExitCode(&code) && code == 259)
            launcher.Terminate(1);
        assistant::KillByPath(plat::JoinPath(Installed(), L"DemoGame.exe"));
    }

    std::wstring Installed() const { return programs.File(L"DemoGame"); }
    std::string Log() const {
        std::string text;
        for (const auto& entry : plat::FindFiles(download.File(L"*.log")))
            text += testsupport::ReadTestFile(download.File(entry.name));
        return text;
    }
    bool Logged(const std::string& line) const { return Log().find(line) != std::string::npos; }

    // The launcher window's position on the screen.
    bool WindowOrigin(plat::Point* origin) {
        const std::string file = home.NarrowPath() + "geometry.txt";
        if (server->Run(
                "xdotool search --name 'Demo Game Launcher' getwindowgeometry --shell %1 > " +
                file) != 0)
            return false;
        std::istringstream lines(testsupport::ReadTestFile(plat::Utf8ToWide(file)));
        std::string line;
        bool x = false, y = false;
        while (std::getline(lines, line)) {
            if (line.rfind("X=", 0) == 0)
                x = (origin->x = std::stoi(line.substr(2)), true);
            if (line.rfind("Y=", 0) == 0)
                y = (origin->y = std::stoi(line.substr(2)), true);
        }
        return x && y;
    }
    // Clicks the control of the default theme, as a person would.
    void Click(int id) {
        plat::Point origin;
        ASSERT_TRUE(WindowOrigin(&origin)) << "no launcher window";
        const plat::Point centre = geometry.Centre(id);
        ASSERT_GE(centre.x, 0) << id;
        ASSERT_EQ(server->Run("xdotool mousemove " + std::to_string(origin.x + centre.x) + " " +
                              std::to_string(origin.y + centre.y) + " click 1"),
                  0);
    }
    // The whole screen, as the person sees it.
    void Shot(const std::string& name) {
        // The window repaints once the pointer has settled.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        testsupport::ScopedEnv display("DISPLAY", server->Display());
        std::wstring why;
        std::unique_ptr<plat::IPresenter> screen = plat::CreatePresenter(&why);
        plat::Bitmap picture;
        ASSERT_TRUE(screen->CaptureScreen(&picture)) << plat::WideToUtf8(why);
        const std::string dir = std::string(TEST_ARTEFACT_DIR) + "/visible";
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(plat::SavePng(picture, plat::Utf8ToWide(dir + "/" + name + ".png")));
    }

    testsupport::TempDir home, client, root, download, programs;
    testsupport::NginxServer nginx;
    std::unique_ptr<testsupport::XvfbServer> server;
    plat::Process launcher;
    ThemeGeometry geometry;
    testsupport::ScopedEnv hkcu{"LAUNCHER_REGISTRY_HKCU", home.NarrowPath() + "hkcu"};
    testsupport::ScopedEnv hklm{"LAUNCHER_REGISTRY_HKLM", home.NarrowPath() + "hklm"};
    testsupport::ScopedEnv data{"XDG_DATA_HOME", home.NarrowPath() + "data"};
    testsupport::ScopedEnv desktop{"XDG_DESKTOP_DIR", home.NarrowPath() + "desktop"};
    testsupport::ScopedEnv common{"LAUNCHER_COMMON_DATA_DIR", home.NarrowPath() + "share"};
    testsupport::ScopedEnv temp{"LAUNCHER_TEMP_DIR", home.NarrowPath() + "temp"};
    testsupport::ScopedEnv state{"XDG_STATE_HOME", home.NarrowPath() + "state"};
    testsupport::ScopedEnv output{"FAKE_CLIENT_OUTPUT", home.NarrowPath() + "client.txt"};
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", home.NarrowPath() + "runtime"};
    testsupport::ScopedEnv programFiles{"LAUNCHER_PROGRAM_FILES", programs.NarrowPath()};
    testsupport::ScopedEnv elevation{"LAUNCHER_TEST_ELEVATION", "1"};
    testsupport::ScopedEnv noScript{"LAUNCHER_HEADLESS_ANSWERS", nullptr};
};

TEST_F(VisibleInstallTest, APersonInstallsFromTheLicenceToTheRunningClient) {
    ASSERT_TRUE(geometry.Created());
    // The demo client, published and served with its licence.
    std::filesystem::copy_file(DEMO_CLIENT_PATH, client.NarrowPath() + "DemoGame.exe");
    testsupport::WriteTestFile(client.File(L"Data/pak1.pak"), testsupport::NoiseBytes(300000, 5));
    testsupport::WriteTestFile(root.File(L"release.txt"),
                               "[client]\nversion = 1.0.0\n"
                               "[package base.pkg]\ntype = full\nfiles = DemoGame.exe\n"
                               "[package data.pkg]\ntype = full\nfiles = Data\n");
    publish::PublishOptions options;
    options.descriptionPath = root.File(L"release.txt");
    options.clientFolder = client.Path();
    options.outputFolder = root.File(L"varud-ezivoder");
    publish::CPublisher publisher(options);
    std::string error;
    ASSERT_TRUE(publisher.Run(&error)) << error;
    testsupport::WriteTestFile(
        root.File(L"client/license"),
        "<?xml version=\"1.0\"?><document><LICENSE>&lt;h2&gt;Demo Game terms&lt;/h2&gt;Play "
        "fair, have fun.&lt;ul&gt;&lt;li&gt;Be kind to other players.&lt;/li&gt;&lt;li&gt;Report "
        "the bugs you find.&lt;/li&gt;&lt;/ul&gt;</LICENSE></document>");
    ASSERT_TRUE(nginx.Start(root.NarrowPath()));
    const std::wstring setup = e2e::CopyLauncher(download);
    ASSERT_EQ(e2e::Run(e2e::StubpatchPath(),
                       {setup, L"--set", plat::Utf8ToWide("SERVER_URL=" + nginx.BaseUrl()),
                        L"--set", L"UPDATE_PATH=/varud-ezivoder/"}),
              0u);

    // The launcher opens its window on the display.
    testsupport::ScopedEnv display("DISPLAY", server->Display());
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(setup, L"");
    info.workingFolder = download.Path();
    ASSERT_TRUE(launcher.Start(info));

    // The licence page, once the server's information is in.
    ASSERT_TRUE(WaitUntil([&] { return Logged("Server info ready"); })) << Log();
    ASSERT_TRUE(WaitUntil([&] { return Logged("Presenter: x11"); }, 1000)) << Log();
    Shot("01-licence");
    Click(12348); // I agree
    ASSERT_TRUE(WaitUntil([&] { return Logged("ID_BTN_AGREE"); })) << Log();
    Shot("02-destination");
    Click(12350); // Next
    ASSERT_TRUE(WaitUntil([&] { return Logged("ID_BTN_NEXT\r\n"); })) << Log();
    Shot("03-shortcuts");
    Click(12376); // Next: the installation starts
    ASSERT_TRUE(WaitUntil([&] { return Logged("ID_BTN_NEXT_ICONS"); })) << Log();
    ASSERT_TRUE(WaitUntil([&] { return Logged("Launch step reached"); }, 60000)) << Log();
    Shot("04-ready-to-launch");
    Click(12394); // Launch
    ASSERT_TRUE(WaitUntil([&] { return Logged("ID_BTN_LAUNCH"); })) << Log();
    ASSERT_TRUE(WaitUntil([&] {
        return testsupport::ReadTestFile(home.File(L"client.txt")).find("start-event signalled") !=
               std::string::npos;
    })) << Log();
    EXPECT_TRUE(launcher.Wait(e2e::kWatchdogMs));
    std::uint32_t code = ~0u;
    EXPECT_TRUE(launcher.GetExitCode(&code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(plat::FileExists(plat::JoinPath(Installed(), L"DemoGame.exe")));
    EXPECT_TRUE(plat::FileExists(plat::JoinPath(Installed(), L"Data/pak1.pak")));
}

} // namespace
