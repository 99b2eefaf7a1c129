#pragma once
// What the launcher's init learnt about this run: the command line, the
// product's configuration keys and the run-mode decision, as plain values.
// The launcher object fills it during init on the main thread; the flows
// (the update cycle, the wizard) only read it on the window thread, which is
// the same thread.

#include "base/RunCommand.h"
#include "config/ConfigDocument.h"
#include "config/Ed25519.h"
#include "platform/Window.h"

#include <cstdint>
#include <string>
#include <vector>

namespace logic {

struct LaunchSettings {
    // Command line.
    std::wstring argumentText;
    std::wstring uninstallPath;
    int runCommand = rcNone;
    bool restart = false;
    bool fast = false;
    bool runByClient = false;
    bool runByClientCritical = false;
    bool autoMode = false;
    plat::HWND clientWindow = 0; // the client a "/download" run reports to

    // Configuration.
    std::string shortName, fullName, iconName;
    std::wstring fullNameW;
    std::string clientProcess, clientCommand;
    std::wstring clientWindowClass;
    std::string licensePath = "/client/license";
    std::string manifestName = "update.xml";
    std::string manifestRName = "update.rxml";
    std::vector<config::Migration> migrations;
    bool skipIconsPage = false;
    bool silentDownload = true;
    bool progressFromZero = false;
    bool iconDesktop = true;
    bool iconPrograms = true;
    bool iconProgramsFolder = false;
    bool backNextArrowsInText = true;
    bool pageNumeration = true;
    bool singlePageMode = false;
    std::string updateUrl;
    std::string userAgentHeader;
    // The network: certificate checks waivable (a test server only), the
    // slow-transfer floor and the documents' size bound.
    bool acceptInvalidCertificates = false;
    std::uint32_t slowFloorBytesPerSecond = 1024;
    std::uint32_t slowWindowSeconds = 60;
    std::uint32_t documentLimit = 16u << 20;
    // Signed releases: a key was configured (valid or not); a configured key
    // that is not one accepts no manifest.
    bool signedReleases = false;
    bool releaseKeyValid = false;
    config::Ed25519PublicKey releaseKey{};

    // The run.
    int runMode = rmUnknown;
    bool needNetwork = false;
    bool portable = false;
    // "/skiptest": a move failed; this run tries none.
    bool skipMoves = false;
    bool debugMode = false;
    int bitness = 1;
    int formSize = 0;
    std::wstring workFolder;
    bool ucrtPresent = true;
    std::string kbUrl;
    // The launcher runs hidden as a silent downloader.
    bool silentMode = false;
    // What the start-up search for other launchers decided (SilentDownload.h:
    // 0 sdmRun, 1 sdmFull, 2 sdmExit).
    int silentDownloadMode = 1;
    // "multiRun/@value": several launchers and clients may run side by side.
    bool multiRun = false;

    // A run started by the client, without the critical switch.
    bool ForClient() const { return runByClient && !runByClientCritical; }
};

} // namespace logic
