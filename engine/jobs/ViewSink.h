#pragma once
// How the engine reaches the main view from a job thread: posted window messages that carry the
// serial number of the posting job (so the view can drop a message of a job that has ended),
// the test-ended event, and the view's per-port records. Worker threads never touch widgets.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class PingPort;
class SwitchPort;
class TestInfo;

constexpr unsigned WM_USER_BASE = 0x0400;
constexpr unsigned WM_PORT_UPDATED = WM_USER_BASE + 100;     // 1124, wParam the port
constexpr unsigned WM_PORTS_REFRESH = WM_USER_BASE + 101;    // 1125, wParam 0
constexpr unsigned WM_TEST_FINISHED = WM_USER_BASE + 102;    // 1126, wParam the end code
constexpr unsigned WM_SERIAL_PORT_BUSY = WM_USER_BASE + 103; // 1127, wParam 0

class ViewSink {
public:
    virtual ~ViewSink() = default;
    // Posts a message to the view's window from any thread; never waits for the view.
    virtual void PostViewMessage(unsigned message, uintptr_t wParam, intptr_t lParam, uint64_t jobSerial) = 0;
    // The view's test-ended event, which its stop command waits on.
    virtual void SignalTestEnded(uint64_t jobSerial) = 0;
    // The ports whose link is up, the trunk excluded, in port order.
    virtual std::vector<SwitchPort*> GetLinkUpPorts() = 0;
    // The view's record of a port; null for a port outside 1..PortCount.
    virtual TestInfo* GetTestInfo(int port) = 0;
    // A copy of the view's ping records, one per port (read by the ping test).
    virtual std::vector<PingPort*> GetPingPortList() = 0;
};

// A view for tests: keeps everything posted, in order, with the end event as an entry of its own.
class RecordingViewSink : public ViewSink {
public:
    static constexpr unsigned kTestEndedEntry = 0; // message number of an end-event entry

    struct Entry {
        unsigned message;
        uintptr_t wParam;
        intptr_t lParam;
        uint64_t jobSerial;
    };

    explicit RecordingViewSink(int portCount = 0);
    ~RecordingViewSink() override;

    void PostViewMessage(unsigned message, uintptr_t wParam, intptr_t lParam, uint64_t jobSerial) override;
    void SignalTestEnded(uint64_t jobSerial) override;
    std::vector<SwitchPort*> GetLinkUpPorts() override;
    TestInfo* GetTestInfo(int port) override;
    std::vector<PingPort*> GetPingPortList() override;

    void SetLinkUpPorts(std::vector<SwitchPort*> ports);
    void SetPingPortList(std::vector<PingPort*> ports);
    std::vector<Entry> Entries() const;
    // Waits until a message of this number has been posted; true when it came in time.
    bool WaitFor(unsigned message, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Entry> m_entries;
    std::vector<SwitchPort*> m_linkUpPorts;
    std::vector<PingPort*> m_pingPorts;
    std::vector<std::unique_ptr<TestInfo>> m_testInfos;
};
