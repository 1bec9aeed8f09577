#pragma once
// The frames of the ping traffic test and their records: a tagged ICMP echo request per port and
// pass from the LAN card to the WAN card, a tagged echo reply the other way, a PingPacket record
// per frame sent, and the capture handlers that mark a record when its frame reaches the far card.
//
// A frame names its run by a handle (not an address), and the handlers find its record by run,
// port and serial with every bound checked, so a late frame of an earlier run or a forged one
// can never reach records that are gone. Records are written by the job and the monitor threads
// under their port's lock.

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "engine/records/TestRecords.h"
#include "platform/clock/Clock.h"
#include "platform/text/CString.h"

struct pcap_pkthdr;
class CaptureLog;

constexpr int kBigPingFrame = 1500;
constexpr int kSmallPingFrame = 128;
constexpr int kMinPingFrame = 78; // up to the end of the filler length
// The VLAN id of a port is the port number plus 1, in one byte.
constexpr int kMaxPingPort = 254;

// True when every port up to portCount can carry its VLAN id; otherwise logs why and is false.
bool CheckPingPortCount(int portCount);

// One frame sent.
struct PingPacket {
    int32_t Length = 0;
    int32_t Port = 0;
    uint8_t VlanId = 0;
    int32_t Serial = 0;
    bool Replied = false;      // the far card saw the frame
    long long SendTick = 0;    // steady milliseconds, taken when the record is made
    long long ReceiveTick = 0; // 0 until seen
};

enum class PingDirection { Upstream, Downstream }; // requests LAN -> WAN, replies WAN -> LAN

// The records of one switch port.
class PingPort {
public:
    // 1..kMaxPingPort; throws std::invalid_argument otherwise.
    explicit PingPort(int port);
    PingPort(const PingPort&) = delete;
    PingPort& operator=(const PingPort&) = delete;

    int GetPort() const { return m_port; }
    uint8_t GetVlanId() const { return m_vlanId; }
    // The serial the next frame of the direction gets.
    int32_t GetSerial(PingDirection direction) const;

    // Appends the record of the next frame and advances the serial; returns the record.
    PingPacket AddPacket(PingDirection direction, int length, long long sendTick);
    // Marks the record of this serial seen at 'tick'; false when this port has no such record.
    // 'record' gets the record as marked.
    bool MarkReceived(PingDirection direction, int32_t serial, long long tick, PingPacket* record);
    // A copy of the records of one direction, in sending order.
    std::vector<PingPacket> GetPackets(PingDirection direction) const;
    void ClearPackets();

private:
    struct List {
        int32_t nextSerial = 0;
        int32_t firstSerial = 0; // serial of packets[0]
        std::deque<PingPacket> packets;
    };
    List& ListOf(PingDirection direction) { return direction == PingDirection::Upstream ? m_up : m_down; }
    const List& ListOf(PingDirection direction) const {
        return direction == PingDirection::Upstream ? m_up : m_down;
    }

    const int m_port;
    const uint8_t m_vlanId;
    mutable std::mutex m_mutex;
    List m_up, m_down;
};

// The two cards: capture device, description (for the log) and MAC address.
struct PingCard {
    CString Device;
    CString Description;
    uint8_t Mac[6] = {};
};
struct PingCards {
    PingCard Lan, Wan;
};

// What a frame is built with besides its port.
struct PingFrameSource {
    const uint8_t* LanMac = nullptr;
    const uint8_t* WanMac = nullptr;
    uint32_t RunHandle = 0;
    platform::Clock* Clock = nullptr; // null: the real clock
};

// Fill 'buffer' (length bytes, length >= kMinPingFrame) with the port's next request or reply,
// append its record to the port and advance the serial. False (nothing recorded) for a null
// buffer or a length too small for the frame.
bool CreatePingRequestPacket(uint8_t* buffer, PingPort& port, int length, const PingFrameSource& source);
bool CreatePingReplyPacket(uint8_t* buffer, PingPort& port, int length, const PingFrameSource& source);

// The run whose frames the handlers count: registered by the job before its first frame and
// removed before its ports go. Returns the run's handle (never 0).
uint32_t RegisterPingRun(const std::vector<PingPort*>& ports);
void UnregisterPingRun(uint32_t handle);

// The process-wide testing flag: the handlers ignore every frame while it is clear.
void SetTestingFlag(bool testing);
bool IsTestingFlagSet();

// What one capture handler keeps: the card pair it checks and its running count.
struct PingHandlerState {
    uint8_t LanMac[6] = {};
    uint8_t WanMac[6] = {};
    platform::Clock* Clock = nullptr; // null: the real clock
    std::atomic<int> Count{0};
    // Where the handler's warnings go so that it never waits for a log write (the monitors');
    // null: straight into the log.
    CaptureLog* Log = nullptr;
};

enum class PingFrameResult { Counted, NotTesting, TooShort, WrongAddress, WrongType, Invalid };

// Checks one captured frame as the LAN card's handler (replies, arrival Downstream) or the WAN
// card's (requests, arrival Upstream) and marks its record.
PingFrameResult HandlePingFrame(PingDirection arrival, PingHandlerState& state, const uint8_t* frame,
                                uint32_t capturedLength);

// The capture callbacks; 'user' is the PingHandlerState.
void lan_nic_packet_handler(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes);
void wan_nic_packet_handler(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes);

// Counts the port's frames sent and seen per class; State is 0.
PingStatistics TallyPingPort(const PingPort& port);
