#include "platform/OsVersion.h"

#include <gtest/gtest.h>

using namespace plat;

namespace {

OsVersionRecord Nt(std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                   std::uint8_t product = kProductWorkstation) {
    OsVersionRecord r;
    r.platformId = kPlatformWin32Nt;
    r.major = major;
    r.minor = minor;
    r.build = build;
    r.productType = product;
    return r;
}

std::wstring Describe(const OsVersionRecord& r, bool* is64 = nullptr) {
    bool ignored = false;
    return DescribeWindowsVersion(r, is64 ? is64 : &ignored);
}

TEST(OsDescription, OldOrNonNtSystemsAreUnknown) {
    EXPECT_EQ(Describe(Nt(4, 0, 1381)), L"Unknown operating system");
    OsVersionRecord r = Nt(10, 0, 19045);
    r.platformId = 1;
    EXPECT_EQ(Describe(r), L"Unknown operating system");
}

TEST(OsDescription, WindowsTenAndElevenByBuild) {
    OsVersionRecord r = Nt(10, 0, 19045);
    r.nativeArchitecture = kArchAmd64;
    r.hasProductInfo = true;
    r.productInfo = 48;
    bool is64 = false;
    EXPECT_EQ(Describe(r, &is64), L"Microsoft Windows 10 Professional (Build 19045), 64-bit");
    EXPECT_TRUE(is64);

    r.build = 21996;
    r.productInfo = 101;
    EXPECT_EQ(Describe(r), L"Microsoft Windows 11 Home (Build 21996), 64-bit");

    r.nativeArchitecture = kArchX86;
    r.build = 21995;
    r.productInfo = 999; // unknown edition adds nothing
    EXPECT_EQ(Describe(r, &is64), L"Microsoft Windows 10 (Build 21995), 32-bit");
    EXPECT_FALSE(is64);
}

TEST(OsDescription, ServerGenerationsByBuild) {
    OsVersionRecord r = Nt(10, 0, 17676, kProductServer);
    r.nativeArchitecture = kArchAmd64;
    EXPECT_EQ(Describe(r), L"Microsoft Windows Server 2016 (Build 17676), 64-bit");
    r.build = 17677;
    EXPECT_EQ(Describe(r), L"Microsoft Windows Server 2019 Preview (Build 17677), 64-bit");
    r.build = 17678;
    EXPECT_EQ(Describe(r), L"Microsoft Windows Server 2019 (Build 17678), 64-bit");
}

TEST(OsDescription, SixFamilyNamesWithEditionAndServicePack) {
    OsVersionRecord r = Nt(6, 1, 7601);
    r.servicePack = L"Service Pack 1";
    r.hasProductInfo = true;
    r.productInfo = 1;
    EXPECT_EQ(Describe(r), L"Microsoft Windows 7 Ultimate Edition Service Pack 1 (Build 7601), 32-bit");

    r = Nt(6, 0, 6002, kProductDomainController);
    r.hasProductInfo = true;
    r.productInfo = 12;
    r.nativeArchitecture = kArchAmd64;
    EXPECT_EQ(Describe(r),
              L"Microsoft Windows Server 2008 Datacenter Edition (core installation) (Build 6002), 64-bit");

    // Without the product-info function there is no edition.
    r = Nt(6, 3, 9600);
    r.productInfo = 48;
    EXPECT_EQ(Describe(r), L"Microsoft Windows 8.1 (Build 9600), 32-bit");
    EXPECT_EQ(Describe(Nt(6, 4, 9841, kProductServer)),
              L"Microsoft Windows 10 Technical Preview (Build 9841), 32-bit");
}

TEST(OsDescription, FiveFamilyHasNoBitnessSuffix) {
    OsVersionRecord r = Nt(5, 1, 2600);
    r.servicePack = L"Service Pack 3";
    r.suiteMask = kSuitePersonal;
    EXPECT_EQ(Describe(r), L"Microsoft Windows XP Home Edition Service Pack 3 (Build 2600)");

    r = Nt(5, 0, 2195, kProductServer);
    r.suiteMask = kSuiteEnterprise;
    EXPECT_EQ(Describe(r), L"Microsoft Windows 2000 Advanced Server (Build 2195)");
    r.suiteMask = kSuiteDatacenter;
    EXPECT_EQ(Describe(r), L"Microsoft Windows 2000Datacenter Server (Build 2195)");
}

TEST(OsDescription, Server2003EditionsByArchitectureAndSuite) {
    OsVersionRecord r = Nt(5, 2, 3790, kProductServer);
    r.nativeArchitecture = kArchAmd64;
    bool is64 = true;
    EXPECT_EQ(Describe(r, &is64), L"Microsoft Windows Server 2003, Standard Edition (Build 3790)");
    EXPECT_FALSE(is64); // only major versions above 5 report 64-bit

    r.serverR2 = true;
    r.suiteMask = kSuiteDatacenter;
    EXPECT_EQ(Describe(r), L"Microsoft Windows Server 2003 R2, Datacenter Edition (Build 3790)");

    r = Nt(5, 2, 3790, kProductServer);
    r.nativeArchitecture = kArchIa64;
    r.suiteMask = kSuiteEnterprise;
    EXPECT_EQ(Describe(r),
              L"Microsoft Windows Server 2003, Enterprise Edition for Itanium-based Systems (Build 3790)");

    r.nativeArchitecture = kArchX86;
    r.suiteMask = kSuiteBlade;
    EXPECT_EQ(Describe(r), L"Microsoft Windows Server 2003, Web Edition (Build 3790)");
    r.suiteMask = kSuiteComputeServer | kSuiteDatacenter;
    EXPECT_EQ(Describe(r), L"Microsoft Windows Server 2003, Compute Cluster Edition (Build 3790)");
    r.suiteMask = kSuiteStorageServer;
    EXPECT_EQ(Describe(r), L"Microsoft Windows Storage Server 2003 Standard Edition (Build 3790)");

    r = Nt(5, 2, 3790);
    r.nativeArchitecture = kArchAmd64;
    EXPECT_EQ(Describe(r), L"Microsoft Windows XP Professional x64 Edition (Build 3790)");
}

TEST(OsDescription, RunningSystemIsDescribed) {
    OsInfo info = GetOsInfo();
    EXPECT_FALSE(info.description.empty());
    const std::wstring suffix = info.is64Bit ? L", 64-bit" : L", 32-bit";
    ASSERT_GE(info.description.size(), suffix.size());
    EXPECT_EQ(info.description.substr(info.description.size() - suffix.size()), suffix);
    EXPECT_EQ(info.is64Bit, sizeof(void*) == 8 || info.is64Bit);
}

} // namespace
