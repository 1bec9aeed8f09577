#pragma once
// The console's own thread: an event loop of posted calls and timers that owns the console,
// as the console's control delivered its events through one thread's message loop.

#include "engine/config/ConfigRecords.h"
#include "engine/switch/SwitchManagerImpl.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

class SwitchManagerUIThread {
public:
    SwitchManagerUIThread(const SwitchConfig& config, SwitchConsoleOptions options = {});
    ~SwitchManagerUIThread();
    SwitchManagerUIThread(const SwitchManagerUIThread&) = delete;
    SwitchManagerUIThread& operator=(const SwitchManagerUIThread&) = delete;

    // Starts the thread; returns once the console exists on it. It opens its line right after.
    void Start();
    // Closes the console on its thread, ends the loop and waits for the thread.
    void Stop();

    SwitchManagerImpl* GetConsole() const { return m_console.load(); }

    // The loop's services, for the console.
    bool IsOwnThread() const;
    // False once the loop has ended; the call is then dropped.
    bool Post(std::function<void()> call);
    // A repeating timer that calls the console's OnTimer; setting it again restarts it.
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);

private:
    using Steady = std::chrono::steady_clock;
    struct Timer {
        std::chrono::milliseconds period;
        Steady::time_point due;
    };

    void Run();

    SwitchConfig m_config;
    SwitchConsoleOptions m_options;
    std::thread m_thread;
    std::atomic<std::thread::id> m_threadId{}; // set by the thread itself, before anything runs on it
    std::atomic<SwitchManagerImpl*> m_console{nullptr};
    std::unique_ptr<SwitchManagerImpl> m_owned; // touched on the loop's thread only

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_calls;
    std::map<int, Timer> m_timers;
    bool m_quit = false;
    bool m_ended = false;
    bool m_started = false;
};
