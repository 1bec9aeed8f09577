#pragma once
// The traffic path of the simulated bench: tagged frames that reach the LAN card's peer go out
// of the WAN card's peer on the same VLAN and back, as the switch and the modems would carry
// them, with a policy per VLAN: pass, drop all, drop exactly every k-th frame of one size and
// direction, or delay. A user-space forwarder over packet sockets, since this kernel has no
// 802.1Q devices and no netem. It runs on a thread of its own inside the bench namespace.

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/files/UniqueFd.h"

namespace bench {

enum class Direction { Upstream, Downstream }; // LAN peer -> WAN peer, WAN peer -> LAN peer

struct PortPolicy {
    enum class Kind { Pass, DropAll, DropEveryKth, Delay };
    Kind kind = Kind::Pass;
    // DropEveryKth: of the frames of this length (tag included) and direction, the first
    // dropped is number 'first' (from 1) and then every k-th after it.
    int k = 0;
    int first = 0;
    int frameLength = 0;
    Direction direction = Direction::Upstream;
    int delayMs = 0; // Delay: every frame, both directions

    static PortPolicy Pass() { return {}; }
    static PortPolicy DropAll() { return {Kind::DropAll}; }
    static PortPolicy DropEveryKth(int k, int frameLength, Direction direction, int first = 0) {
        PortPolicy p{Kind::DropEveryKth};
        p.k = k;
        p.first = first > 0 ? first : k;
        p.frameLength = frameLength;
        p.direction = direction;
        return p;
    }
    static PortPolicy Delay(int milliseconds) {
        PortPolicy p{Kind::Delay};
        p.delayMs = milliseconds;
        return p;
    }
};

struct VlanCounters {
    uint64_t forwarded = 0;
    uint64_t dropped = 0;
};

class TrafficForwarder {
public:
    // 'namespaceFd' is the bench namespace (open descriptor), the peers are links in it.
    TrafficForwarder(int namespaceFd, std::string lanPeer, std::string wanPeer);
    ~TrafficForwarder();
    TrafficForwarder(const TrafficForwarder&) = delete;
    TrafficForwarder& operator=(const TrafficForwarder&) = delete;

    // VLANs without a policy pass; untagged frames never cross.
    void SetPolicy(int vlanId, const PortPolicy& policy);
    // Opens both peers and starts forwarding; false (and the reason) when they cannot be opened.
    bool Start(std::string* error = nullptr);
    void Stop();
    VlanCounters GetCounters(int vlanId, Direction direction) const;

private:
    struct Delayed;
    struct VlanState {
        PortPolicy policy;
        std::array<VlanCounters, 2> counters;
        std::array<uint64_t, 2> matching{}; // frames of the dropped class seen per direction
    };
    void Loop();

    const int m_namespaceFd;
    const std::string m_lanPeer, m_wanPeer;
    platform::UniqueFd m_lanSocket, m_wanSocket, m_wake;
    int m_lanIndex = 0, m_wanIndex = 0;
    mutable std::mutex m_mutex;
    std::map<int, VlanState> m_vlans;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

} // namespace bench
