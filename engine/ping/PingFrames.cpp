#include "engine/ping/PingFrames.h"

#include "engine/ping/CaptureLog.h"

#include <cstring>
#include <pcap/pcap.h>
#include <random>
#include <shared_mutex>
#include <stdexcept>
#include <string>

#include "engine/log/Logger.h"
#include "platform/net/InternetChecksum.h"

bool CheckPingPortCount(int portCount) {
    if (portCount <= kMaxPingPort)
        return true;
    LogError("PortCount %d is too large for the ping test: a port's VLAN id (port + 1) takes one byte, "
             "so at most %d ports can be tested.",
             portCount, kMaxPingPort);
    return false;
}

PingPort::PingPort(int port) : m_port(port), m_vlanId(static_cast<uint8_t>(port + 1)) {
    if (port < 1 || port > kMaxPingPort)
        throw std::invalid_argument("ping port " + std::to_string(port) + " is outside 1.." +
                                    std::to_string(kMaxPingPort));
}

int32_t PingPort::GetSerial(PingDirection direction) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return ListOf(direction).nextSerial;
}

PingPacket PingPort::AddPacket(PingDirection direction, int length, long long sendTick) {
    std::lock_guard<std::mutex> lock(m_mutex);
    List& list = ListOf(direction);
    PingPacket packet;
    packet.Length = length;
    packet.Port = m_port;
    packet.VlanId = m_vlanId;
    packet.Serial = list.nextSerial;
    packet.SendTick = sendTick;
    list.packets.push_back(packet);
    list.nextSerial = static_cast<int32_t>(static_cast<uint32_t>(list.nextSerial) + 1);
    return packet;
}

bool PingPort::MarkReceived(PingDirection direction, int32_t serial, long long tick, PingPacket* record) {
    std::lock_guard<std::mutex> lock(m_mutex);
    List& list = ListOf(direction);
    const int64_t index = static_cast<int64_t>(serial) - list.firstSerial;
    if (index < 0 || index >= static_cast<int64_t>(list.packets.size()))
        return false;
    PingPacket& packet = list.packets[static_cast<size_t>(index)];
    if (packet.Serial != serial || packet.Port != m_port)
        return false;
    packet.Replied = true;
    packet.ReceiveTick = tick;
    if (record)
        *record = packet;
    return true;
}

std::vector<PingPacket> PingPort::GetPackets(PingDirection direction) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const List& list = ListOf(direction);
    return {list.packets.begin(), list.packets.end()};
}

void PingPort::ClearPackets() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (List* list : {&m_up, &m_down}) {
        list->packets.clear();
        list->firstSerial = list->nextSerial;
    }
}

