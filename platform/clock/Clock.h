#pragma once
// The time source of everything that waits or stamps: the real one in the program, a manual
// one in tests, so no test sits through the real 4 s, 30 s or 240 s.

#include <atomic>
#include <chrono>

namespace platform {

class Clock {
public:
    using Steady = std::chrono::steady_clock;
    using Wall = std::chrono::system_clock;
    virtual ~Clock() = default;

    virtual Steady::time_point Now() const = 0;   // for elapsed times and deadlines
    virtual Wall::time_point WallNow() const = 0; // for stamps shown to people (local time)
    virtual void SleepFor(std::chrono::milliseconds duration) = 0;

    // Milliseconds on the steady clock, for code written against a tick count.
    long long TickMs() const;
};

// The process's real clock.
Clock& RealClock();

// A clock that moves only when told to: SleepFor advances it at once (and wakes nobody).
class ManualClock : public Clock {
public:
    explicit ManualClock(Wall::time_point wallStart = Wall::time_point(std::chrono::hours(24 * 365 * 50)));
    Steady::time_point Now() const override;
    Wall::time_point WallNow() const override;
    void SleepFor(std::chrono::milliseconds duration) override;
    void Advance(std::chrono::milliseconds duration);

private:
    const Wall::time_point m_wallStart;
    const Steady::time_point m_steadyStart;
    std::atomic<long long> m_elapsedMs{0};
};

} // namespace platform
