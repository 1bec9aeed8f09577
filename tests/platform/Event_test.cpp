#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/clock/Clock.h"
#include "platform/sync/Event.h"

using namespace std::chrono_literals;
using platform::Event;

namespace {

TEST(Event, WaitResults) {
    struct Case {
        const char* what;
        bool manual, initially;
        uint32_t first, second;
    } cases[] = {
        {"auto, set: the first wait takes it", false, true, platform::kWaitObject0, platform::kWaitTimeout},
        {"manual, set: stays set", true, true, platform::kWaitObject0, platform::kWaitObject0},
        {"auto, clear: times out", false, false, platform::kWaitTimeout, platform::kWaitTimeout},
        {"manual, clear: times out", true, false, platform::kWaitTimeout, platform::kWaitTimeout},
    };
    for (const auto& c : cases) {
        Event e(c.manual, c.initially);
        EXPECT_EQ(e.Wait(0), c.first) << c.what;
        EXPECT_EQ(e.Wait(10), c.second) << c.what;
    }
}

TEST(Event, TimedWaitLastsItsTimeAndWakesOnSet) {
    Event e;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(e.Wait(80), platform::kWaitTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 80ms);

    std::thread setter([&] {
        std::this_thread::sleep_for(30ms);
        e.Set();
    });
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(e.Wait(5000), platform::kWaitObject0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3000ms);
    setter.join();
}

TEST(Event, ManualResetReleasesEveryWaiter) {
    Event e(true);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (e.Wait(5000) == platform::kWaitObject0)
                ++woken;
        });
    std::this_thread::sleep_for(20ms);
    e.Set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(woken, 4);
    e.Reset();
    EXPECT_EQ(e.Wait(0), platform::kWaitTimeout);
}

TEST(Event, ManualClockMovesOnlyWhenTold) {
    platform::ManualClock clock;
    auto t0 = clock.Now();
    auto w0 = clock.WallNow();
    clock.SleepFor(240000ms);
    EXPECT_EQ(clock.Now() - t0, 240000ms);
    EXPECT_EQ(clock.WallNow() - w0, 240000ms);
    clock.Advance(-5ms);
    EXPECT_EQ(clock.Now() - t0, 240000ms);
}

} // namespace
