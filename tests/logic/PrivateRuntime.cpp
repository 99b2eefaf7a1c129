// Every logic test process gets a runtime folder of its own, set before the
// first test makes a window and never changed while the process lives. The
// process's message endpoint is made in the runtime folder when its first
// window appears; the children a test starts (the assistant, the fake
// client) find the launcher's window through the same folder, so a test
// that moved the folder for itself alone would leave every later test's
// children looking in the wrong place. A folder per process also keeps the
// named objects of tests that run side by side (the client's fixed start
// event among them) apart.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class PrivateRuntime : public ::testing::Environment {
public:
    void SetUp() override {
        folder_ = std::make_unique<testsupport::TempDir>();
#ifndef _WIN32
        // Windows keeps its named objects in the session, not in a folder.
        ::setenv("XDG_RUNTIME_DIR", folder_->NarrowPath().c_str(), 1);
#endif
    }
    void TearDown() override {
        folder_.reset();
    }

private:
    std::unique_ptr<testsupport::TempDir> folder_;
};

[[maybe_unused]] ::testing::Environment* const kRegistered =
    ::testing::AddGlobalTestEnvironment(new PrivateRuntime);

} // namespace
