// The card inventory: devices, adapters, their configuration and the derived items.

#include <cstdlib>
#include <cstring>

#include "hostnet/dunmore/Function.h"
#include "hostnet/dunmore/Guarded.h"
#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PCInfo.h"
#include "platform/files/Registry.h"
#include "platform/wmi/HostLinks.h"
#include "platform/wmi/Provider.h"

using dunmore::Guarded;
using namespace pellar;

namespace {

int AdapterItem(const char* name) {
    return PCInfo::SearchItemIndex(NetAdapterItems, kNetAdapterItemCount, name);
}
int ConfigItem(const char* name) {
    return kNetAdapterItemCount + PCInfo::SearchItemIndex(NetConfigItems, kNetConfigItemCount, name);
}

const int kDeviceID = AdapterItem("DeviceID");
const int kNetConnectionID = AdapterItem("NetConnectionID");
const int kNetConnectionStatus = AdapterItem("NetConnectionStatus");
const int kConfigManagerErrorCode = AdapterItem("ConfigManagerErrorCode");
const int kAdapterType = AdapterItem("AdapterType");
const int kName = AdapterItem("Name");
const int kConfigIndex = PCInfo::SearchItemIndex(NetConfigItems, kNetConfigItemCount, "Index");
const int kIPEnabled = ConfigItem("IPEnabled");
const int kMACAddress = ConfigItem("MACAddress");
const int kSettingID = ConfigItem("SettingID");
const int kPPPOEStatus = ConfigItem("info_PPPOEStatus");
const int kIpHlpIndex = ConfigItem("info_ipHLPNetCardIndex");
const int kDnsStatic = ConfigItem("info_DnsStatic");

const char* TrueFalse(bool value) {
    return value ? "TRUE" : "FALSE";
}

bool Contains(const CString& text, const char* part) {
    return text.Find(part) >= 0;
}

CString Lower(const char* text) {
    CString lower(text);
    return lower.MakeLower();
}

// The GUID of a SettingID "{...}"; false when it is none, so that it names no card.
bool ParseSettingId(const CString& setting, GUID& guid) {
    return setting.GetLength() >= 2 && GuidFromString(setting.Mid(1, setting.GetLength() - 2), guid);
}

// ERROR_MORE_DATA: the value is longer than the reader takes.
constexpr long kMoreData = 234;

} // namespace

int PCInfo::NetCardInfoGet(CWordArray& items, CPtrArray** out) {
    return Guarded(0, [&] {
        ClearQueryBuff();
        ClearNetCardInfo();
        ClearDDKNetCardInfo();
        // The caller's pointer is good (and the list empty) whatever the outcome.
        if (out)
            *out = m_RetText.Pointers();
        EnumNetCards(&m_SetupCards);
        if (!SaveNetCardInfo())
            return 0;
        SaveNetCardConfigInfo();
        ChangeNetCardConfigManagerErrorCodeInfo();
        ChangeNetCardConnectionInfo();
        ChangeNetCardPPPOE_IPEnableInfo();
        ChangeNetCardIPHLPIndex();
        ChangeDnsStatus();

        CString dump = "Valid Network Card Info==============\r\n";
        for (int card = 0; card < m_NetCardCount; ++card)
            for (int item = 0; item < kCardItemCount; ++item)
                dump += CString(ItemNameTable[item]) + ":" + CardItem(card, item) + "\r\n";
        dump += "=======================================\r\n";
        CFunction::DLog("%s", dump.GetString());
        return SelectQueryItem(items, out);
    });
}

void PCInfo::EnumNetCards(SetupCardList* list) {
    if (!list)
        return;
    std::vector<platform::wmi::Device> devices;
    if (platform::wmi::CurrentProvider().ListDevices(devices) != 0) {
        CFunction::RLog("EnumNetCards SetupDiGetClassDevs=NULL");
        return;
    }
    for (const platform::wmi::Device& device : devices) {
        if (device.className != "Net" || device.enumerator == "ROOT")
            continue;
        auto record = std::make_unique<SetupCardRecord>();
        record->deviceIndex = device.index;
        if (device.driverKey.empty()) {
            CFunction::DLog("EnumNetCards GetRegistryProperty Failed");
            continue;
        }
        CString key(device.driverKey);
        int slash = key.Find('\\');
        if (slash < 0) {
            CFunction::DLog("EnumNetCards Not Find Index :%s", key.GetString());
            continue;
        }
        record->driverIndex = std::atoi(key.Mid(slash + 1).Trim());
        if (!device.description.empty())
            record->name = CString(device.description);
        record->disabled = device.disabled ? 1 : 0;
        list->push_back(std::move(record));
    }
    CString text;
    text.Format("EnumNetCards Find Adapter:%d", static_cast<int>(list->size()));
    for (const auto& record : *list)
        text.AppendFormat("\r\n\tName:%s,Index=%d,Disabled:%s", record->name.GetString(), record->driverIndex,
                          TrueFalse(record->disabled));
    CFunction::DLog("%s", text.GetString());
}

