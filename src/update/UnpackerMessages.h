#pragma once
// The window messages the package unpacker posts to the launcher window and
// the results its finish message carries. Defined here, by the layer that
// posts them; the launcher's message table takes its names for them from
// here.

#include "platform/Window.h"

#include <cstdint>

namespace update {

enum : std::uint32_t {
    // lParam: one of the UnpackResult values below.
    kUnpackThreadFinishedMessage = plat::WM_USER + 1600,
    // lParam: bytes unpacked so far in this run.
    kUnpackProgressMessage = plat::WM_USER + 1603,
};

enum UnpackResult : plat::LPARAM {
    kUnpackDone = 0,          // every task finished
    kUnpackPackageFailed = 1, // a package was unreadable or failed to unpack
    kUnpackFileFailed = 2,    // a file could not be created or written
};

} // namespace update
