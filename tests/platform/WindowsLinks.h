#pragma once
// Making links (reparse points) for the Windows tests: symbolic links to
// files and folders. Used on the test's thread.

#include <string>

namespace platformtest {

// A symbolic link at `link` naming `target`; false when this system or
// account may not make links (the test is then skipped).
bool MakeWindowsLink(const std::wstring& target, const std::wstring& link, bool folder);

} // namespace platformtest