int PCInfo::SaveNetCardInfo() {
    int texts = GetWmiClassInfo("Win32_NetworkAdapter", NetAdapterItems, kNetAdapterItemCount, nullptr);
    if (texts == 0) {
        CFunction::RLog("NetCardInfoGet NetworkAdapter=0");
        if (!m_SetupCards.empty())
            PostNetCardNotify(NETCARD_NOTIFY_NO_ADAPTER);
        return 0;
    }
    int adapters = texts / kNetAdapterItemCount;
    auto adapterText = [&](int adapter, int item) {
        return CString(m_QueryOutput.GetAt(adapter * kNetAdapterItemCount + item));
    };
    for (const auto& record : m_SetupCards) {
        if (m_NetCardCount >= kMaxCards)
            break;
        int match = -1;
        for (int a = 0; a < adapters && record->driverIndex != -1; ++a) {
            CString id = adapterText(a, kDeviceID);
            if (id != "N/A" && std::atoi(id) == record->driverIndex) {
                match = a;
                break;
            }
        }
        if (match < 0)
            continue;
        CString name = adapterText(match, kName);
        if (Contains(name, "1394") || Contains(Lower(name), "bluetooth"))
            continue;
        if (bOSXP && adapterText(match, kNetConnectionID).CompareNoCase("N/A") == 0)
            continue;
        CString type = adapterText(match, kAdapterType);
        if (!Contains(type, "802.3") && type != "N/A")
            continue;
        SaveInfo(match * kNetAdapterItemCount, kNetAdapterItemCount, m_NetCardCount);
        ++m_NetCardCount;
    }
    CFunction::DLog("SaveNetCardInfo Valid Net Card:%d", m_NetCardCount);
    return 1;
}

int PCInfo::SaveNetCardConfigInfo() {
    int texts =
        GetWmiClassInfo("Win32_NetworkAdapterConfiguration", NetConfigItems, kNetConfigItemCount, nullptr);
    if (texts == 0 && m_NetCardCount == 0) {
        ClearDDKNetCardInfo();
        CFunction::RLog("NetCardInfoGet  Valid AdapterNum=0");
        return 0;
    }
    int configurations = texts / kNetConfigItemCount;
    for (int card = 0; card < m_NetCardCount; ++card) {
        int deviceId = std::atoi(CardItem(card, kDeviceID));
        int match = -1;
        for (int c = 0; c < configurations; ++c) {
            const char* index = m_QueryOutput.GetAt(c * kNetConfigItemCount + kConfigIndex);
            if (std::strcmp(index, "N/A") != 0 && std::atoi(index) == deviceId) {
                match = c;
                break;
            }
        }
        if (match >= 0) {
            SaveInfo(match * kNetConfigItemCount, kNetConfigItemCount, card);
            continue;
        }
        SaveInfo(kNetConfigItemCount, card);
        CFunction::RLog("NetCardInfoGet Start %s,%d", "Not Find Config bOS98:", bOS98);
        for (int c = 0; c < configurations; ++c)
            CFunction::RLog("%s", m_QueryOutput.GetAt(c * kNetConfigItemCount + kConfigIndex));
        CFunction::RLog("NetCardInfoGet End.Search NetCard:%d", m_NetCardCount);
    }
    return 1;
}

void PCInfo::ChangeNetCardConfigManagerErrorCodeInfo() {
    for (int card = 0; card < m_NetCardCount; ++card) {
        int deviceId = std::atoi(CardItem(card, kDeviceID));
        for (const auto& record : m_SetupCards)
            if (record->driverIndex == deviceId) {
                ChangeNetCardInfo(card, kConfigManagerErrorCode, TrueFalse(record->disabled));
                break;
            }
    }
}

void PCInfo::ChangeNetCardConnectionInfo() {
    // Every Linux host reports the connection state itself; the console tool of the older
    // systems is never needed.
    for (int card = 0; card < m_NetCardCount; ++card) {
        CString status = CardItem(card, kNetConnectionStatus);
        ChangeNetCardInfo(card, kNetConnectionStatus, TrueFalse(status != "N/A" && std::atoi(status) == 2));
    }
}

