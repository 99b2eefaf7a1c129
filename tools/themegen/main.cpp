// themegen: draws the launcher's two original themes and writes them, each
// as a document and its pictures, into the output folder:
//
//   themegen OUTPUT_FOLDER
//
// gives OUTPUT_FOLDER/theme_default/... and OUTPUT_FOLDER/theme_single/...
// ("\" in member names becomes a folder). Exits 0 when everything was
// written.

#include "Themes.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

bool WriteTheme(const std::filesystem::path& folder, const themegen::ThemeFiles& theme) {
    // A picture the theme no longer has must not stay behind to be packed.
    std::error_code removed;
    std::filesystem::remove_all(folder, removed);
    for (const auto& [name, bytes] : theme.files) {
        std::string relative = name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const std::filesystem::path path = folder / relative;
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        const std::filesystem::path temporary = path.string() + ".tmp";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            if (!out)
                return false;
        }
        std::filesystem::rename(temporary, path, ec);
        if (ec)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: themegen OUTPUT_FOLDER\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    if (!WriteTheme(out / "theme_default", themegen::DefaultTheme()) ||
        !WriteTheme(out / "theme_single", themegen::SingleTheme())) {
        std::fprintf(stderr, "themegen: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
