#include "platform/clock/Clock.h"

#include <thread>

namespace platform {
namespace {

class SystemClock : public Clock {
public:
    Steady::time_point Now() const override { return Steady::now(); }
    Wall::time_point WallNow() const override { return Wall::now(); }
    void SleepFor(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

} // namespace

long long Clock::TickMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Now().time_since_epoch()).count();
}

Clock& RealClock() {
    static SystemClock clock;
    return clock;
}

ManualClock::ManualClock(Wall::time_point wallStart) : m_wallStart(wallStart), m_steadyStart(Steady::now()) {}

Clock::Steady::time_point ManualClock::Now() const {
    return m_steadyStart + std::chrono::milliseconds(m_elapsedMs.load());
}

Clock::Wall::time_point ManualClock::WallNow() const {
    return m_wallStart + std::chrono::milliseconds(m_elapsedMs.load());
}

void ManualClock::SleepFor(std::chrono::milliseconds duration) {
    Advance(duration);
}

void ManualClock::Advance(std::chrono::milliseconds duration) {
    if (duration.count() > 0)
        m_elapsedMs += duration.count();
}

} // namespace platform
