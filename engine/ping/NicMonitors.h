#pragma once
// The two capture monitors of the ping test, one per card, each a worker thread that captures
// every incoming frame of its card for the program's life and marks the ping records of the
// frames that arrive (LAN card: replies, WAN card: requests). They count only while the
// testing flag is set. Stopping breaks the capture loop and joins the thread.

#include <atomic>
#include <memory>
#include <mutex>

#include "engine/jobs/WorkerThread.h"
#include "engine/ping/CaptureLog.h"
#include "engine/ping/PingFrames.h"
#include "platform/clock/Clock.h"
#include "platform/sync/Event.h"

struct pcap;

// Bytes of each frame the monitors capture: every field the handlers read, with room to spare.
constexpr int kMonitorSnapshotLength = 256;

// The configured LAN and WAN cards with their capture devices; false when the cards are not
// configured or not present.
bool GetConfiguredPingCards(PingCards& cards);

class NicMonitor : public WorkerThread {
public:
    ~NicMonitor() override;

    int Run() override;
    // Ends the capture loop and waits for the thread; safe to call more than once.
    void Stop();
    // True once the card is open for capture (frames from then on are seen), within the time.
    bool WaitUntilCapturing(uint32_t milliseconds);
    // Frames counted since the testing flag was last clear.
    int GetCount() const { return m_state.Count.load(); }

protected:
    NicMonitor(PingDirection arrival, const PingCards& cards, platform::Clock& clock);

private:
    void RaisePriority();
    const char* Name() const;

    const PingDirection m_arrival;
    const PingCard m_card;
    CaptureLog m_log; // before m_state, which points at it
    PingHandlerState m_state;
    std::mutex m_mutex;
    bool m_stop = false;
    pcap* m_capturing = nullptr; // the open handle while the loop may run
    platform::Event m_open{true, false};
};

class LANic_Monitor : public NicMonitor {
public:
    LANic_Monitor(const PingCards& cards, platform::Clock& clock = platform::RealClock())
        : NicMonitor(PingDirection::Downstream, cards, clock) {}
    ~LANic_Monitor() override;
    // The monitor of the configured LAN card, started on the first call; null while the cards
    // are not configured and no monitor was started before.
    static LANic_Monitor* Instance();
    static void DeleteInstance();
};

class WANic_Monitor : public NicMonitor {
public:
    WANic_Monitor(const PingCards& cards, platform::Clock& clock = platform::RealClock())
        : NicMonitor(PingDirection::Upstream, cards, clock) {}
    ~WANic_Monitor() override;
    static WANic_Monitor* Instance();
    static void DeleteInstance();
};
