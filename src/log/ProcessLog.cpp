#include "log/ProcessLog.h"

#include <atomic>

namespace {
std::atomic<CLogImplW*> g_processLog{nullptr};
}

CLogImplW* GetProcessLog() {
    return g_processLog.load(std::memory_order_acquire);
}

void SetProcessLog(CLogImplW* log) {
    g_processLog.store(log, std::memory_order_release);
}
