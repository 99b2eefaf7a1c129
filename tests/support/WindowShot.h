#pragma once
// Screenshots of a window on the headless presenter: the window inside its
// shape over the desktop, with a margin of 16 pixels, saved as PNG (folders
// made as needed). Test thread only.

#include "platform/HeadlessPresenter.h"

#include <string>

namespace testsupport {

bool SaveWindowShot(plat::HeadlessPresenter& presenter, plat::HWND window, const std::string& path);

} // namespace testsupport
