// RAR 4 reading on Windows, where the C library's allocations cannot be
// capped: a hostile filter's claim on memory is refused by the decoder
// itself, as the process's peak working set shows.

#include "config/RarArchive.h"

#include "support/TestData.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include <string>

namespace {

using config::CRarArchive;

std::size_t PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        return 0;
    return counters.PeakWorkingSetSize;
}

// A filter program inside the compressed stream claims about 4 GB of static
// data: the member is refused and the memory is never spent.
TEST(RarArchive, AFilterClaimingGigabytesIsRefusedWithoutSpendingThem) {
    const std::string bytes = testsupport::ReadDataFile("rar/filter-static-data-4g.rar");
    ASSERT_EQ(bytes.size(), 221u);
    CRarArchive archive;
    ASSERT_TRUE(archive.Open(bytes.data(), bytes.size()));
    ASSERT_FALSE(archive.Members().empty());
    const std::size_t before = PeakWorkingSet();
    ASSERT_NE(before, 0u);
    for (std::size_t i = 0; i < archive.Members().size(); ++i) {
        EXPECT_FALSE(archive.Extract(i, [](const void*, std::size_t) { return true; })) << i;
    }
    const std::size_t after = PeakWorkingSet();
    EXPECT_LT(after - before, std::size_t{512} << 20) << "bytes more at the peak";
}

} // namespace
