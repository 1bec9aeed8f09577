#pragma once
// A waitable event, auto or manual reset, with the platform's wait results.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

constexpr uint32_t kWaitObject0 = 0;   // WAIT_OBJECT_0
constexpr uint32_t kWaitTimeout = 258; // WAIT_TIMEOUT
constexpr uint32_t kInfinite = 0xFFFFFFFF;

class Event {
public:
    explicit Event(bool manualReset = false, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // kWaitObject0 when set within the time (an auto-reset event is then reset), else kWaitTimeout.
    uint32_t Wait(uint32_t milliseconds = kInfinite);
    bool IsSet() const;

private:
    const bool m_manualReset;
    bool m_set;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
};

} // namespace platform
