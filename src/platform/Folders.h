#pragma once
// Private folders of the launcher: the per-user runtime folder where named
// objects live, and the temporary folder where the launcher copies itself.

#include <string>

namespace plat {

// The per-user runtime folder ($XDG_RUNTIME_DIR/launcher, else a private
// folder under /tmp), created mode 0700 and checked to be a real folder owned
// by the user. Ends with a separator. Empty on failure (last error set).
std::wstring GetRuntimeFolder();

// The launcher's temporary folder: private to the user (mode 0700), owned by
// the user, not a link, on a file system that allows running programs, and
// never the shared /tmp itself. LAUNCHER_TEMP_DIR moves it (tests). Ends with
// a separator. Empty on failure (last error set).
std::wstring GetTempFolder();

// Checks (and when missing creates, mode 0700) a private folder without
// following links: it must be a folder owned by the caller with no access for
// group or others.
bool EnsurePrivateFolder(const std::wstring& path);

} // namespace plat
