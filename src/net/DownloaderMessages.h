#pragma once
// The two window messages the downloader posts to the launcher window. They
// are defined here, by the layer that posts them; the launcher's message
// table (logic/LauncherMessages.h) takes its names for them from here.

#include "base/OwnedMessage.h"
#include "platform/Window.h"

#include <cstdint>

namespace NetEx {

class CRequestHttx;

enum DownloaderMessage : std::uint32_t {
    // wParam 0, lParam: bytes received since the request's previous report.
    kMsgDownloadProgress = plat::WM_USER + 1690,
    // wParam 0, lParam: the completed CRequestHttx, owned by the receiver
    // (DownloadCompletedMessage). wParam kRefusedRequest, lParam: the kind
    // of a request the transport could not start (no request object then).
    // wParam kRefusedRequestNoContext: the same, because the context it was
    // sent to does not exist. wParam kContextFailed, lParam: the id of a
    // context the transport could not make.
    kMsgDownloadCompleted = plat::WM_USER + 1691,
};

using DownloadCompletedMessage = base::OwnedMessage<kMsgDownloadCompleted, CRequestHttx>;

constexpr plat::WPARAM kRefusedRequest = 1;
constexpr plat::WPARAM kRefusedRequestNoContext = 2;
constexpr plat::WPARAM kContextFailed = 3;

} // namespace NetEx
