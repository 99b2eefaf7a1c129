#pragma once
// The message the file checker posts to the launcher window and the status
// it carries in lParam. Defined here, by the layer that posts it; the
// launcher's message table names it eWindowsMessage_CheckThreadFinished
// (WM_USER + 1601, 0xA41).

#include "platform/Window.h"

#include <cstdint>

namespace update {

inline constexpr std::uint32_t kCheckThreadFinishedMessage = plat::WM_USER + 1601;

// lParam of kCheckThreadFinishedMessage. wParam is 1 when the checker's
// parsed fresh manifest is ready to be read (NewManifest(), valid until its
// next initialisation), 0 with kCheckFailed.
enum CheckStatus : int {
    kCheckOk = 0,              // queue and can-run flag are ready
    kCheckLauncherOnly = 1,    // a new launcher is available; nothing was queued
    kCheckServerInfoReady = 2, // both manifests read; waiting to be released
    kCheckFailed = 3,          // the fresh manifest could not be read
};

} // namespace update
