#include "engine/ping/NicMonitors.h"

#include <cerrno>
#include <cstring>
#include <pcap/pcap.h>
#include <sys/resource.h>
#include <unistd.h>

#include "engine/Common.h"
#include "engine/config/Configer.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "platform/net/Capture.h"

bool GetConfiguredPingCards(PingCards& cards) {
    Configer* config = Configer::GetInstance();
    if (!config || !config->CheckNicConfigured())
        return false;
    const NIC* lan = config->GetLanNic();
    const NIC* wan = config->GetWanNic();
    if (!lan || !wan)
        return false;
    auto fill = [](PingCard& card, const NIC* nic) {
        const pcap_if_t* device = nic->GetDevice();
        card.Device = device ? CString(device->name) : nic->m_InterfaceName;
        card.Description = nic->m_Description;
        std::memcpy(card.Mac, nic->m_Mac.GetBytes(), 6);
    };
    fill(cards.Lan, lan);
    fill(cards.Wan, wan);
    return true;
}

NicMonitor::NicMonitor(PingDirection arrival, const PingCards& cards, platform::Clock& clock)
    : m_arrival(arrival), m_card(arrival == PingDirection::Downstream ? cards.Lan : cards.Wan) {
    std::memcpy(m_state.LanMac, cards.Lan.Mac, 6);
    std::memcpy(m_state.WanMac, cards.Wan.Mac, 6);
    m_state.Clock = &clock;
    m_state.Log = &m_log;
}

NicMonitor::~NicMonitor() {
    Stop();
}

const char* NicMonitor::Name() const {
    return m_arrival == PingDirection::Downstream ? "LANic_Monitor" : "WANic_Monitor";
}

void NicMonitor::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        if (m_capturing)
            pcap_breakloop(m_capturing);
    }
    Join();
}

bool NicMonitor::WaitUntilCapturing(uint32_t milliseconds) {
    return m_open.Wait(milliseconds) == platform::kWaitObject0;
}

void NicMonitor::RaisePriority() {
    // The normal class's highest level, not real-time: a real-time thread that keeps busy under
    // a flood would leave nothing to the rest of the machine.
    constexpr int kHighestNice = -20;
    const id_t self = static_cast<id_t>(gettid());
    if (setpriority(PRIO_PROCESS, self, kHighestNice) != 0)
        LogWarning("%s SetThreadPriority失败。", Name());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, self);
    if (errno != 0 || nice != kHighestNice)
        LogWarning("%s提升线程优先级失败1。", Name());
    else
        LogDebug("%s提升线程优先级成功。", Name());
}

int NicMonitor::Run() {
    // A thread this one starts would inherit its priority: the log's must not be started here.
    StartSuperLogger();
    RaisePriority();
    const bool lan = m_arrival == PingDirection::Downstream;
    std::string error;
    platform::CaptureOptions options; // promiscuous, 1000 ms, immediate, incoming only
    // The handlers read the first 78 bytes of a frame. Each frame takes a whole snapshot's room
    // in the kernel's ring: with 64 KiB snapshots the ring held about a thousand frames, a pause
    // of a few milliseconds at line rate, so whole bursts were lost.
    options.snapshotLength = kMonitorSnapshotLength;
    platform::PcapHandle handle = platform::OpenCapture(m_card.Device.GetString(), options, &error);
    if (!handle) {
        if (!lan)
            LogError("%s", error.c_str());
        CString text;
        text.Format(LoadStringId(32782), m_card.Device.GetString());
        LogErrorString(CString(lan ? " LANic_Monitor::Capture()" : " WANic_Monitor::Capture()") + text);
        // Monitors have no window of their own: the box goes through the prompt service.
        ShowErrorMessage(text);
        return -1;
    }
    if (lan)
        LogDebug("listening on %s...", m_card.Description.GetString());
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop)
            return 0;
        m_capturing = handle.Get();
    }
    m_open.Set();
    const int ended = pcap_loop(handle.Get(), -1, lan ? lan_nic_packet_handler : wan_nic_packet_handler,
                                reinterpret_cast<u_char*>(&m_state));
    // Only Stop should end the loop; anything else (the card removed) leaves its direction
    // uncounted from now on, so say why.
    if (ended == PCAP_ERROR)
        LogError("%s: %s", Name(), pcap_geterr(handle.Get()));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_capturing = nullptr;
    }
    handle.Reset();
    LogInfo(lan ? "LANic_Monitor Exited." : "WANic_Monitor Capture() Exited.");
    return ended == PCAP_ERROR ? -1 : 0;
}

namespace {

std::mutex g_monitorsMutex;
std::unique_ptr<LANic_Monitor> g_lanMonitor;
std::unique_ptr<WANic_Monitor> g_wanMonitor;

template <class Monitor> Monitor* MonitorInstance(std::unique_ptr<Monitor>& slot, const char* name) {
    std::lock_guard<std::mutex> lock(g_monitorsMutex);
    PingCards cards;
    if (!GetConfiguredPingCards(cards)) {
        LogInfo("%s::Instance(),网卡未配置，不能启动。", name);
        return slot.get();
    }
    if (!slot) {
        LogDebug("Thread %s is started.", name);
        slot = std::make_unique<Monitor>(cards);
        slot->Start();
    }
    return slot.get();
}

template <class Monitor> void DeleteMonitor(std::unique_ptr<Monitor>& slot, const char* name) {
    std::unique_ptr<Monitor> monitor;
    {
        std::lock_guard<std::mutex> lock(g_monitorsMutex);
        monitor = std::move(slot);
    }
    if (!monitor)
        return;
    if (!monitor->IsStarted()) {
        LogDebug("this->m_pThread == NULL");
    } else if (!monitor->IsRunning()) {
        LogDebug("线程已经退出。");
    } else {
        monitor->Stop();
        LogDebug("%s停止成功。", name);
    }
}

} // namespace

LANic_Monitor::~LANic_Monitor() {
    Stop();
}

LANic_Monitor* LANic_Monitor::Instance() {
    return MonitorInstance(g_lanMonitor, "LANic_Monitor");
}

void LANic_Monitor::DeleteInstance() {
    DeleteMonitor(g_lanMonitor, "LANic_Monitor");
}

WANic_Monitor::~WANic_Monitor() {
    Stop();
}

WANic_Monitor* WANic_Monitor::Instance() {
    return MonitorInstance(g_wanMonitor, "WANic_Monitor");
}

void WANic_Monitor::DeleteInstance() {
    DeleteMonitor(g_wanMonitor, "WANic_Monitor");
}
