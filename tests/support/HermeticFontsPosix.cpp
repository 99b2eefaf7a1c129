#include "support/HermeticFonts.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace testsupport {

bool UseHermeticFonts() {
    static const bool ready = [] {
        if (!std::filesystem::exists(std::string(kLiberationFolder) +
                                     "/LiberationSans-Regular.ttf"))
            return false;
        char pattern[] = "/tmp/launcher-fonts-XXXXXX";
        const char* folder = ::mkdtemp(pattern);
        if (!folder)
            return false;
        static const std::string made = folder;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);
        });
        const std::string conf = std::string(folder) + "/fonts.conf";
        std::ofstream out(conf);
        out << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
            << "<fontconfig>\n  <dir>" << kLiberationFolder << "</dir>\n"
            << "  <cachedir>" << folder << "/cache</cachedir>\n</fontconfig>\n";
        out.close();
        ::setenv("FONTCONFIG_FILE", conf.c_str(), 1);
        return static_cast<bool>(out);
    }();
    return ready;
}

} // namespace testsupport
