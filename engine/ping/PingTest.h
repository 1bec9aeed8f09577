#pragma once
// One run of the ping traffic test: passes of one request (LAN card) and one reply (WAN card)
// per test port, big and small frames in turn, for the period; then the tallies into each port's
// record. The capture monitors mark what arrives meanwhile.

#include <memory>
#include <vector>

#include "engine/ping/PingFrames.h"
#include "platform/clock/Clock.h"
#include "platform/net/Capture.h"

class Tester;

class PingTest {
public:
    // The job's form: the cards from the configuration, the ping records from the job's view.
    explicit PingTest(Tester& tester, platform::Clock& clock = platform::RealClock());
    // Takes the test ports from the job and opens both cards for sending; a card that cannot
    // be opened is logged and every frame for it counts as lost. 'pingPorts' is the view's list.
    PingTest(Tester& tester, const PingCards& cards, std::vector<PingPort*> pingPorts,
             platform::Clock& clock = platform::RealClock());
    ~PingTest();
    PingTest(const PingTest&) = delete;
    PingTest& operator=(const PingTest&) = delete;

    // Period in milliseconds; set before Run.
    void SetPeriod(int milliseconds) { m_period = milliseconds; }
    // The wait for late frames after the last pass; set before Run.
    void SetLateFrameWait(int milliseconds) { m_lateFrameWaitMs = milliseconds; }
    // 0 finished, 1 stopped by the user, 2 a port's record was missing or the ports cannot be tested.
    int Run();
    // Closes both cards and lets go of the port list.
    void Close();

    void SendRequest(PingPort& port, bool big);
    void SendReply(PingPort& port, bool big);
    PingPort* FindPingPort(int port) const;

    // How long Run waits after the last pass for late frames.
    static constexpr int kLateFrameWaitMs = 5000;

private:
    void Send(PingDirection direction, PingPort& port, bool big);
    bool Stopped() const;

    Tester& m_tester;
    PingCards m_cards;
    std::vector<PingPort*> m_pingPorts;
    std::vector<int> m_ports;
    platform::Clock& m_clock;
    int m_period = 0;
    int m_lateFrameWaitMs = kLateFrameWaitMs;
    uint32_t m_runHandle = 0;
    platform::PcapHandle m_lanHandle, m_wanHandle;
};
