// The hint that gives a large body buffer large pages, seen in the
// kernel's own account of the process's mappings.

#include "base/Buffer.h"
#include "platform/Internet.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

// The flags of the memory mapping that holds `address`, from
// /proc/self/smaps; empty when it is not found.
std::string MappingFlags(const void* address) {
    auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        unsigned long long begin = 0;
        unsigned long long end = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx", &begin, &end) == 2) {
            inside = at >= begin && at < end;
            continue;
        }
        if (inside && line.rfind("VmFlags:", 0) == 0)
            return line.substr(8) + " ";
    }
    return {};
}

TEST(InternetBodyBufferTest, ALargeBodyBufferAsksForLargePagesOverItsOwnRangeOnly) {
    if (::access("/sys/kernel/mm/transparent_hugepage/enabled", F_OK) != 0)
        GTEST_SKIP() << "no transparent huge pages in this kernel";
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    CBuffer buffer;
    buffer.Reserve(40 << 20);
    std::uint8_t* body = buffer.Data() + 100;
    const std::size_t length = std::size_t{24} << 20;
    plat::PrepareBodyBuffer(body, length);
    EXPECT_NE(MappingFlags(body + page).find(" hg "), std::string::npos);
    EXPECT_NE(MappingFlags(body + length - page).find(" hg "), std::string::npos);
    // Past the body's last whole page the buffer stays as it was.
    std::string after = MappingFlags(body + length + page);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.find(" hg "), std::string::npos);
    // The memory is plain memory still.
    std::memset(body, 0x5A, length);
    EXPECT_EQ(body[length - 1], 0x5A);

    // A small buffer is not worth it.
    CBuffer small;
    small.Reserve(1 << 20);
    plat::PrepareBodyBuffer(small.Data(), 1 << 20);
    EXPECT_EQ(MappingFlags(small.Data() + page).find(" hg "), std::string::npos);
}

} // namespace
