#include "engine/ping/PingTest.h"

#include <algorithm>
#include <chrono>

#include "engine/jobs/Tester.h"
#include "engine/jobs/ViewSink.h"
#include "engine/log/Logger.h"
#include "engine/ping/NicMonitors.h"
#include "engine/records/TestRecords.h"
#include "engine/switch/SwitchPort.h"
#include "platform/net/SendQueue.h"

using namespace std::chrono;

namespace {

platform::PcapHandle OpenCard(const PingCard& card) {
    std::string error;
    platform::PcapHandle handle = platform::OpenForSending(card.Device.GetString(), &error);
    if (!handle)
        LogError("%s", error.c_str());
    return handle;
}

} // namespace

namespace {

PingCards ConfiguredCards() {
    PingCards cards;
    GetConfiguredPingCards(cards); // cards left empty count every frame as lost
    return cards;
}

std::vector<PingPort*> ViewPingPorts(Tester& tester) {
    ViewSink* view = tester.GetView();
    return view ? view->GetPingPortList() : std::vector<PingPort*>();
}

} // namespace

PingTest::PingTest(Tester& tester, platform::Clock& clock)
    : PingTest(tester, ConfiguredCards(), ViewPingPorts(tester), clock) {}

PingTest::PingTest(Tester& tester, const PingCards& cards, std::vector<PingPort*> pingPorts,
                   platform::Clock& clock)
    : m_tester(tester), m_cards(cards), m_pingPorts(std::move(pingPorts)), m_clock(clock) {
    for (SwitchPort* port : tester.GetPortList())
        if (port)
            m_ports.push_back(port->GetPortNo());
    m_lanHandle = OpenCard(m_cards.Lan);
    m_wanHandle = OpenCard(m_cards.Wan);
    m_runHandle = RegisterPingRun(m_pingPorts);
}

PingTest::~PingTest() {
    Close();
}

void PingTest::Close() {
    if (m_runHandle != 0) {
        UnregisterPingRun(m_runHandle);
        m_runHandle = 0;
    }
    m_lanHandle.Reset();
    m_wanHandle.Reset();
    m_pingPorts.clear();
}

bool PingTest::Stopped() const {
    return m_tester.IsStopped();
}

PingPort* PingTest::FindPingPort(int port) const {
    for (PingPort* p : m_pingPorts)
        if (p && p->GetPort() == port)
            return p;
    LogError("无法找到端口号为%d的PingPort", port);
    return nullptr;
}

void PingTest::SendRequest(PingPort& port, bool big) {
    Send(PingDirection::Upstream, port, big);
}

void PingTest::SendReply(PingPort& port, bool big) {
    Send(PingDirection::Downstream, port, big);
}

void PingTest::Send(PingDirection direction, PingPort& port, bool big) {
    const int length = big ? kBigPingFrame : kSmallPingFrame;
    const bool request = direction == PingDirection::Upstream;
    std::vector<uint8_t> buffer(static_cast<size_t>(length));
    PingFrameSource source{m_cards.Lan.Mac, m_cards.Wan.Mac, m_runHandle, &m_clock};
    const bool built = request ? CreatePingRequestPacket(buffer.data(), port, length, source)
                               : CreatePingReplyPacket(buffer.data(), port, length, source);
    if (!built) {
        LogError(request ? "CreatePingRequestPacket Failed" : "CreatePingReplyPacket Failed");
        return;
    }
    platform::SendQueue queue(static_cast<size_t>(length) + 40);
    pcap_pkthdr header{};
    header.caplen = header.len = static_cast<bpf_u_int32>(length);
    queue.Queue(header, buffer.data());
    // A card that could not be opened sends nothing: the frame's record stays unreplied.
    if (queue.Transmit(request ? m_lanHandle : m_wanHandle) < static_cast<size_t>(length))
        LogError("发送失败。");
}

int PingTest::Run() {
    const int maxPort = m_ports.empty() ? 0 : *std::max_element(m_ports.begin(), m_ports.end());
    if (!CheckPingPortCount(maxPort))
        return 2;
    ViewSink* view = m_tester.GetView();
    const auto start = m_clock.Now();
    auto nextRefresh = start;
    int result = 0;

    for (bool big = true;; big = !big) {
        for (int port : m_ports) {
            if (Stopped())
                return 1;
            PingPort* pingPort = FindPingPort(port);
            if (!pingPort) {
                LogWarning("PingPort == NULL,PortId = %d", port);
                result = 2;
                break;
            }
            SendRequest(*pingPort, big);
            SendReply(*pingPort, big);
        }

        const auto now = m_clock.Now();
        // Whole seconds since the start, on the steady clock.
        const long long elapsed = duration_cast<seconds>(now - start).count() * 1000;
        const bool done = elapsed > m_period;
        const int remaining = static_cast<int>((m_period - elapsed) / 1000);
        long long percent = m_period > 0 ? elapsed * 100 / m_period : 100;
        if (percent < 0) {
            LogDebug("Progress < 0，so Progress = 0");
            percent = 0;
        } else if (percent > 100) {
            LogDebug("Progress > 100,so Progress = 100");
            percent = 100;
        }

        for (int port : m_ports) {
            if (Stopped())
                return 1;
            TestInfo* info = view ? view->GetTestInfo(port) : nullptr;
            if (!info) {
                LogWarning("pTestInfo == NULL,PortId = %d", port);
                result = 2;
                break;
            }
            info->Update([&](TestInfo::Data& d) {
                d.Ping.State = 1;
                d.Ping.Percent = static_cast<int32_t>(percent);
                d.Ping.Remaining = remaining;
            });
        }

        if (Stopped())
            return 1;
        if (!done) {
            if (now >= nextRefresh) {
                m_tester.PostToView(WM_PORTS_REFRESH, 0);
                nextRefresh = now + seconds(1);
            }
            m_clock.SleepFor(milliseconds(100));
        }
        if (Stopped())
            return 1;
        if (done)
            break;
    }

    // Late frames still arrive and are marked.
    m_clock.SleepFor(milliseconds(m_lateFrameWaitMs));

    for (int port : m_ports) {
        PingPort* pingPort = FindPingPort(port);
        if (!pingPort) {
            result = 2;
            break;
        }
        PingStatistics tally = TallyPingPort(*pingPort);
        TestInfo* info = view ? view->GetTestInfo(port) : nullptr;
        if (!info) {
            result = 2;
            continue;
        }
        info->Update([&](TestInfo::Data& d) {
            const int32_t percent = d.Ping.Percent, remaining = d.Ping.Remaining;
            d.Ping = tally;
            d.Ping.Percent = percent;
            d.Ping.Remaining = remaining;
            d.Ping.State = 2;
            d.PingFlag = 1;
        });
    }
    m_tester.PostToView(WM_PORTS_REFRESH, 0);
    return result;
}
