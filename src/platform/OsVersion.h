#pragma once
// The operating-system record and its readable description, as written to the
// launcher log's "OS:" line.

#include <cstdint>
#include <string>

namespace plat {

enum : std::uint32_t { kPlatformWin32Nt = 2 };
enum : std::uint8_t { kProductWorkstation = 1, kProductDomainController = 2, kProductServer = 3 };
enum : std::uint16_t { kArchX86 = 0, kArchIa64 = 6, kArchAmd64 = 9 };
enum : std::uint16_t {
    kSuiteEnterprise = 0x0002,
    kSuiteDatacenter = 0x0080,
    kSuitePersonal = 0x0200,
    kSuiteBlade = 0x0400,
    kSuiteStorageServer = 0x2000,
    kSuiteComputeServer = 0x4000,
    kSuiteHomeServer = 0x8000,
};

// The version block of the running system.
struct OsVersionRecord {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint32_t platformId = 0;
    std::wstring servicePack;
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 0;
    std::uint16_t nativeArchitecture = kArchX86;
    bool serverR2 = false;       // the system reports Windows Server 2003 R2
    bool hasProductInfo = false; // GetProductInfo was available
    std::uint32_t productInfo = 0;
};

struct OsInfo {
    OsVersionRecord record;
    bool is64Bit = false;
    std::wstring description;
};

// The Windows description algorithm over a version record; sets *is64Bit for
// major versions above 5 on x64.
std::wstring DescribeWindowsVersion(const OsVersionRecord& record, bool* is64Bit);

// The running system, described truthfully.
OsInfo GetOsInfo();

} // namespace plat
