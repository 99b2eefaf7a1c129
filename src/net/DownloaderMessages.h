#pragma once
// The two window messages the downloader posts to the launcher window. The
// launcher's own message table (logic/LauncherMessages.h) lists the same
// numbers under the same names; the network layer sits below the launcher
// logic and cannot include that table, so the values are repeated here and
// must stay equal to it.

#include "platform/Window.h"

#include <cstdint>

namespace NetEx {

enum DownloaderMessage : std::uint32_t {
    // wParam 0, lParam: bytes received since the request's previous report.
    kMsgDownloadProgress = plat::WM_USER + 1690,
    // wParam 0, lParam: the completed CRequestHttx, owned by the receiver.
    // wParam kRefusedRequest, lParam: the kind of a request the transport
    // could not start (there is no request object then).
    kMsgDownloadCompleted = plat::WM_USER + 1691,
};

constexpr plat::WPARAM kRefusedRequest = 1;

} // namespace NetEx
