#pragma once
// What a job's routines work with beyond their context: the switch manager that owns the port
// list's records, the configuration as it was when the job started, every wait of the routines
// and the clock they wait on, and the ping and ARP clear they use. The program fills it from
// the running configuration; tests put doubles at its seams and short waits.

#include <cstdint>
#include <functional>

#include "engine/config/ConfigRecords.h"
#include "platform/clock/Clock.h"
#include "platform/text/CString.h"

class ISwitchManager;
class Tester;

struct TestTimings {
    int portSettleMs = 4000;      // after a port is enabled, and again after it is disabled
    int pingTimeoutMs = 2000;     // each ping of the modem scan and the reboot wait
    int beforePingTestMs = 10000; // between the per-port routine and the ping test
    int rebootLimitMs = 240000;   // longest wait for a modem to come back
    int rebootPingPauseMs = 1000; // between the confirmation pings of the reboot wait
    int lateFrameWaitMs = 5000;   // the ping test's wait for late frames after its last pass
    int wlanJoinWaitMs = 20000;   // wireless test: after the LAN card is off, before the pings
    int lanCardWaitMs = 5000;     // wireless test: after the LAN card is on again, and after the pings

    // Every wait divided by 'scale' (1 or less keeps them); the time-outs not below the floor.
    TestTimings Scaled(int scale) const;
};

// A time-out divided by 'scale' (1 or less keeps it), never below what a peer on loopback can
// meet, however fast the job's time runs.
constexpr int kScaledTimeoutFloorMs = 50;
int ScaledTimeout(int ms, int scale);

// 1 when the address answered an echo within the time-out.
using ModemPing = std::function<bool(const CString& ip, int timeoutMs)>;

struct JobEnvironment {
    JobEnvironment();

    // Owns the SwitchPort records of the job's port list; not owned here.
    ISwitchManager* switchManager = nullptr;
    SystemConfig system;
    SwitchConfig switchConfig;
    TestTimings timings;
    platform::Clock* clock = &platform::RealClock();
    // The library ping by default.
    ModemPing ping;
    // ClearArpTable by default.
    std::function<void()> clearArp;
    uint16_t dslamTelnetPort = 23;
    // The wireless test's routine; the program plugs it in (it shows windows). Without one the
    // wireless mode ends as aborted.
    std::function<int(Tester&)> wifiTest;
};

// The library ping (Ostrel's AsynPing).
bool LibraryPing(const CString& ip, int timeoutMs);
