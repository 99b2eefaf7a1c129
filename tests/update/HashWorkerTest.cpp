// The background SHA-256 of a download: the same digest as hashing in one
// go whatever the pieces' sizes (larger than a slot, more pieces than
// slots), a fresh start after Reset and Finish, and no hang when the owner
// goes with pieces still waiting.

#include "update/HashWorker.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

namespace {

TEST(HashWorker, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
    const std::string bytes =
        testsupport::NoiseBytes(5 * update::CHashWorker::kSlotBytes + 12345, 9);
    const config::Sha256Digest whole = config::Sha256Of(bytes);
    for (std::size_t piece : {std::size_t{1000}, std::size_t{524288},
                              update::CHashWorker::kSlotBytes + 1, bytes.size()}) {
        update::CHashWorker worker;
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            worker.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
        EXPECT_EQ(worker.Finish(), whole) << piece;
        // Finishing starts again.
        worker.Update("abc", 3);
        EXPECT_EQ(worker.Finish(), config::Sha256Of("abc")) << piece;
    }
}

TEST(HashWorker, ResetForgetsWhatCameBeforeAndTheOwnerMayGoAnyTime) {
    const std::string bytes = testsupport::NoiseBytes(3 * update::CHashWorker::kSlotBytes, 4);
    update::CHashWorker worker;
    worker.Update(bytes.data(), bytes.size());
    worker.Reset();
    worker.Update("abc", 3);
    EXPECT_EQ(worker.Finish(), config::Sha256Of("abc"));
    EXPECT_EQ(worker.Finish(), config::Sha256Of(""));
    for (int i = 0; i < 20; ++i) {
        update::CHashWorker leaving;
        leaving.Update(bytes.data(), bytes.size());
    }
}

} // namespace
