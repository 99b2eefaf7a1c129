#pragma once
// The run commands and run modes that the command line selects, and the
// command-line state the entry point hands to the launcher object.

#include <string>

enum RunCommand : int {
    rcNone = 0,
    rcUninstall = 1,
    rcUninstallFrom = 2,
    rcUninstallGuest = 3,
    rcDownload = 4,
    rcCrc = 5,
    rcSetLongName = 6,
};

enum RunMode : int {
    rmUnknown = -1,
    rmInstall = 0,
    rmUpdate = 1,
    rmUninstaller = 2,
    rmDownload = 3,
    rmSetLongName = 4,
};

// What the command line asked for; set once at start, then copied into the
// launcher object.
struct CommandLineState {
    bool assistant = false;
    bool fast = false;
    bool runByClientCritical = false;
    bool runByClient = false;
    bool restart = false;
    bool autoMode = false; // "/auto"
    int rc = rcNone;
    std::wstring argument;   // text argument of the run command
    std::wstring quotedPath; // first double-quoted text, quotes kept
};

// The log's name of a run command: "CLogic::rcUninstall", "CLogic::rcUninstallFrom",
// and "CLogic::rcNone" for every other value.
const char* RunCommandLogName(int rc);
// "rmInstall", "rmUpdate", ... ("rmUnknown" for anything else).
const char* RunModeName(int mode);
