#include "platform/OsVersion.h"

#include "platform/File.h"
#include "platform/Unicode.h"

#include <cstdlib>
#include <sys/utsname.h>

namespace plat {

namespace {

// A value of /etc/os-release ("KEY=value" or KEY="value").
std::string OsReleaseValue(const std::string& text, const std::string& key) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.compare(0, key.size() + 1, key + "=") != 0)
            continue;
        std::string value = line.substr(key.size() + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

} // namespace

OsInfo GetOsInfo() {
    OsInfo info;
    std::string osRelease;
    if (!ReadWholeFile(L"/etc/os-release", &osRelease))
        ReadWholeFile(L"/usr/lib/os-release", &osRelease);
    std::string name = OsReleaseValue(osRelease, "PRETTY_NAME");
    if (name.empty())
        name = OsReleaseValue(osRelease, "NAME");
    if (name.empty())
        name = "Linux";

    utsname uts{};
    std::string kernel, machine;
    if (::uname(&uts) == 0) {
        kernel = uts.release;
        machine = uts.machine;
    }
    // The kernel's version numbers stand in for the system's version block.
    char* rest = nullptr;
    info.record.major = static_cast<std::uint32_t>(std::strtoul(kernel.c_str(), &rest, 10));
    if (rest && *rest == '.')
        info.record.minor = static_cast<std::uint32_t>(std::strtoul(rest + 1, &rest, 10));
    if (rest && *rest == '.')
        info.record.build = static_cast<std::uint32_t>(std::strtoul(rest + 1, nullptr, 10));
    info.record.productType = kProductWorkstation;

    bool is64 = machine == "x86_64" || machine == "aarch64" || machine == "ppc64le" ||
                machine == "s390x" || machine == "riscv64";
    info.record.nativeArchitecture = machine == "x86_64" ? kArchAmd64 : kArchX86;
    info.is64Bit = is64;
    std::string text = name;
    if (!kernel.empty())
        text += " (Kernel " + kernel + ")";
    text += is64 ? ", 64-bit" : ", 32-bit";
    info.description = Utf8ToWide(text);
    return info;
}

} // namespace plat
