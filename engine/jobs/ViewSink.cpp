#include "engine/jobs/ViewSink.h"

#include <algorithm>

#include "engine/records/TestRecords.h"

RecordingViewSink::RecordingViewSink(int portCount) {
    for (int port = 1; port <= portCount; ++port)
        m_testInfos.push_back(std::make_unique<TestInfo>(port));
}

RecordingViewSink::~RecordingViewSink() = default;

void RecordingViewSink::PostViewMessage(unsigned message, uintptr_t wParam, intptr_t lParam,
                                        uint64_t jobSerial) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.push_back({message, wParam, lParam, jobSerial});
    m_changed.notify_all();
}

void RecordingViewSink::SignalTestEnded(uint64_t jobSerial) {
    PostViewMessage(kTestEndedEntry, 0, 0, jobSerial);
}

std::vector<SwitchPort*> RecordingViewSink::GetLinkUpPorts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_linkUpPorts;
}

TestInfo* RecordingViewSink::GetTestInfo(int port) {
    if (port < 1 || port > static_cast<int>(m_testInfos.size()))
        return nullptr;
    return m_testInfos[port - 1].get();
}

void RecordingViewSink::SetLinkUpPorts(std::vector<SwitchPort*> ports) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_linkUpPorts = std::move(ports);
}

std::vector<PingPort*> RecordingViewSink::GetPingPortList() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pingPorts;
}

void RecordingViewSink::SetPingPortList(std::vector<PingPort*> ports) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pingPorts = std::move(ports);
}

std::vector<RecordingViewSink::Entry> RecordingViewSink::Entries() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries;
}

bool RecordingViewSink::WaitFor(unsigned message, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        return std::any_of(m_entries.begin(), m_entries.end(),
                           [&](const Entry& e) { return e.message == message; });
    });
}
