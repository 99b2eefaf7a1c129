#include "support/TempDir.h"

#include "platform/Unicode.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace testsupport {

#ifdef _WIN32
// No mkdtemp here: a random name, created only when it does not exist yet.
TempDir::TempDir() {
    std::random_device random;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate =
            base / (L"launcher-test-" + std::to_wstring(random() % 100000000u));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate.wstring() + L"\\";
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(path_), ec);
}
#else
TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "launcher-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = plat::Utf8ToWide(pattern) + L"/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(NarrowPath(), ec);
}
#endif

std::string TempDir::NarrowPath() const {
    return plat::WideToUtf8(path_);
}

void WriteTestFile(const std::wstring& path, const std::string& contents) {
    std::filesystem::path p = FsPath(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string ReadTestFile(const std::wstring& path) {
    // In blocks: the end-to-end tests compare launchers of a hundred
    // megabytes, which a character at a time takes seconds to read in the
    // sanitizer builds.
    std::ifstream in(FsPath(path), std::ios::binary);
    std::string contents;
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        contents.append(block, static_cast<std::size_t>(in.gcount()));
    return contents;
}

} // namespace testsupport
