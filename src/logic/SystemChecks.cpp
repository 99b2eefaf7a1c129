#include "logic/SystemChecks.h"

#include "log/LogImplW.h"

#include <array>

namespace logic {

namespace {

constexpr std::array<const wchar_t*, 4> kUcrtLibraries = {
    L"api-ms-win-crt-runtime-l1-1-0.dll",
    L"api-ms-win-crt-heap-l1-1-0.dll",
    L"api-ms-win-crt-string-l1-1-0.dll",
    L"api-ms-win-core-memory-l1-1-0.dll",
};

// The POSIX stand-in for loading a runtime library: nothing to load.
bool PlatformLibraryProbe(const std::wstring&) {
    return true;
}

// One system version's packages, one address per cell; the 64-bit server
// packages have addresses of their own. The addresses are data of the
// distribution on the vendor's download host: a distribution that ships the
// launcher confirms them before release.
struct KbPackages {
    std::uint32_t major;
    std::uint32_t minor;
    const char* workstation32;
    const char* workstation64;
    const char* server64;
};

constexpr KbPackages kKbPackages[] = {
    {6, 1,
     "https://download.microsoft.com/download/4/F/E/4FE73868-5EDD-4B47-8B33-CE1BB7B2B16A/"
     "Windows6.1-KB2999226-x86.msu",
     "https://download.microsoft.com/download/1/1/5/11565A9A-EA09-4F0A-A57E-520D5D138140/"
     "Windows6.1-KB2999226-x64.msu",
     "https://download.microsoft.com/download/F/1/3/F13BEC9A-8FC6-4489-9D6A-F84BDC9496FE/"
     "Windows6.1-KB2999226-x64.msu"},
    {6, 2,
     "https://download.microsoft.com/download/1/E/8/1E8AFE90-5217-464D-9292-7D0B95A56CE4/"
     "Windows8-RT-KB2999226-x86.msu",
     "https://download.microsoft.com/download/A/C/1/AC15393F-A6E6-469B-B222-C44B3BB6ECCC/"
     "Windows8-RT-KB2999226-x64.msu",
     "https://download.microsoft.com/download/A/1/3/A1340A49-A4A0-4E3B-90A0-A8C2D2D7FEA4/"
     "Windows8-RT-KB2999226-x64.msu"},
    {6, 3,
     "https://download.microsoft.com/download/E/4/6/E4694323-8290-4A08-82DB-81F2EB9452C2/"
     "Windows8.1-KB2999226-x86.msu",
     "https://download.microsoft.com/download/9/6/F/96FD0525-3DDF-423D-8845-5F92F4A6883E/"
     "Windows8.1-KB2999226-x64.msu",
     "https://download.microsoft.com/download/D/1/3/D13E3150-3BB2-4B22-9D8A-47EE2D609FFF/"
     "Windows8.1-KB2999226-x64.msu"},
};

} // namespace

bool UcrtPresent(const plat::OsVersionRecord& os, CLogImplW* log, const LibraryProbe& probe) {
    if (os.major >= 10)
        return true;
    if (log)
        log->Write(L"Checking for UCRT...", true);
    const LibraryProbe& load = probe ? probe : LibraryProbe(PlatformLibraryProbe);
    bool present = true;
    for (const wchar_t* name : kUcrtLibraries)
        present = load(name) && present; // every library is tried
    if (log)
        log->Write(present ? L"UCRT is present, OK" : L"UCRT is not present!", true);
    return present;
}

std::string SelectKbPackage(const plat::OsVersionRecord& os, bool is64Bit, bool ucrtPresent) {
    if (ucrtPresent)
        return std::string();
    const bool server = os.productType != plat::kProductWorkstation;
    for (const KbPackages& packages : kKbPackages) {
        if (packages.major != os.major || packages.minor != os.minor)
            continue;
        if (server)
            return is64Bit ? packages.server64 : std::string();
        return is64Bit ? packages.workstation64 : packages.workstation32;
    }
    return std::string();
}

} // namespace logic
