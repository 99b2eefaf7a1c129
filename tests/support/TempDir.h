#pragma once
// A fresh folder for one test, removed with everything in it at the end.

#include "support/NativePath.h"

#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Native path with a trailing separator.
    const std::wstring& Path() const { return path_; }
    std::string NarrowPath() const;
    // Path() + name, with the name's "/" made native.
    std::wstring File(const std::wstring& name) const { return path_ + Native(name); }

private:
    std::wstring path_;
};

// Writes a file with the given bytes, creating missing folders.
void WriteTestFile(const std::wstring& path, const std::string& contents);
// Reads a whole file; empty when it cannot be read.
std::string ReadTestFile(const std::wstring& path);

} // namespace testsupport
