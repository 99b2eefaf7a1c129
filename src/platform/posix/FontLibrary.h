#pragma once
// The process's FreeType library, its privately registered font files and
// the mapping of Windows face names onto installed fonts through
// fontconfig. Private to the POSIX backend; every member is guarded by the
// library's lock.

#include "platform/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <mutex>
#include <string>
#include <vector>

namespace plat::posix {

// Where a font description led: a face of a file, and what must be
// synthesised because the face lacks it.
struct ResolvedFace {
    std::string path;
    int index = 0;
    std::string family;
    bool emboldened = false;
    bool slanted = false;
};

class FontLibrary {
public:
    // The process's library; it lives until the process ends. Null when
    // FreeType cannot start.
    static FontLibrary* Instance();

    std::mutex& Lock() { return mutex_; }
    FT_Library Library() const { return library_; }

    // Under the lock. False when not even a fallback font is installed.
    bool Resolve(const LogFont& description, ResolvedFace* face);
    int AddPrivate(const std::string& path);
    bool RemovePrivate(const std::string& path);

private:
    struct PrivateFace {
        std::string path;
        int index;
        std::string familyLower;
        std::string family;
        int weight;
        bool italic;
    };

    FontLibrary() = default;
    bool ResolvePrivate(const std::string& name, int weight, bool italic, ResolvedFace* face) const;
    bool ResolveInstalled(const std::string& family, int weight, bool italic, bool exactFamily,
                          ResolvedFace* face);

    std::mutex mutex_;
    FT_Library library_ = nullptr;
    bool fontconfigReady_ = false;
    std::vector<PrivateFace> private_;
};

// Lower-cases ASCII letters (face names compare as on Windows).
std::string AsciiLower(std::string text);

} // namespace plat::posix
