#pragma once
// The base of every worker thread of the engine: Start runs Init, then Run when Init succeeded,
// then Exit, on a thread of its own. Threads are never killed; an owner stops its thread by
// its own flag and joins it before the object goes away.

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/sync/Event.h"

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    // A derived class must have stopped and joined its thread in its own destructor, since the
    // thread calls its overrides; joining here is the last safety net.
    virtual ~WorkerThread();

    // Starts the thread once; false when it was started already.
    virtual bool Start();
    virtual int Init() { return 1; }
    virtual int Run() { return 0; }
    virtual int Exit() { return 0; }

    bool IsStarted() const { return m_started.load(); }
    // True between Start and the return of the thread procedure.
    bool IsRunning() const { return m_started.load() && !m_ended.IsSet(); }
    // Waits for the thread procedure to return; true when it did within the time.
    bool WaitForEnd(uint32_t milliseconds);
    // The thread procedure's return value (valid once it ended).
    int GetExitCode() const { return m_exitCode.load(); }

protected:
    void Join();

private:
    friend int WorkerThreadProc(WorkerThread* object);

    std::thread m_thread;
    std::atomic<bool> m_started{false};
    std::atomic<int> m_exitCode{0};
    platform::Event m_ended{true, false};
};

// The thread procedure: -1 for a null object, else Init, Run when Init gave nonzero, Exit; 0.
int WorkerThreadProc(WorkerThread* object);
