// The layering of src/, checked on the sources: every folder includes only
// headers of its own folder and of the folders to its left in
//   platform <- base <- log <- config <- net <- assistant <- update <- publish
//   <- skin <- logic <- app,
// the publisher's folder is included by nobody else (the tools use it), and
// operating-system headers stay inside platform/.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 11> kOrder = {"platform", "base",      "log",    "config",
                                                "net",      "assistant", "update", "publish",
                                                "skin",     "logic",     "app"};

int Rank(const std::string& folder) {
    auto it = std::find(kOrder.begin(), kOrder.end(), folder);
    return it == kOrder.end() ? -1 : static_cast<int>(it - kOrder.begin());
}

bool IsSource(const fs::path& path) {
    const std::string extension = path.extension().string();
    return extension == ".h" || extension == ".cpp" || extension == ".inc";
}

// The headers only the platform layer may include.
bool IsSystemHeader(const std::string& header) {
    static const std::regex kSystem(
        R"(^(unistd|fcntl|poll|pwd|grp|dirent|dlfcn|pthread|termios|windows|winsock2?)\.h$|^(sys|X11|netinet|arpa|linux)/)");
    return std::regex_search(header, kSystem);
}

// Every breach of the rules under `root` (a src/ folder), one line each:
// "file:line: what".
std::vector<std::string> LayeringViolations(const fs::path& root) {
    static const std::regex kInclude(R"(^\s*#\s*include\s*([<"])([^">]+)[">])");
    std::vector<std::string> violations;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || !IsSource(entry.path()))
            continue;
        const fs::path relative = fs::relative(entry.path(), root);
        const std::string folder = relative.begin()->string();
        const int rank = Rank(folder);
        const std::string where = relative.generic_string();
        if (relative.begin() == std::prev(relative.end())) {
            violations.push_back(where + ": a source outside every layer's folder");
            continue;
        }
        if (rank < 0) {
            violations.push_back(where + ": folder \"" + folder + "\" is not in the layer order");
            continue;
        }
        std::ifstream in(entry.path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            std::smatch match;
            if (!std::regex_search(line, match, kInclude))
                continue;
            const std::string header = match[2];
            const std::string at = where + ":" + std::to_string(number) + ": ";
            if (match[1] == "<") {
                if (folder != "platform" && IsSystemHeader(header))
                    violations.push_back(at + "system header <" + header + "> outside platform/");
                continue;
            }
            const std::size_t slash = header.find('/');
            if (slash == std::string::npos)
                continue; // a header beside this one
            const std::string target = header.substr(0, slash);
            const int targetRank = Rank(target);
            if (targetRank < 0)
                continue; // not a folder of src/ (a tool's or a test's)
            if (targetRank > rank)
                violations.push_back(at + folder + " includes \"" + header + "\" to its right");
            else if (target == "publish" && folder != "publish")
                violations.push_back(at + folder + " includes the publisher's \"" + header + "\"");
        }
    }
    std::sort(violations.begin(), violations.end());
    return violations;
}

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

TEST(LayeringTest, TheRulesCatchWhatBreaksThem) {
    testsupport::TempDir dir;
    const fs::path src = fs::path(dir.NarrowPath()) / "src";
    // Allowed: own folder, folders to the left, a header beside, a tool's.
    Write(src / "logic/Fine.cpp", "#include \"logic/Fine.h\"\n#include \"net/Downloader.h\"\n"
                                  "#include \"platform/Window.h\"\n#include \"Beside.h\"\n"
                                  "#include \"rarpack/RarStoreWriter.h\"\n#include <string>\n");
    Write(src / "platform/posix/Os.cpp", "#include <unistd.h>\n#include <sys/stat.h>\n");
    Write(src / "publish/Own.cpp", "#include \"publish/Publisher.h\"\n#include \"update/Zip.h\"\n");
    // Breaches.
    Write(src / "base/Up.h", "#pragma once\n  #  include \"logic/Logic.h\"\n");
    Write(src / "platform/Up.cpp", "#include \"base/Strings.h\"\n");
    Write(src / "net/Up.cpp", "// text\n#include \"assistant/LauncherFiles.h\"\n");
    Write(src / "app/UsesPublisher.cpp", "#include \"publish/Publisher.h\"\n");
    Write(src / "config/Os.cpp", "#include <fcntl.h>\n#include <X11/Xlib.h>\n");
    Write(src / "gui/New.cpp", "#include \"base/Buffer.h\"\n");
    Write(src / "Loose.cpp", "\n");

    EXPECT_EQ(LayeringViolations(src),
              (std::vector<std::string>{
                  "Loose.cpp: a source outside every layer's folder",
                  "app/UsesPublisher.cpp:1: app includes the publisher's \"publish/Publisher.h\"",
                  "base/Up.h:2: base includes \"logic/Logic.h\" to its right",
                  "config/Os.cpp:1: system header <fcntl.h> outside platform/",
                  "config/Os.cpp:2: system header <X11/Xlib.h> outside platform/",
                  "gui/New.cpp: folder \"gui\" is not in the layer order",
                  "net/Up.cpp:2: net includes \"assistant/LauncherFiles.h\" to its right",
                  "platform/Up.cpp:1: platform includes \"base/Strings.h\" to its right",
              }));
}

TEST(LayeringTest, SourcesFollowTheLayerOrder) {
    const std::vector<std::string> violations = LayeringViolations(LAUNCHER_SOURCE_DIR);
    std::string listed;
    for (const std::string& violation : violations)
        listed += violation + "\n";
    EXPECT_TRUE(violations.empty()) << listed;
    // The walk did see the tree: every layer's folder holds sources.
    for (const char* folder : kOrder)
        EXPECT_TRUE(fs::is_directory(fs::path(LAUNCHER_SOURCE_DIR) / folder)) << folder;
}

} // namespace
