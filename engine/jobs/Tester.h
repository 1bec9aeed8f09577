#pragma once
// One test job: a worker thread that runs the routine of its mode over the link-up ports and
// reports to the view only through the view sink.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/jobs/JobEnvironment.h"
#include "engine/jobs/WorkerThread.h"

class SwitchPort;
class TestInfo;
class ViewSink;
class Tester;

// End codes of a job routine.
constexpr int kJobFinished = 0;
constexpr int kJobStopped = 1;
constexpr int kJobAborted = 2;

// The routine a job runs for its mode; returns an end code.
using TesterRoutine = std::function<int(Tester&)>;

class Tester : public WorkerThread {
public:
    // Test modes.
    enum {
        Mode_Standard = 0,
        Mode_LongPing = 1,
        Mode_Ping = 2,
        Mode_Wifi = 3,
        Mode_Upgrade = 4,
        Mode_Simply = 5
    };

    explicit Tester(ViewSink* view = nullptr, int mode = Mode_Standard);
    // Stops a running job and waits for it; the thread is never killed.
    ~Tester() override;

    int Init() override;
    int Run() override;
    int Exit() override;

    // Copies the view's link-up ports into the port list; 0 when there is no view.
    int GetLinkUpPortList();
    std::vector<SwitchPort*> GetPortList() const;

    // Runs in place of the mode's work (tests). Without one Run dispatches on the mode.
    void SetRoutine(TesterRoutine routine) { m_routine = std::move(routine); }
    // What the routines work with; set before Start.
    void SetEnvironment(JobEnvironment environment) { m_env = std::move(environment); }
    JobEnvironment& GetEnvironment() { return m_env; }

    void SetMode(int mode) { m_mode.store(mode); }
    int GetMode() const { return m_mode.load(); }
    void Stop() { m_stop.store(true); }
    bool IsStopped() const { return m_stop.load(); }
    ViewSink* GetView() const { return m_pView; }
    int GetResult() const { return m_result.load(); }
    // The number that marks this job's messages, unique in the process.
    uint64_t GetSerial() const { return m_serial; }

    // Posts a message to the view (nothing without a view).
    void PostToView(unsigned message, uintptr_t wParam) const;

    // How long the destructor waits before it reports a job that ignores the stop flag.
    static constexpr uint32_t kStopWaitMs = 30000;

private:
    const uint64_t m_serial;
    std::atomic<int> m_mode;
    std::atomic<bool> m_stop{false};
    ViewSink* m_pView;
    mutable std::mutex m_portsMutex;
    std::vector<SwitchPort*> m_ports;
    std::atomic<int> m_initFlag{1};
    std::atomic<int> m_result{0};
    TesterRoutine m_routine;
    JobEnvironment m_env;

    int RunMode();
    // The ping test for 'period' ms: 0 ran out, 1 stopped, 2 could not test.
    int RunPingTest(int period);
};

// Tells the job's view that this port's record has new content.
void PostPortUpdated(const Tester& tester, const TestInfo& info);
