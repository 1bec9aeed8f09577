#include "engine/config/PcNICInfo.h"

#include "engine/config/GlobalPCInfo.h"
#include "engine/log/Logger.h"
#include "hostnet/pellar/ItemNames.h"
#include "platform/net/CardGuid.h"
#include "platform/net/Netlink.h"

namespace {

// What the program counts as a wired Ethernet card: an Ethernet link that is no loopback and
// no wireless card.
bool IsEthernetCard(const platform::LinkInfo& link) {
    return link.IsEthernet() && !link.IsLoopback() && !link.isWireless && link.mac.size() >= 6;
}

class KernelWifiIdentity : public WifiIdentity {
public:
    CString FirstWirelessInterfaceGuid() override {
        std::vector<platform::LinkInfo> links;
        if (!platform::Netlink().ListLinks(links))
            return CString();
        for (const auto& link : links)
            if (link.isWireless)
                return CString(platform::CardGuidFromMac(link.permanentMac));
        return CString();
    }
};

// The card list of the program's PCInfo: its positions are the card numbers of EnableNetCard.
class PCInfoCardInventory : public CardInventory {
public:
    void Open() override { GlobalPCInfo().InitWMI(1); }
    bool ReadCardMacs(CStringArray& macs) override {
        CWordArray items;
        CPtrArray* texts = nullptr;
        if (!GlobalPCInfo().NetCardInfoGet(items, &texts) || !texts ||
            texts->GetSize() % pellar::kCardOutputCount != 0)
            return false;
        macs.RemoveAll();
        for (int i = kMacItem; i < texts->GetSize(); i += pellar::kCardOutputCount)
            macs.Add(static_cast<const char*>(texts->GetAt(i)));
        return true;
    }
    void Close() override { GlobalPCInfo().ClearWMI(); }

private:
    static constexpr int kMacItem = 12; // MACAddress
};

std::mutex g_instanceMutex;
std::unique_ptr<PcNICInfo> g_instance;
std::atomic<WifiIdentity*> g_wifiIdentity{nullptr};
std::atomic<CardInventory*> g_cardInventory{nullptr};
std::atomic<int> g_nicCounter{0};

} // namespace

NIC::NIC() : m_Instance(g_nicCounter++) {}

PcNICInfo* PcNICInfo::Instance() {
    std::lock_guard lock(g_instanceMutex);
    if (!g_instance) {
        g_instance.reset(new PcNICInfo());
        g_instance->GetWireNicCount();
    }
    return g_instance.get();
}

void PcNICInfo::DeleteInstance() {
    std::lock_guard lock(g_instanceMutex);
    g_instance.reset();
}

void PcNICInfo::SetWifiIdentity(WifiIdentity* identity) {
    g_wifiIdentity = identity;
}
void PcNICInfo::SetCardInventory(CardInventory* inventory) {
    g_cardInventory = inventory;
}

PcNICInfo::PcNICInfo() = default;
PcNICInfo::~PcNICInfo() = default;

bool PcNICInfo::GetWireNicCount() {
    LogDebug("In PcNICInfo::GetWireNicCount()");
    m_list.clear();
    std::vector<platform::LinkInfo> links;
    if (!platform::Netlink().ListLinks(links)) {
        LogWarning("Call to GetAdaptersInfo failed.");
        LogDebug("Out PcNICInfo::GetWireNicCount()");
        return false;
    }
    KernelWifiIdentity kernelIdentity;
    WifiIdentity* identity = g_wifiIdentity.load();
    CString wifiGuid = (identity ? identity : &kernelIdentity)->FirstWirelessInterfaceGuid();
    wifiGuid.MakeUpper();

    for (const auto& link : links) {
        if (!IsEthernetCard(link))
            continue;
        auto nic = std::make_unique<NIC>();
        nic->m_AdapterName = CString(platform::CardGuidFromMac(link.permanentMac));
        nic->m_AdapterName.MakeUpper();
        nic->m_Description = CString(link.name);
        nic->m_InterfaceName = CString(link.name);
        nic->m_IfIndex = link.index;
        nic->m_Mac.SetBytes(link.mac.data()); // longer hardware addresses keep their first six bytes
        // The Wi-Fi card is known by its GUID exactly, never by a part of it.
        if (!wifiGuid.IsEmpty() && nic->m_AdapterName == wifiGuid)
            continue;
        m_list.push_back(std::move(nic));
    }
    LogDebug("Out PcNICInfo::GetWireNicCount()");
    return true;
}

void PcNICInfo::GetNicList(std::vector<NIC*>& list) const {
    list.clear();
    for (const auto& nic : m_list)
        list.push_back(nic.get());
}

NIC* PcNICInfo::FindByGuid(const CString& guid) const {
    for (const auto& nic : m_list)
        if (nic->m_AdapterName == guid)
            return nic.get();
    return nullptr;
}

void PcNICInfo::FindLanNicIndex(const CString& lanGuid) {
    if (m_LanNicIndex != -1)
        return;
    LogDebug("FindLanNicIndex():Start");
    PCInfoCardInventory programInventory;
    CardInventory* inventory = g_cardInventory.load();
    if (!inventory)
        inventory = &programInventory;
    CStringArray macs;
    inventory->Open();
    if (!inventory->ReadCardMacs(macs) && !inventory->ReadCardMacs(macs)) {
        inventory->Close();
        return;
    }
    NIC* lan = FindByGuid(lanGuid);
    if (!lan) {
        LogError("FindLanNicIndex():LAN card %s not found.", lanGuid.GetString());
    } else {
        CString lanMac = lan->m_Mac.GetText();
        lanMac.MakeUpper();
        for (int i = 0; i < macs.GetSize(); ++i) {
            CString mac = macs[i];
            if (mac.MakeUpper() == lanMac) {
                m_LanNicIndex = i;
                break;
            }
        }
    }
    inventory->Close();
    LogDebug("FindLanNicIndex():End");
}

void ClearArpTable() {
    platform::Netlink netlink;
    std::vector<platform::LinkInfo> links;
    if (!netlink.ListLinks(links)) {
        LogWarning("Call to GetAdaptersInfo failed.");
        return;
    }
    for (const auto& link : links) {
        if (!IsEthernetCard(link))
            continue;
        if (netlink.FlushNeighbours(link.index))
            LogDebug("Clear arp table succcess.");
        else
            LogError("Clear arp table failed.");
    }
}