void PCInfo::ChangeNetCardPPPOE_IPEnableInfo() {
    for (int card = 0; card < m_NetCardCount; ++card) {
        CString setting = CardItem(card, kSettingID);
        GUID guid{};
        // A SettingID that is no GUID names no card: nothing is looked up for it.
        bool parsed = ParseSettingId(setting, guid);
        NetCardBindingStruct entry;
        bool pppoe = parsed &&
                     FindNetCardProtocolBindingLike(u"PPPOE", &guid, &entry, nullptr, nullptr, nullptr) &&
                     entry.Binded != 0;
        ChangeNetCardInfo(card, kPPPOEStatus, TrueFalse(pppoe));
        CFunction::DLog("ChangeNetCardPPPOE_IPEnableInfo PPPOE:%s", TrueFalse(pppoe));
        bool tcpip = parsed &&
                     FindNetCardProtocolBinding(u"TCPIP", &guid, &entry, nullptr, nullptr, nullptr) &&
                     entry.Binded != 0;
        ChangeNetCardInfo(card, kIPEnabled, TrueFalse(tcpip));
        CFunction::DLog("ChangeNetCardPPPOE_IPEnableInfo TCPIP:%s", TrueFalse(tcpip));
    }
}

int PCInfo::FindNetCardProtocolBinding(const char16_t* name, GUID* guid, NetCardBindingStruct* card,
                                       ProtocolBindingStruct** found, ProtocolBindingStruct** all,
                                       int* count) {
    return Guarded(0, [&] { return FindBinding(name, false, guid, card, found, all, count); });
}

int PCInfo::FindNetCardProtocolBindingLike(const char16_t* name, GUID* guid, NetCardBindingStruct* card,
                                           ProtocolBindingStruct** found, ProtocolBindingStruct** all,
                                           int* count) {
    return Guarded(0, [&] { return FindBinding(name, true, guid, card, found, all, count); });
}

int PCInfo::FindBinding(const char16_t* name, bool like, GUID* guid, NetCardBindingStruct* card,
                        ProtocolBindingStruct** found, ProtocolBindingStruct** all, int* count) {
    ProtocolBindingStruct* records = nullptr;
    int recordCount = m_Bindwell.EnumNetProtocolBindings(&records);
    if (all)
        *all = records;
    if (count)
        *count = recordCount;
    if (!records || !guid)
        return 0;
    CString wanted = NarrowText(name);
    wanted.MakeUpper();
    for (int i = 0; i < recordCount; ++i) {
        CString binding = NarrowText(records[i].chBindingName);
        binding.MakeUpper();
        CFunction::DLog("pProtocol[%d].chBindingName = %s", i, binding.GetString());
        if (binding != wanted && !(like && Contains(binding, wanted)))
            continue;
        for (int c = 0; c < records[i].nNetCardCount; ++c) {
            NetCardBindingStruct* entry = records[i].pNetCards[c];
            if (entry && entry->guidInstance == *guid) {
                if (card)
                    *card = *entry;
                if (found)
                    *found = &records[i];
                return 1;
            }
        }
    }
    return 0;
}

void PCInfo::ChangeNetCardIPHLPIndex() {
    GetAdapterInfoByIpHlp();
    for (int card = 0; card < m_NetCardCount; ++card) {
        CString mac = Lower(CardItem(card, kMACAddress));
        int match = -1;
        for (int a = 0; a < m_IpHlpCount; ++a)
            if (Lower(m_IpHlpAdapters[a].mac) == mac) {
                match = a;
                break;
            }
        if (match < 0) {
            CFunction::DLog("ChangeNetCardIPHLPIndex Not Find:%s", mac.GetString());
            continue;
        }
        CString index;
        index.Format("%d", static_cast<int>(m_IpHlpAdapters[match].index));
        ChangeNetCardInfo(card, kIpHlpIndex, index);
    }
}

