#include "support/TempDir.h"

#include "platform/Unicode.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "launcher-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = plat::Utf8ToWide(pattern) + L"/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(NarrowPath(), ec);
}

std::string TempDir::NarrowPath() const { return plat::WideToUtf8(path_); }

void WriteTestFile(const std::wstring& path, const std::string& contents) {
    std::filesystem::path p(plat::WideToUtf8(path));
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string ReadTestFile(const std::wstring& path) {
    std::ifstream in(plat::WideToUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace testsupport
