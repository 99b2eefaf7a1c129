#include "support/HermeticFonts.h"

#include "platform/Font.h"
#include "platform/Unicode.h"

#include <filesystem>

namespace testsupport {

// Under Wine the host's file system is drive Z:, so the pinned fonts of the
// Linux machine the tests run on are registered privately for this process.
// On a Windows machine without them nothing is registered.
bool UseHermeticFonts() {
    static const bool ready = [] {
        bool registered = false;
        for (const char* folder : {kLiberationFolder, kDejaVuFolder}) {
            std::wstring path = L"Z:" + plat::Utf8ToWide(folder);
            for (wchar_t& c : path)
                if (c == L'/')
                    c = L'\\';
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator(path, ec))
                if (entry.path().extension() == L".ttf")
                    registered = plat::AddPrivateFont(entry.path().wstring()) > 0 || registered;
        }
        return registered;
    }();
    return ready;
}

} // namespace testsupport
