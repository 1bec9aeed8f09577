#include "engine/switch/Observer.h"

#include <algorithm>
#include <vector>

void Subject::Attach(Observer* observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_observers.push_back(observer);
}

void Subject::Detach(Observer* observer) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_observers.remove(observer);
    // A detaching observer may be about to go: wait for its calls on other threads to end. Its
    // own call on this thread (it detaches from inside Update) is not waited for.
    const auto self = std::this_thread::get_id();
    m_callEnded.wait(lock, [&] {
        return std::none_of(m_running.begin(), m_running.end(), [&](const RunningCall& call) {
            return call.observer == observer && call.thread != self;
        });
    });
}

void Subject::Notify() {
    // A copy, so an observer may attach or detach while it is called.
    std::vector<Observer*> observers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        observers.assign(m_observers.begin(), m_observers.end());
    }
    for (Observer* observer : observers) {
        std::list<RunningCall>::iterator call;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            // Detached since the copy was taken: it must not be called any more.
            if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
                continue;
            call = m_running.insert(m_running.end(), {observer, std::this_thread::get_id()});
        }
        struct EndCall {
            Subject& subject;
            std::list<RunningCall>::iterator call;
            ~EndCall() {
                {
                    std::lock_guard<std::mutex> lock(subject.m_mutex);
                    subject.m_running.erase(call);
                }
                subject.m_callEnded.notify_all();
            }
        } end{*this, call};
        observer->Update(this);
    }
}
