#include "logic/SystemChecks.h"

#include "logic/LogCapture.h"

#include <gtest/gtest.h>
#include <set>
#include <utility>

using namespace logic;

namespace {

plat::OsVersionRecord System(std::uint32_t major, std::uint32_t minor,
                             std::uint8_t product = plat::kProductWorkstation) {
    plat::OsVersionRecord os;
    os.major = major;
    os.minor = minor;
    os.productType = product;
    return os;
}

TEST(UcrtCheck, Windows10IsNotCheckedAndOlderSystemsNeedEveryLibrary) {
    logictest::LogCapture log;
    std::set<std::wstring> probed;
    auto record = [&](const std::wstring& name) { return probed.insert(name), true; };
    EXPECT_TRUE(UcrtPresent(System(10, 0), &log, record));
    EXPECT_TRUE(probed.empty() && log.Text().empty());
    EXPECT_TRUE(UcrtPresent(System(6, 1), &log, record));
    EXPECT_EQ(log.Text(), L"Checking for UCRT...\r\nUCRT is present, OK\r\n");
    ASSERT_EQ(probed.size(), 4u);
    for (const std::wstring& missing : probed) { // each one missing alone; all are still tried
        logictest::LogCapture absent;
        int probes = 0;
        EXPECT_FALSE(UcrtPresent(System(6, 3), &absent, [&](const std::wstring& name) {
            return ++probes, name != missing;
        }));
        EXPECT_EQ(probes, 4);
        EXPECT_EQ(absent.Text(), L"Checking for UCRT...\r\nUCRT is not present!\r\n");
    }
    EXPECT_TRUE(UcrtPresent(System(6, 1), nullptr)); // the platform's own probe
}

TEST(KbPackage, OnePackagePerSystemAndKindButNoneFor32BitServersOrOtherSystems) {
    const std::string files[] = {"Windows6.1-KB2999226-", "Windows8-RT-KB2999226-",
                                 "Windows8.1-KB2999226-"};
    std::set<std::string> addresses;
    for (std::uint32_t minor = 1; minor <= 3; ++minor) {
        const auto server = System(6, minor, plat::kProductDomainController); // a server too
        for (auto [url, name] : {std::pair{SelectKbPackage(System(6, minor), false, false), "x86"},
                                 {SelectKbPackage(System(6, minor), true, false), "x64"},
                                 {SelectKbPackage(server, true, false), "x64"}}) {
            EXPECT_EQ(url.rfind("https://download.microsoft.com/download/", 0), 0u) << url;
            EXPECT_EQ(url.substr(url.rfind('/') + 1), files[minor - 1] + name + ".msu");
            addresses.insert(url);
        }
        EXPECT_EQ(SelectKbPackage(System(6, minor, plat::kProductServer), false, false), "");
        EXPECT_EQ(SelectKbPackage(System(6, minor), true, true), ""); // the runtime is there
    }
    EXPECT_EQ(addresses.size(), 9u);
    for (auto [major, minor] : {std::pair{10u, 0u}, {6u, 0u}, {6u, 4u}, {5u, 1u}})
        EXPECT_EQ(SelectKbPackage(System(major, minor), true, false), "") << major << minor;
}

} // namespace