int PCInfo::GetAdapterInfoByIpHlp() {
    return Guarded(1, [&] {
        m_LogText = "GetAdapterInfoByIpHlp:\r\n";
        m_IpHlpCount = 0;
        std::vector<platform::wmi::HostLink> links;
        if (int error = platform::wmi::ReadHostLinks(links)) {
            CFunction::RLog("GetAdapterInfoByIpHlp 1 nError=%d,%s", error,
                            CFunction::GetLastErrorString(error).GetString());
            return 1;
        }
        // Cards only: a bridge or VLAN carries its card's address and must not stand in for it.
        std::erase_if(links, [](const platform::wmi::HostLink& host) { return !host.IsCard(); });
        if (links.empty()) {
            CFunction::RLog("GetAdapterInfoByIpHlp ERROR_NO_DATA");
            return 1;
        }
        for (const auto& host : links) {
            if (m_IpHlpCount >= kMaxCards)
                break;
            IpHlpAdapterRecord& record = m_IpHlpAdapters[m_IpHlpCount++];
            record.index = static_cast<uint32_t>(host.link.index);
            record.adapterName = CString(host.Guid());
            record.description = CString(host.DisplayName());
            record.dhcpEnabled = host.HasLease() ? 1 : 0;
            record.mac = CString(platform::wmi::MacText(host.link.mac, false));
            m_LogText += "\tName:" + record.adapterName + "\r\n\tDesc:" + record.description;
            m_LogText.AppendFormat("\r\n\tIndex:%d\r\n\tDhcp:%d\r\n\tMac Address:%s\r\n\tIp Address",
                                   static_cast<int>(record.index), static_cast<int>(record.dhcpEnabled),
                                   record.mac.GetString());
            for (const auto& address : host.addresses)
                m_LogText.AppendFormat("\r\n\t\tIp:%s\tMask:%s",
                                       platform::FormatIpv4(address.address).c_str(),
                                       platform::wmi::MaskText(address.prefixLength).c_str());
            m_LogText += "\r\n\tGateway";
            for (uint32_t gateway : host.gateways)
                m_LogText.AppendFormat("\r\n\t\tIp:%s\tMask:%s", platform::FormatIpv4(gateway).c_str(), "");
            m_LogText += "\r\n\t----------------------------------------\r\n";
        }
        CFunction::DLog("%s", m_LogText.GetString());
        return 1;
    });
}

int PCInfo::GetTcpipNameServer(CString guid, CString& out) {
    return Guarded(0, [&] {
        CString value;
        long result =
            platform::RegGetString(platform::Hive::LocalMachine,
                                   CString(platform::wmi::kTcpipInterfacesKey) + guid, "NameServer", value);
        // This library is the store's only writer: a value never written means no static servers.
        if (result == platform::kRegNotFound) {
            out.Empty();
            return 1;
        }
        if (result == platform::kRegSuccess && value.GetLength() >= 1024)
            result = kMoreData;
        if (result != platform::kRegSuccess) {
            CFunction::RLog("GetTcpipNameServer RegQueryValueEx Error=%d,%s", static_cast<int>(result),
                            CFunction::GetLastErrorString(result).GetString());
            return 0;
        }
        out = value;
        return 1;
    });
}

void PCInfo::ChangeDnsStatus() {
    for (int card = 0; card < m_NetCardCount; ++card) {
        CString guid = CardItem(card, kSettingID);
        CString servers;
        GUID parsed{};
        if (!ParseSettingId(guid, parsed) || !GetTcpipNameServer(guid, servers)) {
            CFunction::RLog("ChangeDnsStatus Not find NameServer,Guid=%s", guid.GetString());
            continue;
        }
        const char* isStatic = TrueFalse(!servers.Trim().IsEmpty());
        ChangeNetCardInfo(card, kDnsStatic, isStatic);
        CFunction::DLog("ChangeDnsStatus Adapter [%s] DNS is static:%s", guid.GetString(), isStatic);
    }
}

int PCInfo::SelectQueryItem(CWordArray& /*items*/, CPtrArray** out) {
    return Guarded(0, [&] {
        CString log = "Query Result:\r\n\t";
        for (int card = 0; card < m_NetCardCount; ++card)
            for (int k = kCardOutputFirst; k < kCardOutputFirst + kCardOutputCount; ++k) {
                int position = PCInfo::SearchItemIndex(ItemNameTable, kCardItemCount, ItemNameTable[k]);
                const char* text = CardItem(card, position);
                m_RetText.Add(text);
                log += CString(ItemNameTable[k]) + ":" + text + "\r\n\t";
            }
        if (out)
            *out = m_RetText.Pointers();
        CFunction::DLog("%s", log.GetString());
        if (m_RetText.GetSize() % kCardOutputCount == 0)
            return 1;
        CFunction::RLog("SelectQueryItem ItemNum=%d", m_RetText.GetSize());
        return 0;
    });
}
