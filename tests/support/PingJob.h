#pragma once
// A ping job over switch ports 1..count, all link-up, with the view's ping record for each port:
// what the ping test needs from a job and its view, for tests and benchmarks.

#include <memory>
#include <vector>

#include "engine/jobs/Tester.h"
#include "engine/jobs/ViewSink.h"
#include "engine/ping/PingFrames.h"
#include "engine/records/TestRecords.h"
#include "engine/switch/SwitchPort.h"

namespace testsupport {

struct PingJob {
    explicit PingJob(int count) : view(count) {
        std::vector<SwitchPort*> list;
        for (int p = 1; p <= count; ++p) {
            switchPorts.push_back(
                std::make_unique<SwitchPort>(p, SwitchPort::Enable_Enabled, SwitchPort::Link_Up));
            list.push_back(switchPorts.back().get());
            pingPorts.push_back(std::make_unique<PingPort>(p));
            raw.push_back(pingPorts.back().get());
        }
        view.SetLinkUpPorts(list);
        tester = std::make_unique<Tester>(&view, Tester::Mode_Ping);
        tester->GetLinkUpPortList();
    }
    PingStatistics Ping(int port) { return view.GetTestInfo(port)->Get().Ping; }

    RecordingViewSink view;
    std::vector<std::unique_ptr<SwitchPort>> switchPorts;
    std::vector<std::unique_ptr<PingPort>> pingPorts;
    std::vector<PingPort*> raw;
    std::unique_ptr<Tester> tester;
};

} // namespace testsupport
