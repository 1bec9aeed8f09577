#pragma once
// The PC's wired Ethernet cards, listed once from the kernel (in ifindex order, in the network
// namespace of the calling thread) and kept for the program's life.

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/config/MacAddress.h"
#include "platform/text/Arrays.h"
#include "platform/text/CString.h"

struct pcap_if;
typedef struct pcap_if pcap_if_t;

// One card. Made by PcNICInfo, owned by its list.
class NIC {
public:
    NIC();
    NIC(const NIC&) = delete;
    NIC& operator=(const NIC&) = delete;

    CString m_AdapterName; // the card's GUID, "{...}" upper case
    CString m_Description; // what the card dialog shows: the interface name
    MacAddress m_Mac;
    const int m_Instance; // from a process-wide counter
    CString m_InterfaceName;
    int m_IfIndex = 0;

    // The capture device of the card, an entry of Configer's device list; set by the binding,
    // read by the capture threads.
    pcap_if_t* GetDevice() const { return m_pDevice.load(); }
    void SetDevice(pcap_if_t* device) { m_pDevice.store(device); }

private:
    std::atomic<pcap_if_t*> m_pDevice{nullptr};
};

// The GUID of the first wireless interface, so that a Wi-Fi card that passes for Ethernet is
// left out; empty when there is none or it cannot be told.
class WifiIdentity {
public:
    virtual ~WifiIdentity() = default;
    virtual CString FirstWirelessInterfaceGuid() = 0;
};

// The host library's card inventory: the MAC text of each of its cards, in its order (the card
// numbers of its configuration calls). Read between Open and Close, once more when it failed.
class CardInventory {
public:
    virtual ~CardInventory() = default;
    virtual void Open() {}
    virtual bool ReadCardMacs(CStringArray& macs) = 0;
    virtual void Close() {}
};

class PcNICInfo {
public:
    // The first call builds the list.
    static PcNICInfo* Instance();
    // Deletes the list and its cards (at exit; tests between cases).
    static void DeleteInstance();
    // Seams for the Wi-Fi identity and the card inventory; null restores the defaults (the
    // kernel's own view; the program's PCInfo). They take effect at the next build or search.
    static void SetWifiIdentity(WifiIdentity* identity);
    static void SetCardInventory(CardInventory* inventory);

    ~PcNICInfo();

    // Rebuilds the list; false when the links cannot be read.
    bool GetWireNicCount();
    void GetNicList(std::vector<NIC*>& list) const;
    // The first card whose adapter name is exactly the text.
    NIC* FindByGuid(const CString& guid) const;
    // Finds once the LAN card's position in the card inventory; -1 while not found.
    // With the configured LAN card.
    void FindLanNicIndex();
    void FindLanNicIndex(const CString& lanGuid);
    int GetLanNicIndex() const { return m_LanNicIndex.load(); }

private:
    PcNICInfo();
    std::vector<std::unique_ptr<NIC>> m_list;
    std::atomic<int> m_LanNicIndex{-1};
};

// Flushes the learnt ARP entries of every Ethernet card.
void ClearArpTable();
