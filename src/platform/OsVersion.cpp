#include "platform/OsVersion.h"

#include <string>

namespace plat {

namespace {

bool Has(std::uint16_t mask, std::uint16_t suite) { return (mask & suite) != 0; }

const wchar_t* EditionOfProductInfo(std::uint32_t type) {
    switch (type) {
    case 1: return L" Ultimate Edition";
    case 2: return L" Home Basic Edition";
    case 3: return L" Home Premium Edition";
    case 4: return L" Enterprise Edition";
    case 6: return L" Business Edition";
    case 7: return L" Standard Edition";
    case 8: return L" Datacenter Edition";
    case 9: return L" Small Business Server";
    case 10: return L" Enterprise Edition";
    case 11: return L" Starter Edition";
    case 12: return L" Datacenter Edition (core installation)";
    case 13: return L" Standard Edition (core installation)";
    case 14: return L" Enterprise Edition (core installation)";
    case 15: return L" Enterprise Edition for Itanium-based Systems";
    case 17: return L" Web Server Edition";
    case 18: return L" Cluster Server Edition";
    case 25: return L" Small Business Server Premium Edition";
    case 48: return L" Professional";
    case 72: return L" Enterprise Evaluation";
    case 84: return L" Enterprise N Evaluation";
    case 98: return L" Home N";
    case 99: return L" Home China";
    case 100: return L" Home Single Language";
    case 101: return L" Home";
    case 121: return L" Education";
    case 122: return L" Education N";
    case 123: return L" IoT Core";
    case 125: return L" Enterprise 2015 LTSB";
    case 126: return L" Enterprise 2015 LTSB N";
    case 129: return L" Enterprise 2015 LTSB Evaluation";
    case 130: return L" Enterprise 2015 LTSB N Evaluation";
    default: return L"";
    }
}

// Product name and edition of the Windows 2000 / XP / Server 2003 family.
std::wstring Describe5x(const OsVersionRecord& r) {
    bool workstation = r.productType == kProductWorkstation;
    std::uint16_t suite = r.suiteMask;
    if (r.minor == 0) {
        if (workstation)
            return L"Windows 2000 Professional";
        if (Has(suite, kSuiteDatacenter))
            return L"Windows 2000Datacenter Server";
        if (Has(suite, kSuiteEnterprise))
            return L"Windows 2000 Advanced Server";
        return L"Windows 2000 Server";
    }
    if (r.minor == 1)
        return Has(suite, kSuitePersonal) ? L"Windows XP Home Edition" : L"Windows XP Professional";
    if (r.minor != 2)
        return L"";
    if (workstation && r.nativeArchitecture == kArchAmd64)
        return L"Windows XP Professional x64 Edition";
    std::wstring name;
    if (r.serverR2)
        name = L"Windows Server 2003 R2,";
    else if (Has(suite, kSuiteStorageServer))
        name = L"Windows Storage Server 2003";
    else if (Has(suite, kSuiteHomeServer))
        name = L"Windows Home Server";
    else
        name = L"Windows Server 2003,";
    if (workstation)
        return name;
    if (r.nativeArchitecture == kArchIa64) {
        if (Has(suite, kSuiteDatacenter))
            name += L" Datacenter Edition for Itanium-based Systems";
        else if (Has(suite, kSuiteEnterprise))
            name += L" Enterprise Edition for Itanium-based Systems";
    } else if (r.nativeArchitecture == kArchAmd64) {
        if (Has(suite, kSuiteDatacenter))
            name += L" Datacenter Edition";
        else if (Has(suite, kSuiteEnterprise))
            name += L" Enterprise Edition";
        else
            name += L" Standard Edition";
    } else {
        if (Has(suite, kSuiteComputeServer))
            name += L" Compute Cluster Edition";
        else if (Has(suite, kSuiteDatacenter))
            name += L" Datacenter Edition";
        else if (Has(suite, kSuiteEnterprise))
            name += L" Enterprise Edition";
        else if (Has(suite, kSuiteBlade))
            name += L" Web Edition";
        else
            name += L" Standard Edition";
    }
    return name;
}

// Product name of Vista and later; the edition comes from the product info.
std::wstring ProductName6x(const OsVersionRecord& r) {
    bool workstation = r.productType == kProductWorkstation;
    if (r.major == 10) {
        if (r.minor != 0)
            return L"";
        if (workstation)
            return r.build >= 21996 ? L"Windows 11" : L"Windows 10";
        if (r.build < 17677)
            return L"Windows Server 2016";
        return r.build == 17677 ? L"Windows Server 2019 Preview" : L"Windows Server 2019";
    }
    switch (r.minor) {
    case 0: return workstation ? L"Windows Vista" : L"Windows Server 2008";
    case 1: return workstation ? L"Windows 7" : L"Windows Server 2008 R2";
    case 2: return workstation ? L"Windows 8" : L"Windows Server 2012";
    case 3: return workstation ? L"Windows 8.1" : L"Windows Server 2012 R2";
    case 4: return L"Windows 10 Technical Preview";
    default: return L"";
    }
}

} // namespace

std::wstring DescribeWindowsVersion(const OsVersionRecord& r, bool* is64Bit) {
    if (is64Bit)
        *is64Bit = false;
    if (r.platformId != kPlatformWin32Nt || r.major < 5)
        return L"Unknown operating system";

    std::wstring text = L"Microsoft ";
    if (r.major == 5) {
        text += Describe5x(r);
    } else if (r.major == 6 || r.major == 10) {
        text += ProductName6x(r);
        if (r.hasProductInfo)
            text += EditionOfProductInfo(r.productInfo);
    }
    if (!r.servicePack.empty())
        text += L" " + r.servicePack;
    text += L" (Build " + std::to_wstring(r.build) + L")";
    if (r.major > 5) {
        if (r.nativeArchitecture == kArchAmd64) {
            text += L", 64-bit";
            if (is64Bit)
                *is64Bit = true;
        } else if (r.nativeArchitecture == kArchX86) {
            text += L", 32-bit";
        }
    }
    return text;
}

} // namespace plat
