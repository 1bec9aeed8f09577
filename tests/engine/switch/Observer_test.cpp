#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "engine/switch/Observer.h"
#include "platform/sync/Event.h"

namespace {

// An observer whose Update can be held open, and which knows whether it was called after it
// was told it is gone.
class HeldObserver : public Observer {
public:
    void Update(Subject*) override {
        calls++;
        if (gone)
            calledAfterGone = true;
        entered.Set();
        release.Wait(5000);
        if (gone)
            calledAfterGone = true;
    }
    std::atomic<int> calls{0};
    std::atomic<bool> gone{false};
    std::atomic<bool> calledAfterGone{false};
    platform::Event entered{true, false};
    platform::Event release{true, false};
};

} // namespace

TEST(ObserverTest, DetachWaitsForAnUpdateRunningOnAnotherThread) {
    Subject subject;
    HeldObserver observer;
    subject.Attach(&observer);
    std::thread notifier([&] { subject.Notify(); });
    ASSERT_EQ(observer.entered.Wait(5000), platform::kWaitObject0);

    auto detached = std::async(std::launch::async, [&] { subject.Detach(&observer); });
    EXPECT_EQ(detached.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
        << "Detach returned while Update was still running";
    observer.release.Set();
    detached.get();
    // What a view does in its destructor: once Detach is back, it may go.
    observer.gone = true;
    notifier.join();
    subject.Notify();
    EXPECT_EQ(observer.calls.load(), 1);
    EXPECT_FALSE(observer.calledAfterGone.load());
}

TEST(ObserverTest, AnObserverDetachedDuringANotificationIsNotCalledByIt) {
    // The first observer detaches the second while the notification is under way.
    class Detacher : public Observer {
    public:
        Subject* subject = nullptr;
        Observer* other = nullptr;
        void Update(Subject*) override { subject->Detach(other); }
    };
    class Counter : public Observer {
    public:
        int calls = 0;
        void Update(Subject*) override { ++calls; }
    };
    Subject subject;
    Detacher first;
    Counter second;
    first.subject = &subject;
    first.other = &second;
    subject.Attach(&first);
    subject.Attach(&second);
    subject.Notify();
    EXPECT_EQ(second.calls, 0);
}

TEST(ObserverTest, AnObserverMayDetachItselfFromItsOwnUpdate) {
    class SelfDetacher : public Observer {
    public:
        Subject* subject = nullptr;
        int calls = 0;
        void Update(Subject*) override {
            ++calls;
            subject->Detach(this);
        }
    };
    Subject subject;
    SelfDetacher observer;
    observer.subject = &subject;
    subject.Attach(&observer);
    auto done = std::async(std::launch::async, [&] { subject.Notify(); });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "deadlocked";
    subject.Notify();
    EXPECT_EQ(observer.calls, 1);
}
