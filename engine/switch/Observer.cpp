#include "engine/switch/Observer.h"

#include <vector>

void Subject::Attach(Observer* observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_observers.push_back(observer);
}

void Subject::Detach(Observer* observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_observers.remove(observer);
}

void Subject::Notify() {
    // A copy, so an observer may attach or detach while it is called.
    std::vector<Observer*> observers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        observers.assign(m_observers.begin(), m_observers.end());
    }
    for (Observer* observer : observers)
        observer->Update(this);
}
