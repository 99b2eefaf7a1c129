// RAR 4 reading on Linux: a hostile filter's claim on memory is held by
// the allocation cap, as the process's peak resident size shows.

#include "config/RarArchive.h"

#include "platform/AllocationCap.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <string>

namespace {

using config::CRarArchive;

void Extract(CRarArchive& archive, std::size_t index, bool* ok) {
    *ok = archive.Extract(index, [](const void*, std::size_t) { return true; });
}

// A filter program inside the compressed stream claims about 4 GB of static
// data, which the decoder library allocates and fills: the member is refused
// and the memory is never spent.
TEST(RarArchive, AFilterClaimingGigabytesIsRefusedWithoutSpendingThem) {
    if (!plat::CAllocationCap::Enforced())
        GTEST_SKIP() << "the sanitizer's allocator stands in for the cap in this build";
    const std::string bytes = testsupport::ReadDataFile("rar/filter-static-data-4g.rar");
    ASSERT_EQ(bytes.size(), 221u);
    CRarArchive archive;
    ASSERT_TRUE(archive.Open(bytes.data(), bytes.size()));
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    for (std::size_t i = 0; i < archive.Members().size(); ++i) {
        bool ok = true;
        Extract(archive, i, &ok);
        EXPECT_FALSE(ok) << i;
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 512L * 1024) << "KiB more at the peak";
}

} // namespace
