// The presenter of a run: the desktop's windows when this process has a
// desktop a person sees, otherwise the headless presenter.
// LAUNCHER_PRESENTER=headless forces the headless one (tests, unattended
// runs); LAUNCHER_PRESENTER=win32 insists on the desktop.

#include "platform/HeadlessPresenter.h"
#include "platform/Presenter.h"
#include "platform/win32/Win32Presenter.h"

#include <cstdlib>
#include <cstring>

namespace plat {

std::unique_ptr<IPresenter> CreatePresenter(std::wstring* why) {
    std::wstring reason;
    const char* wish = std::getenv("LAUNCHER_PRESENTER");
    const bool forceHeadless = wish && std::strcmp(wish, "headless") == 0;
    const bool forceDesktop = wish && std::strcmp(wish, "win32") == 0;
    if (forceHeadless) {
        reason = L"LAUNCHER_PRESENTER=headless";
    } else if (win::DesktopUsable(&reason) || forceDesktop) {
        if (forceDesktop)
            reason = L"LAUNCHER_PRESENTER=win32";
        if (why)
            *why = reason;
        return std::make_unique<win::Win32Presenter>(L"win32 " + reason);
    }
    auto headless = std::make_unique<HeadlessPresenter>();
    headless->SetReason(reason);
    if (why)
        *why = reason;
    return headless;
}

std::unique_ptr<IPresenter> CreateX11Presenter(const char* display, std::wstring* why) {
    (void)display;
    if (why)
        *why = L"no X11 display on Windows";
    return nullptr;
}

} // namespace plat
