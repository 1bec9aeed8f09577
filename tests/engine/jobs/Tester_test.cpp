#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "engine/jobs/TestContext.h"
#include "engine/jobs/Tester.h"
#include "engine/jobs/ViewSink.h"
#include "engine/records/TestRecords.h"
#include "engine/switch/SwitchPort.h"
#include "tests/support/PrivateLog.h"

using namespace std::chrono_literals;

namespace {

// The order of what the job told its view, as message numbers (0 is the end event).
std::vector<unsigned> Messages(const RecordingViewSink& view) {
    std::vector<unsigned> out;
    for (const auto& e : view.Entries())
        out.push_back(e.message);
    return out;
}

bool WaitEnded(Tester& tester) {
    return tester.WaitForEnd(10000);
}

} // namespace

TEST(Tester, EndEventComesBeforeFinishedMessageWhichCarriesTheEndCode) {
    for (int code : {kJobFinished, kJobStopped, kJobAborted}) {
        RecordingViewSink view;
        Tester tester(&view, Tester::Mode_Standard);
        tester.SetRoutine([code](Tester&) { return code; });
        ASSERT_TRUE(tester.Start());
        ASSERT_TRUE(WaitEnded(tester));
        EXPECT_EQ(Messages(view),
                  (std::vector<unsigned>{RecordingViewSink::kTestEndedEntry, WM_TEST_FINISHED}));
        auto entries = view.Entries();
        EXPECT_EQ(entries[1].wParam, static_cast<uintptr_t>(code));
        EXPECT_EQ(entries[1].lParam, 0);
        EXPECT_EQ(entries[0].jobSerial, tester.GetSerial());
        EXPECT_EQ(entries[1].jobSerial, tester.GetSerial());
        EXPECT_EQ(tester.GetResult(), code);
    }
}

TEST(Tester, ThrowingRoutineStillEndsWithCodeTwoAndReportsItsEnd) {
    const std::function<int(Tester&)> throwers[] = {
        [](Tester&) -> int { throw std::runtime_error("boom"); },
        [](Tester&) -> int { throw 258L; },
        [](Tester&) -> int { throw 101; },
    };
    for (const auto& routine : throwers) {
        RecordingViewSink view;
        Tester tester(&view);
        tester.SetRoutine(routine);
        tester.Start();
        ASSERT_TRUE(WaitEnded(tester));
        EXPECT_EQ(Messages(view),
                  (std::vector<unsigned>{RecordingViewSink::kTestEndedEntry, WM_TEST_FINISHED}));
        EXPECT_EQ(view.Entries()[1].wParam, 2u);
    }
}

TEST(Tester, UnknownModeWithoutRoutineEndsFinished) {
    SetLogLevel(LOG_LEVEL_ALL);
    RecordingViewSink view;
    Tester tester(&view, 42);
    tester.Start();
    ASSERT_TRUE(WaitEnded(tester));
    ASSERT_EQ(Messages(view).back(), WM_TEST_FINISHED);
    EXPECT_EQ(view.Entries().back().wParam, 0u);
    EXPECT_NE(testsupport::LogText().find("It is impossible."), std::string::npos);
}

// A view whose port list cannot be read: the job never runs and is reported as aborted.
class FailingView : public RecordingViewSink {
public:
    std::vector<SwitchPort*> GetLinkUpPorts() override { throw std::runtime_error("no ports"); }
};

TEST(Tester, FailedInitSkipsTheRoutineAndPostsTwo) {
    FailingView view;
    std::atomic<bool> ran{false};
    Tester tester(&view);
    tester.SetRoutine([&](Tester&) {
        ran = true;
        return 0;
    });
    tester.Start();
    ASSERT_TRUE(WaitEnded(tester));
    EXPECT_FALSE(ran);
    EXPECT_EQ(Messages(view), (std::vector<unsigned>{WM_TEST_FINISHED}));
    EXPECT_EQ(view.Entries()[0].wParam, 2u);
}

TEST(Tester, JobWithoutViewRunsNothingAndEnds) {
    std::atomic<bool> ran{false};
    Tester tester(nullptr);
    tester.SetRoutine([&](Tester&) {
        ran = true;
        return 0;
    });
    tester.Start();
    ASSERT_TRUE(WaitEnded(tester));
    EXPECT_FALSE(ran);
    EXPECT_EQ(tester.GetExitCode(), 0);
    EXPECT_EQ(WorkerThreadProc(nullptr), -1);
}

TEST(Tester, DestroyingARunningJobStopsAndJoinsIt) {
    RecordingViewSink view;
    std::atomic<bool> started{false}, sawStop{false};
    auto tester = std::make_unique<Tester>(&view);
    tester->SetRoutine([&](Tester& t) {
        started = true;
        while (!t.IsStopped())
            std::this_thread::sleep_for(1ms);
        sawStop = true;
        return kJobStopped;
    });
    tester->Start();
    while (!started)
        std::this_thread::sleep_for(1ms);
    tester.reset();
    // The routine has returned and the job has reported before the destructor came back.
    EXPECT_TRUE(sawStop);
    EXPECT_EQ(Messages(view), (std::vector<unsigned>{RecordingViewSink::kTestEndedEntry, WM_TEST_FINISHED}));
    EXPECT_EQ(view.Entries()[1].wParam, 1u);
}

TEST(Tester, PortUpdatesCarryThePortAndTheJobSerial) {
    RecordingViewSink view(24);
    Tester tester(&view);
    tester.SetRoutine([&](Tester& t) {
        PostPortUpdated(t, *view.GetTestInfo(7));
        return 0;
    });
    tester.Start();
    ASSERT_TRUE(WaitEnded(tester));
    auto entries = view.Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].message, WM_PORT_UPDATED);
    EXPECT_EQ(entries[0].wParam, 7u);
    EXPECT_EQ(entries[0].jobSerial, tester.GetSerial());
    EXPECT_EQ(view.GetTestInfo(0), nullptr);
    EXPECT_EQ(view.GetTestInfo(25), nullptr);
}

TEST(Tester, EachJobHasItsOwnSerial) {
    Tester a(nullptr), b(nullptr);
    EXPECT_NE(a.GetSerial(), b.GetSerial());
}

TEST(Tester, ContextOfARoutineHoldsTheJobsPortsAndTheSharedTemplateStore) {
    RecordingViewSink view;
    SwitchPort three(3, SwitchPort::Enable_Enabled, SwitchPort::Link_Up, 103);
    SwitchPort five(5, SwitchPort::Enable_Enabled, SwitchPort::Link_Up, 105);
    view.SetLinkUpPorts({&three, &five});
    std::vector<SwitchPort*> seen;
    TemplateStore* store = nullptr;
    bool stoppedSeen = false;
    Tester tester(&view);
    tester.SetRoutine([&](Tester& t) {
        TestContext context(t);
        seen = context.GetPortList();
        store = context.Client.GetTemplateStore();
        t.Stop();
        stoppedSeen = context.IsStopped();
        return kJobStopped;
    });
    tester.Start();
    ASSERT_TRUE(WaitEnded(tester));
    EXPECT_EQ(seen, (std::vector<SwitchPort*>{&three, &five}));
    EXPECT_EQ(store, &TemplateStore::Instance());
    EXPECT_TRUE(stoppedSeen);
}
