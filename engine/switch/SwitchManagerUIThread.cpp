#include "engine/switch/SwitchManagerUIThread.h"

#include "engine/log/Logger.h"

#include <future>

SwitchManagerUIThread::SwitchManagerUIThread(const SwitchConfig& config, SwitchConsoleOptions options)
    : m_config(config), m_options(std::move(options)) {}

SwitchManagerUIThread::~SwitchManagerUIThread() {
    Stop();
    LogDebug("SwitchManagerUIThread::~SwitchManagerUIThread()");
}

void SwitchManagerUIThread::Start() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_started)
            return;
        m_started = true;
    }
    std::promise<void> ready;
    std::future<void> made = ready.get_future();
    m_thread = std::thread([this, &ready] {
        m_threadId.store(std::this_thread::get_id());
        LogDebug("SwitchManagerUIThread::InitInstance()");
        m_owned = std::make_unique<SwitchManagerImpl>(m_config, m_options, *this);
        m_console.store(m_owned.get());
        // Opening the line comes after the caller is released, so the caller may attach its
        // observers (the first notification waits for the view to be ready).
        SwitchManagerImpl* console = m_owned.get();
        Post([console] { console->Start(); });
        ready.set_value();
        Run();
        LogDebug("SwitchManagerUIThread::ExitInstance()");
        // A later thread may be given the same id.
        m_threadId.store(std::thread::id());
    });
    made.wait();
}

void SwitchManagerUIThread::Stop() {
    if (!m_thread.joinable())
        return;
    Post([this] {
        LogDebug("SwitchManagerImpl::OnCancel()");
        m_console.store(nullptr);
        m_owned.reset();
        LogDebug("SwitchManagerImpl::OnCancel() DestroyWindow() TRUE");
        LogDebug("SwitchManagerImpl::PostNcDestroy()");
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    });
    if (IsOwnThread()) {
        m_thread.detach();
        return;
    }
    m_thread.join();
}

bool SwitchManagerUIThread::IsOwnThread() const {
    // Not m_thread: the creating thread may still be assigning it while the loop already runs.
    return std::this_thread::get_id() == m_threadId.load();
}

bool SwitchManagerUIThread::Post(std::function<void()> call) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ended || m_quit)
            return false;
        m_calls.push_back(std::move(call));
    }
    m_wake.notify_one();
    return true;
}

void SwitchManagerUIThread::SetTimer(int id, int milliseconds) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto period = std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 1);
        m_timers[id] = Timer{period, Steady::now() + period};
    }
    m_wake.notify_one();
}

void SwitchManagerUIThread::KillTimer(int id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timers.erase(id);
}

void SwitchManagerUIThread::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_quit) {
        if (!m_calls.empty()) {
            auto call = std::move(m_calls.front());
            m_calls.pop_front();
            lock.unlock();
            call();
            lock.lock();
            continue;
        }
        auto now = Steady::now();
        int dueId = 0;
        bool haveDue = false;
        Steady::time_point next = Steady::time_point::max();
        for (auto& [id, timer] : m_timers) {
            if (timer.due <= now && !haveDue) {
                dueId = id;
                haveDue = true;
            }
            next = std::min(next, timer.due);
        }
        if (haveDue) {
            auto& timer = m_timers[dueId];
            timer.due = now + timer.period;
            lock.unlock();
            if (SwitchManagerImpl* console = m_console.load())
                console->OnTimer(dueId);
            lock.lock();
            continue;
        }
        if (next == Steady::time_point::max())
            m_wake.wait(lock, [this] { return m_quit || !m_calls.empty() || !m_timers.empty(); });
        else
            m_wake.wait_until(lock, next);
    }
    // Calls posted after the console went have nothing left to act on.
    m_ended = true;
    m_calls.clear();
    m_timers.clear();
}