namespace {

// Offsets of the tagged frame.
constexpr int kOffTag = 12;
constexpr int kOffIp = 18;
constexpr int kOffIpChecksum = 28;
constexpr int kOffIcmp = 38;
constexpr int kOffIcmpChecksum = 40;
constexpr int kOffOpenMarker = 50;
constexpr int kOffPort = 52;
constexpr int kOffSerial = 56;
constexpr int kOffHandle = 60;
constexpr int kOffCloseMarker = 72;
constexpr int kOffFiller = 78;
constexpr int kIpHeaderLength = 20;
constexpr int kTagLength = 4;

void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutChecksum(uint8_t* field, int length, const uint8_t* from) {
    // Stored in the machine's order, the order the sum was made in.
    uint16_t sum = platform::InternetChecksum(length, from);
    std::memcpy(field, &sum, sizeof sum);
}

platform::Clock& ClockOf(platform::Clock* clock) {
    return clock ? *clock : platform::RealClock();
}

bool CreatePingFrame(PingDirection direction, uint8_t* buffer, PingPort& port, int length,
                     const PingFrameSource& source) {
    if (buffer == nullptr) {
        LogError("buffer == NULL");
        return false;
    }
    if (length < kMinPingFrame)
        return false;
    const bool request = direction == PingDirection::Upstream;
    const long long tick = ClockOf(source.Clock).TickMs();
    const PingPacket packet = port.AddPacket(direction, length, tick);
    const uint32_t tick32 = static_cast<uint32_t>(tick);

    std::memset(buffer, 0, static_cast<size_t>(length));
    static const uint8_t kNoMac[6] = {};
    const uint8_t* lan = source.LanMac ? source.LanMac : kNoMac;
    const uint8_t* wan = source.WanMac ? source.WanMac : kNoMac;
    std::memcpy(buffer, request ? wan : lan, 6);
    std::memcpy(buffer + 6, request ? lan : wan, 6);
    buffer[12] = 0x81;
    buffer[13] = 0x00;
    buffer[14] = 0x00;
    buffer[15] = packet.VlanId;
    buffer[16] = 0x08;
    buffer[17] = 0x00;

    uint8_t* ip = buffer + kOffIp;
    ip[0] = 0x45;
    ip[1] = 0x00;
    const uint32_t total = static_cast<uint32_t>(length - kOffIp);
    ip[2] = static_cast<uint8_t>(total >> 8);
    ip[3] = static_cast<uint8_t>(total);
    ip[4] = 0x01;
    ip[5] = 0x01;
    ip[8] = 128;
    ip[9] = 1;
    const uint8_t one[4] = {1, 1, 1, 1}, two[4] = {2, 2, 2, 2};
    std::memcpy(ip + 12, request ? one : two, 4);
    std::memcpy(ip + 16, request ? two : one, 4);
    PutChecksum(buffer + kOffIpChecksum, kIpHeaderLength, ip);

    uint8_t* icmp = buffer + kOffIcmp;
    icmp[0] = request ? 8 : 0;
    icmp[1] = 0;
    PutLe16(icmp + 4, static_cast<uint32_t>(packet.Port));
    PutLe16(icmp + 6, static_cast<uint32_t>(packet.Serial));
    PutLe32(icmp + 8, tick32);
    buffer[kOffOpenMarker] = '{';
    buffer[kOffOpenMarker + 1] = '{';
    PutLe32(buffer + kOffPort, static_cast<uint32_t>(packet.Port));
    PutLe32(buffer + kOffSerial, static_cast<uint32_t>(packet.Serial));
    PutLe32(buffer + kOffHandle, source.RunHandle);
    PutLe32(buffer + 64, tick32);
    buffer[kOffCloseMarker] = '}';
    buffer[kOffCloseMarker + 1] = '}';
    const int fillerLength = length - kOffFiller;
    PutLe32(buffer + 74, static_cast<uint32_t>(fillerLength));
    for (int i = 0; i < fillerLength; ++i)
        buffer[kOffFiller + i] = static_cast<uint8_t>('a' + i % 23);
    PutChecksum(buffer + kOffIcmpChecksum, length - kOffIcmp, icmp);
    return true;
}

// The registered run: its handle and its ports by port number.
struct RunTable {
    std::shared_mutex mutex;
    uint32_t handle = 0;
    std::vector<PingPort*> byPort; // index = port number
    uint32_t nextHandle;

    RunTable() {
        // A random start, so a frame another process sent earlier hardly ever names this run.
        std::random_device random;
        nextHandle = random();
    }
};

RunTable& Runs() {
    static RunTable table;
    return table;
}

std::atomic<bool> g_testing{false};

} // namespace

bool CreatePingRequestPacket(uint8_t* buffer, PingPort& port, int length, const PingFrameSource& source) {
    return CreatePingFrame(PingDirection::Upstream, buffer, port, length, source);
}

bool CreatePingReplyPacket(uint8_t* buffer, PingPort& port, int length, const PingFrameSource& source) {
    return CreatePingFrame(PingDirection::Downstream, buffer, port, length, source);
}

uint32_t RegisterPingRun(const std::vector<PingPort*>& ports) {
    RunTable& runs = Runs();
    std::unique_lock<std::shared_mutex> lock(runs.mutex);
    do
        runs.handle = runs.nextHandle++;
    while (runs.handle == 0);
    runs.byPort.assign(kMaxPingPort + 1, nullptr);
    for (PingPort* port : ports)
        if (port)
            runs.byPort[static_cast<size_t>(port->GetPort())] = port;
    return runs.handle;
}

void UnregisterPingRun(uint32_t handle) {
    RunTable& runs = Runs();
    std::unique_lock<std::shared_mutex> lock(runs.mutex);
    if (runs.handle != handle)
        return;
    runs.handle = 0;
    runs.byPort.clear();
}

void SetTestingFlag(bool testing) {
    g_testing.store(testing);
}

bool IsTestingFlagSet() {
    return g_testing.load();
}

