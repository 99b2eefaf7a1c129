#include "logic/ConfigChangeCheck.h"

#include "platform/File.h"
#include "platform/FileSystem.h"

namespace logic {

namespace {

constexpr std::size_t kFingerprintSize = 4;

std::wstring PathIn(const std::wstring& folder, const wchar_t* name) {
    return folder.empty() ? std::wstring(name) : plat::JoinPath(folder, name);
}

std::string EncodeLittleEndian(std::uint32_t value) {
    std::string bytes(kFingerprintSize, '\0');
    for (std::size_t i = 0; i < kFingerprintSize; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

} // namespace

std::wstring ClientUpdateDataPath(const std::wstring& folder) {
    return PathIn(folder, L"CUD.dat");
}

std::wstring ConfigFingerprintPath(const std::wstring& folder) {
    return PathIn(folder, L"CIF.dat");
}

bool CheckConfigurationChange(const std::wstring& folder, std::uint32_t configCrc) {
    const std::wstring fingerprintPath = ConfigFingerprintPath(folder);
    const std::string expected = EncodeLittleEndian(configCrc);
    std::string stored;
    if (plat::ReadWholeFile(fingerprintPath, &stored) && stored == expected)
        return false;

    plat::DeleteFile(fingerprintPath);
    plat::WriteWholeFile(fingerprintPath, expected.data(), expected.size());
    plat::DeleteFile(ClientUpdateDataPath(folder));
    return true;
}

} // namespace logic
