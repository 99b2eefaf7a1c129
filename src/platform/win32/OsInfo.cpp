#include "platform/OsVersion.h"
#include "platform/win32/Handle.h"

namespace plat {

namespace {

// The true version block: RtlGetVersion is not subject to the
// compatibility shims that make GetVersionEx report an older system to
// programs without a manifest naming the newer one.
bool ReadVersion(OSVERSIONINFOEXW* version) {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    version->dwOSVersionInfoSize = sizeof *version;
    if (HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll")) {
        auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
            reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
        if (rtlGetVersion && rtlGetVersion(version) == 0)
            return true;
    }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(version)) != 0;
#pragma GCC diagnostic pop
}

} // namespace

OsInfo GetOsInfo() {
    OsInfo info;
    OSVERSIONINFOEXW version{};
    if (ReadVersion(&version)) {
        info.record.major = version.dwMajorVersion;
        info.record.minor = version.dwMinorVersion;
        info.record.build = version.dwBuildNumber;
        info.record.platformId = version.dwPlatformId;
        info.record.servicePack = version.szCSDVersion;
        info.record.suiteMask = version.wSuiteMask;
        info.record.productType = version.wProductType;
    }
    SYSTEM_INFO system{};
    ::GetNativeSystemInfo(&system);
    info.record.nativeArchitecture = system.wProcessorArchitecture;
    info.record.serverR2 = ::GetSystemMetrics(SM_SERVERR2) != 0;
    DWORD product = 0;
    if (info.record.major >= 6 &&
        ::GetProductInfo(info.record.major, info.record.minor, 0, 0, &product)) {
        info.record.hasProductInfo = true;
        info.record.productInfo = product;
    }
    info.description = DescribeWindowsVersion(info.record, &info.is64Bit);
    if (system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
        system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64)
        info.is64Bit = true;
    return info;
}

} // namespace plat