PingFrameResult HandlePingFrame(PingDirection arrival, PingHandlerState& state, const uint8_t* frame,
                                uint32_t capturedLength) {
    const bool lan = arrival == PingDirection::Downstream;
    const char* name = lan ? "lan_nic_packet_handler" : "wan_nic_packet_handler";
    if (!g_testing.load()) {
        state.Count.store(0);
        return PingFrameResult::NotTesting;
    }
    if (frame == nullptr || capturedLength < static_cast<uint32_t>(kMinPingFrame))
        return PingFrameResult::TooShort;
    // Replies go from the WAN card to the LAN card, requests the other way.
    const uint8_t* destination = lan ? state.LanMac : state.WanMac;
    const uint8_t* source = lan ? state.WanMac : state.LanMac;
    if (std::memcmp(frame, destination, 6) != 0 || std::memcmp(frame + 6, source, 6) != 0)
        return PingFrameResult::WrongAddress;

    int shift = 0;
    if (frame[kOffTag] == 0x81 && frame[kOffTag + 1] == 0x00) {
        LogDebug("%s:带有VLan。", name);
    } else {
        if (lan)
            LogDebug("lan_nic_packet_handler:非VLan帧，本应直接丢弃，可能有的网卡会丢弃VLan标记。");
        else
            LogDebug("wan_nic_packet_handler:非VLan帧，本直接丢弃，不过有些网卡会丢失VLan标记。");
        shift = kTagLength;
    }
    // Reads at a tagged offset (16 and on) in either form.
    auto f = [frame, shift](int offset) { return frame + offset - shift; };
    const uint8_t wantedType = lan ? 0 : 8;
    if (*f(kOffIcmp) != wantedType) {
        LogDebug(lan ? "非Ping Reply，直接丢弃。" : "非Ping request，直接丢弃。");
        return PingFrameResult::WrongType;
    }
    LogDebug(lan ? "是Ping Reply" : "是Ping request");

    const uint32_t handle = GetLe32(f(kOffHandle));
    const bool markers =
        std::memcmp(f(kOffOpenMarker), "{{", 2) == 0 && std::memcmp(f(kOffCloseMarker), "}}", 2) == 0;
    const int32_t port = static_cast<int32_t>(GetLe32(f(kOffPort)));
    const int32_t serial = static_cast<int32_t>(GetLe32(f(kOffSerial)));
    const long long now = ClockOf(state.Clock).TickMs();
    PingPacket record;
    bool found = false;
    if (markers) {
        RunTable& runs = Runs();
        std::shared_lock<std::shared_mutex> lock(runs.mutex);
        if (handle != 0 && handle == runs.handle && port >= 1 && port <= kMaxPingPort) {
            PingPort* pingPort = runs.byPort[static_cast<size_t>(port)];
            found = pingPort && pingPort->MarkReceived(arrival, serial, now, &record);
        }
    }
    // Warnings leave the capture path through the state's log, when it has one.
    auto warn = [&state](const char* format, auto... args) {
        if (state.Log)
            state.Log->Queue(LOG_LEVEL_WARNING, format, args...);
        else
            LogWarning(format, args...);
    };
    if (!found) {
        warn("pPingRequestPacket:%d is invalid.", static_cast<int>(handle));
        return PingFrameResult::Invalid;
    }

    const int count = state.Count.fetch_add(1) + 1;
    LogDebug(lan ? "处理Ping Reply包数量：%d" : "处理Ping Request包数量：%d", count);
    // Both ticks come from the steady clock, so the difference cannot wrap or go negative.
    const long long delay = record.ReceiveTick - record.SendTick;
    if (delay < 0)
        warn("delay < 0，应该是因为计数器到了第49天翻转导致的。");
    else if (delay > 1000)
        warn("%s 端口：%d ,包序号：%d ,Ping time = %lld > 1000ms", name, record.Port, record.Serial, delay);
    return PingFrameResult::Counted;
}

void lan_nic_packet_handler(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes) {
    HandlePingFrame(PingDirection::Downstream, *reinterpret_cast<PingHandlerState*>(user), bytes,
                    header->caplen);
}

void wan_nic_packet_handler(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes) {
    HandlePingFrame(PingDirection::Upstream, *reinterpret_cast<PingHandlerState*>(user), bytes,
                    header->caplen);
}

PingStatistics TallyPingPort(const PingPort& port) {
    PingStatistics s;
    for (const PingPacket& p : port.GetPackets(PingDirection::Upstream)) {
        const bool big = p.Length == kBigPingFrame;
        ++(big ? s.BigPingCount : s.SmallPingCount);
        if (p.Replied)
            ++(big ? s.BigPingRecvCount : s.SmallPingRecvCount);
        else
            LogInfo("上行发送失败，端口%d,第 %d 包。", p.Port, p.Serial);
    }
    for (const PingPacket& p : port.GetPackets(PingDirection::Downstream)) {
        const bool big = p.Length == kBigPingFrame;
        ++(big ? s.BigPingReplyCount : s.SmallPingReplyCount);
        if (p.Replied)
            ++(big ? s.BigPingReplyRecvCount : s.SmallPingReplyRecvCount);
        else
            LogInfo("下行发送失败，端口%d,第 %d 包。", p.Port, p.Serial);
    }
    return s;
}
