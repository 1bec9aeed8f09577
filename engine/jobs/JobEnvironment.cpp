#include "engine/jobs/JobEnvironment.h"

#include <algorithm>
#include <vector>

#include "engine/config/PcNICInfo.h"
#include "hostnet/ostrel/Ostrel.h"

int ScaledTimeout(int ms, int scale) {
    if (scale <= 1)
        return ms;
    return std::max(ms / scale, std::min(ms, kScaledTimeoutFloorMs));
}

TestTimings TestTimings::Scaled(int scale) const {
    if (scale <= 1)
        return *this;
    TestTimings t = *this;
    for (int* wait : {&t.portSettleMs, &t.beforePingTestMs, &t.rebootPingPauseMs, &t.lateFrameWaitMs,
                      &t.wlanJoinWaitMs, &t.lanCardWaitMs})
        *wait /= scale;
    t.pingTimeoutMs = ScaledTimeout(pingTimeoutMs, scale);
    t.rebootLimitMs = ScaledTimeout(rebootLimitMs, scale);
    // Frames need real time to cross the bench, however fast the job's time runs.
    t.lateFrameWaitMs = std::max(t.lateFrameWaitMs, std::min(lateFrameWaitMs, 1000));
    return t;
}

JobEnvironment::JobEnvironment() : ping(&LibraryPing), clearArp(&ClearArpTable) {}

bool LibraryPing(const CString& ip, int timeoutMs) {
    // The export takes a writable buffer.
    std::vector<char> address(ip.GetString(), ip.GetString() + ip.GetLength() + 1);
    return AsynPing(address.data(), timeoutMs) != 0;
}
