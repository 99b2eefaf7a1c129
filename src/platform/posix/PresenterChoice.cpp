// The presenter of a run: the display named by DISPLAY when it answers,
// otherwise the headless presenter.

#include "platform/HeadlessPresenter.h"
#include "platform/Presenter.h"

namespace plat {

std::unique_ptr<IPresenter> CreatePresenter(std::wstring* why) {
    std::wstring reason;
    if (auto x11 = CreateX11Presenter(nullptr, &reason)) {
        if (why)
            *why = reason;
        return x11;
    }
    auto headless = std::make_unique<HeadlessPresenter>();
    headless->SetReason(reason);
    if (why)
        *why = reason;
    return headless;
}

} // namespace plat
