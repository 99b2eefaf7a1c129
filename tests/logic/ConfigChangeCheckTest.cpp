#include "logic/ConfigChangeCheck.h"

#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <optional>

using namespace logic;
using testsupport::ReadTestFile;

TEST(ConfigChange, OnlyTheExactFingerprintKeepsTheSavedUpdateData) {
    const std::string crcBytes = "\x78\x56\x34\x12"; // 0x12345678, little-endian
    testsupport::TempDir dir;
    const std::wstring cif = dir.File(L"CIF.dat"), cud = dir.File(L"CUD.dat");
    const std::optional<std::string> stored[] = {crcBytes, std::nullopt, "\x78\x56\x34\x13",
                                                 crcBytes + '\0', crcBytes.substr(0, 3)};
    for (const std::optional<std::string>& fingerprint : stored) {
        SCOPED_TRACE(fingerprint ? fingerprint->size() : 0);
        plat::DeleteFile(cif);
        if (fingerprint)
            testsupport::WriteTestFile(cif, *fingerprint);
        testsupport::WriteTestFile(cud, "saved");
        const bool same = fingerprint == crcBytes;
        EXPECT_EQ(CheckConfigurationChange(dir.Path(), 0x12345678), !same);
        EXPECT_EQ(ReadTestFile(cif), crcBytes);
        EXPECT_EQ(plat::FileExists(cud), same);
    }
    EXPECT_EQ(ClientUpdateDataPath(L"") + L" " + ConfigFingerprintPath(L""), L"CUD.dat CIF.dat");
}
