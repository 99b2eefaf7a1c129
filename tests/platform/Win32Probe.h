#pragma once
// What the Windows presenter tests ask of the system about a surface's
// window, behind plain types: the test sources keep <windows.h> (whose
// macros would meet the platform's constants) out.

#include "platform/Presenter.h"

#include <cstdint>
#include <memory>
#include <string>

namespace win32probe {

std::unique_ptr<plat::IPresenter> MakeWin32Presenter();
bool DesktopUsable(std::wstring* why);
std::wstring SurfaceClass();

bool IsSystemWindow(const plat::ISurface& surface);
bool IsSystemWindowVisible(const plat::ISurface& surface);
plat::Rect SystemWindowRect(const plat::ISurface& surface);
std::wstring SystemWindowTitle(const plat::ISurface& surface);
// Sends a system message to the surface's window, as the system would.
std::int64_t SendSystem(const plat::ISurface& surface, std::uint32_t message, std::uint64_t wParam,
                        std::int64_t lParam);
// The system's copy of the window region: its box, and whether points are in.
bool RegionBox(const plat::ISurface& surface, plat::Rect* box);
bool RegionContains(const plat::ISurface& surface, int x, int y);
// The width of the big icon the window has (0 for none).
int BigIconWidth(const plat::ISurface& surface);
bool IsTopmost(const plat::ISurface& surface);
bool IsToolWindow(const plat::ISurface& surface);
bool HasSystemCapture(const plat::ISurface& surface);
// The system asks the window to paint everything again, now.
void RedrawNow(const plat::ISurface& surface);
// What the window shows, printed by the window itself.
bool ReadBack(const plat::ISurface& surface, plat::Bitmap* shown);

} // namespace win32probe
