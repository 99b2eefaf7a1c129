#pragma once
// The message the file checker posts to the launcher window and the status
// it carries in lParam. The update layer sits below the launcher logic, so
// the number is defined here again; it must stay equal to
// eWindowsMessage_CheckThreadFinished of logic/LauncherMessages.h
// (WM_USER + 1601, 0xA41).

#include "platform/Window.h"

#include <cstdint>

namespace update {

inline constexpr std::uint32_t kCheckThreadFinishedMessage = plat::WM_USER + 1601;

// lParam of kCheckThreadFinishedMessage. wParam is the checker's parsed
// fresh manifest (a CManifestDocument*, owned by the checker and valid until
// its next initialisation), or 0 with kCheckFailed.
enum CheckStatus : int {
    kCheckOk = 0,              // queue and can-run flag are ready
    kCheckLauncherOnly = 1,    // a new launcher is available; nothing was queued
    kCheckServerInfoReady = 2, // both manifests read; waiting to be released
    kCheckFailed = 3,          // the fresh manifest could not be read
};

} // namespace update
