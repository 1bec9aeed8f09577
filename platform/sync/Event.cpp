#include "platform/sync/Event.h"

#include <chrono>

namespace platform {

Event::Event(bool manualReset, bool initiallySet) : m_manualReset(manualReset), m_set(initiallySet) {}

// Notifies under the lock: a waiter may destroy the event as soon as it wakes.
void Event::Set() {
    std::lock_guard lock(m_mutex);
    m_set = true;
    if (m_manualReset)
        m_cv.notify_all();
    else
        m_cv.notify_one();
}

void Event::Reset() {
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_set;
}

uint32_t Event::Wait(uint32_t milliseconds) {
    std::unique_lock lock(m_mutex);
    auto ready = [this] { return m_set; };
    if (milliseconds == kInfinite)
        m_cv.wait(lock, ready);
    else if (!m_cv.wait_for(lock, std::chrono::milliseconds(milliseconds), ready))
        return kWaitTimeout;
    if (!m_manualReset)
        m_set = false;
    return kWaitObject0;
}

} // namespace platform
