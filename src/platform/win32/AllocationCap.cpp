#include "platform/AllocationCap.h"

// The C library's allocator of this system lives in a DLL that every part
// of the program (the C++ library and the third-party decoders included)
// calls through its import table, so no definition of our own comes in
// front of it, and the heap offers no per-thread limit. The cap is
// therefore not enforced here: Enforced() says so, and callers rely on the
// sizes they check themselves before allocating.

namespace {

constinit thread_local std::size_t tCap = 0;

} // namespace

namespace plat {

CAllocationCap::CAllocationCap(std::size_t maxBytes) : previous_(tCap) {
    tCap = maxBytes;
}

CAllocationCap::~CAllocationCap() {
    tCap = previous_;
}

bool CAllocationCap::Enforced() {
    return false;
}

} // namespace plat
