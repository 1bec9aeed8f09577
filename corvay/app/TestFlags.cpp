#include "corvay/app/TestFlags.h"

#include <atomic>

namespace {
std::atomic<bool> g_monitorsStarted{false};
}

void SetMonitorsStartedFlag(bool started) {
    g_monitorsStarted = started;
}

bool IsMonitorsStartedFlagSet() {
    return g_monitorsStarted;
}
