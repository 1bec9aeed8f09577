// Card configuration: link state, addresses, gateway, name servers, DHCP, protocol bindings and
// the library's registry writer.

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "hostnet/dunmore/Function.h"
#include "hostnet/dunmore/Guarded.h"
#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PCInfo.h"
#include "platform/net/CardGuid.h"
#include "platform/net/Netlink.h"
#include "platform/wmi/HostLinks.h"
#include "platform/wmi/Provider.h"

using dunmore::Guarded;
using platform::wmi::Value;

namespace {

const int kDeviceID = pellar::CardItemIndex("DeviceID");
const int kSettingID = pellar::CardItemIndex("SettingID");
const int kDnsStatic = pellar::CardItemIndex("info_DnsStatic");

constexpr const char* kConfigurationClass = "Win32_NetworkAdapterConfiguration";

// Device node status and problem numbers of a link, as the device tree reported them.
constexpr unsigned kDnStarted = 0x8;
constexpr unsigned kDnHasProblem = 0x400;
constexpr unsigned kDnDisableable = 0x2000;
constexpr unsigned kProblemDisabled = 22;

struct NodeStatus {
    unsigned status = 0;
    unsigned problem = 0;
};

NodeStatus StatusOf(const platform::LinkInfo& link) {
    if (link.IsAdminUp())
        return {kDnStarted | kDnDisableable, 0};
    return {kDnHasProblem | kDnDisableable, kProblemDisabled};
}

CString ObjectPath(int index) {
    CString path;
    path.Format("%s=%d", kConfigurationClass, index);
    return path;
}

// 10 + ReturnValue for the two successes; a known failure is logged with its text.
int MapReturnValue(int returnValue, const char* errorFormat) {
    if (returnValue == 0 || returnValue == 1)
        return 10 + returnValue;
    if (const char* text = PCInfo::WmiReturnText(returnValue))
        CFunction::RLog(errorFormat, text, returnValue);
    return 0;
}

CString GuidText(GUID* guid, const char* error) {
    return guid ? GuidToString(*guid) : CString(error);
}

} // namespace

const char* PCInfo::WmiReturnText(int code) {
    static const char* const texts[] = {
        "Method not supported on this platform.",
        "Unknown failure.",
        "Invalid subnet mask.",
        "An error occurred while processing an instance that was returned.",
        "Invalid input parameter.",
        "More than five gateways specified.",
        "Invalid IP address.",
        "Invalid gateway IP address.",
        "An error occurred while accessing the registry for the requested information.",
        "Invalid domain name.",
        "Invalid host name.",
        "No primary or secondary WINS server defined.",
        "Invalid file.",
        "Invalid system path.",
        "File copy failed.",
        "Invalid security parameter.",
        "Unable to configure TCP/IP service.",
        "Unable to configure DHCP service.",
        "Unable to renew DHCP lease.",
        "Unable to release DHCP lease.",
        "IP not enabled on adapter.",
        "IPX not enabled on adapter.",
        "Frame/network number bounds error.",
        "Invalid frame type.",
        "Invalid network number.",
        "Duplicate network number.",
        "Parameter out of bounds.",
        "Access denied.",
        "Out of memory.",
        "Already exists.",
        "Path, file, or object not found.",
        "Unable to notify service.",
        "Unable to notify DNS service.",
        "Interface not configurable.",
        "Not all DHCP leases could be released or renewed.",
    };
    static_assert(std::size(texts) == 98 - 64 + 1);
    if (code >= 64 && code <= 98)
        return texts[code - 64];
    if (code == 100)
        return "DHCP not enabled on adapter.";
    return nullptr;
}

int PCInfo::CardDeviceId(int card) const {
    const char* id = CardItem(card, kDeviceID);
    return std::strcmp(id, "N/A") == 0 ? -1 : std::atoi(id);
}

int PCInfo::EnableNetCard(int card, int enable) {
    return Guarded(0, [&] {
        if (card < 0 || card >= m_NetCardCount) {
            CFunction::RLog("EnableNetCard NetIndex AdapterNum:%d,%d", card, m_NetCardCount);
            return 0;
        }
        int deviceId = CardDeviceId(card);
        SetupCardRecord* record = nullptr;
        for (const auto& r : m_SetupCards)
            if (r->driverIndex != -1 && r->driverIndex == deviceId) {
                record = r.get();
                break;
            }
        // The device number is a link's ifindex: change it only while the same card stands
        // there, never a link made since under the number of a removed one.
        if (record) {
            platform::Netlink netlink;
            auto link = netlink.GetLink(record->deviceIndex);
            if (!link || CString(platform::CardGuidFromMac(link->permanentMac)) != CardItem(card, kSettingID))
                record = nullptr;
        }
        if (!record) {
            CFunction::RLog("EnableNetCard Find Adapter DDK ValidAdapter:%d,%d",
                            static_cast<int>(m_SetupCards.size()), m_NetCardCount);
            return 0;
        }
        int xp = NetCardStateChangeXP(record, enable);
        int server = NetCardStateChange2003(record, enable);
        int result = xp == 1 || server == 1 ? 1 : 0;
        CFunction::DLog("\nEnableNetCard iIndex=%d, return %d", card, result);
        return result;
    });
}

int PCInfo::NetCardStateChangeXP(SetupCardRecord* record, int enable) {
    return Guarded(0, [&] { return NetCardStateChange(record, enable, false); });
}

int PCInfo::NetCardStateChange2003(SetupCardRecord* record, int enable) {
    return Guarded(0, [&] { return NetCardStateChange(record, enable, true); });
}

// The two variants differ in their scope on the original host and in their log lines.
int PCInfo::NetCardStateChange(SetupCardRecord* record, int enable, bool global) {
    const char* name = global ? "NetCardStateChange2003" : "NetCardStateChangeXP";
    if (!record)
        return 0;
    platform::Netlink netlink;
    if (!netlink.IsOpen()) {
        CFunction::RLog("%s SetupDiGetClassDevs FALSE", name);
        return 0;
    }
    auto link = netlink.GetLink(record->deviceIndex);
    if (!link) {
        CFunction::RLog("%s SetupDiEnumDeviceInfo FALSE", name);
        return 0;
    }
    NodeStatus node = StatusOf(*link);
    CFunction::DLog(global ? "%s Change:%s.Current Status=0X%0X Problem=0X%0X"
                           : "%s Change:%s .Current Status=0X%0X Problem=0X%0X",
                    name, enable ? "Enable" : "Disable", node.status, node.problem);
    bool disabled = (node.status & kDnHasProblem) && node.problem == kProblemDisabled;
    if (enable && !disabled) {
        CFunction::DLog("%s Net Card has been Enabled.Exit!!!", name);
        record->disabled = 0;
        return 0;
    }
    if (!enable && disabled) {
        CFunction::DLog(global ? "%s Net Card has been Disabled. Exit!!!"
                               : "%s Net Card has been Disabled.Exit!!!",
                        name);
        record->disabled = 1;
        return 0;
    }
    // The class installer's property change is the link's administrative state.
    if (!netlink.SetLinkUp(record->deviceIndex, enable != 0)) {
        if (!enable)
            CFunction::RLog("%s NetCard Disable Error:Problem=%d,Status=0X%0X ", name, node.problem,
                            node.status);
        else
            CFunction::RLog(
                global ? "%s SetupDiCallClassInstaller FALSE" : "%s SetupDiCallClassInstaller Failed", name);
        return 0;
    }
    link = netlink.GetLink(record->deviceIndex);
    node = link ? StatusOf(*link) : NodeStatus{};
    record->disabled = (node.status & kDnHasProblem) && node.problem == kProblemDisabled ? 1 : 0;
    CFunction::DLog("%s Status Changed. Status=0X%0X Problem=0X%0X", name, node.status, node.problem);
    return 1;
}

Value PCInfo::CreateOneElementBstrArray(const char* text) {
    return Value::Texts({text ? text : ""});
}

int PCInfo::WMISetIPAddress(const char* ip, const char* mask, int index) {
    return Guarded(0, [&] {
        if (!pSvc) {
            CFunction::RLog("WMISetIPAddress pSvc=NULL bInitWMISuccess:%d", bInitWMISuccess);
            return 0;
        }
        platform::wmi::Object inputs;
        inputs["IPAddress"] = CreateOneElementBstrArray(ip);
        inputs["SubnetMask"] = CreateOneElementBstrArray(mask);
        int returnValue = pSvc->ExecMethod(ObjectPath(index).str(), "EnableStatic", inputs);
        if (returnValue < 0) {
            CFunction::RLog("WMISetIPAddress ExecMethod:%d", returnValue);
            return 0;
        }
        return MapReturnValue(returnValue, "WMISetIPAddress:Error=%s ,id=%d");
    });
}

int PCInfo::WMISetGateway(const char* gateway, int index, const char* metric) {
    return Guarded(0, [&] {
        if (!pSvc) {
            CFunction::RLog("WMISetGateway pSvc=NULL bInitWMISuccess:%d", bInitWMISuccess);
            return 0;
        }
        platform::wmi::Object inputs;
        inputs["DefaultIPGateway"] = CreateOneElementBstrArray(gateway);
        inputs["GatewayCostMetric"] = CreateOneElementBstrArray(metric ? metric : "1");
        int returnValue = pSvc->ExecMethod(ObjectPath(index).str(), "SetGateways", inputs);
        return returnValue < 0 ? 0 : MapReturnValue(returnValue, "WMISetGateway Error=%s,id=%d");
    });
}

int PCInfo::WMISetDNS(const char* dns, int index) {
    return Guarded(0, [&] {
        if (!pSvc) {
            CFunction::RLog("WMISetDNS pSvc=NULL bInitWMISuccess:%d", bInitWMISuccess);
            return 0;
        }
        platform::wmi::Object inputs;
        // No list at all clears the static servers.
        if (!dns || ::strcasecmp(dns, "NULL") != 0)
            inputs["DNSServerSearchOrder"] = CreateOneElementBstrArray(dns);
        int returnValue = pSvc->ExecMethod(ObjectPath(index).str(), "SetDNSServerSearchOrder", inputs);
        return returnValue < 0 ? 0 : MapReturnValue(returnValue, "WMISetDNS Error=%s id=%d");
    });
}

int PCInfo::WMIEnableDHCP(int index) {
    return Guarded(0, [&] {
        if (!pSvc) {
            CFunction::RLog("WMIEnableDHCP pSvc=NULL bInitWMISuccess:%d", bInitWMISuccess);
            return 0;
        }
        int returnValue = pSvc->ExecMethod(ObjectPath(index).str(), "EnableDHCP", {});
        return returnValue < 0 ? 0 : MapReturnValue(returnValue, "WMIEnableDHCP Error=%s id=%d");
    });
}

int PCInfo::WMIRenewDHCP(int index, unsigned long wait) {
    return Guarded(0, [&] {
        if (!pSvc) {
            CFunction::RLog("WMIRenewDHCP pSvc=NULL bInitWMISuccess:%d", bInitWMISuccess);
            return 0;
        }
        std::unique_ptr<platform::wmi::CallResult> call;
        int error = index == -1 ? pSvc->ExecMethodAsync(kConfigurationClass, "RenewDHCPLeaseAll", {}, call)
                                : pSvc->ExecMethodAsync(ObjectPath(index).str(), "RenewDHCPLease", {}, call);
        if (error == platform::wmi::kInvalidClass) {
            CFunction::RLog("WMIRenewDHCP 3 %s, %d", "GetObject", error);
            return 0;
        }
        if (error != 0 || !call) {
            CFunction::RLog("WMIRenewDHCP 1 %s, %d", "ExecMethod", error);
            return 0;
        }
        if (wait == 0)
            return 10;
        int status = platform::wmi::kTimedOut, returnValue = 0;
        for (unsigned long round = 0; round < wait && status != 0; ++round)
            status = call->GetCallStatus(1000, returnValue);
        if (status != 0) {
            CFunction::RLog("WMIRenewDHCP GetCallStatus:%d", status);
            return 0;
        }
        if (returnValue == 0 || returnValue == 1)
            return 10 + returnValue;
        // A failed renewal is a failure, whatever its code.
        if (const char* text = WmiReturnText(returnValue))
            CFunction::RLog("WMIRenewDHCP Error:%s,id=%d", text, returnValue);
        else
            CFunction::RLog("WMIRenewDHCP Error:%d", returnValue);
        return 0;
    });
}

int PCInfo::SetIPAddr(const char* ip, const char* mask, int card) {
    return Guarded(0, [&] {
        if (card < 0 || card >= m_NetCardCount) {
            CFunction::RLog("SetIPAddr NetIndex TotalAdapter:%d,%d", card, m_NetCardCount);
            return 0;
        }
        return WMISetIPAddress(ip, mask, CardDeviceId(card));
    });
}

int PCInfo::SetGateway(const char* gateway, int card, int /*flag98*/) {
    return Guarded(0, [&] {
        if (card < 0 || card >= m_NetCardCount) {
            CFunction::RLog("SetGateway NetIndex TotalAdapter:%d,%d", card, m_NetCardCount);
            return 0;
        }
        return WMISetGateway(gateway, CardDeviceId(card));
    });
}

int PCInfo::SetDNS(const char* dns, int card, const char* /*dns98*/, int /*flag98*/) {
    return Guarded(0, [&] {
        if (card < 0 || card >= m_NetCardCount) {
            CFunction::RLog("SetDNS NetIndex TotalAdapter:%d,%d", card, m_NetCardCount);
            return 0;
        }
        return WMISetDNS(dns, CardDeviceId(card));
    });
}

int PCInfo::SetDynaDNS(int card, int /*flag98*/) {
    return Guarded(0, [&] {
        if (card < 0 || card >= m_NetCardCount) {
            CFunction::RLog("SetDynaDNS NetIndex TotalAdapter:%d,%d", card, m_NetCardCount);
            return 0;
        }
        return WMISetDNS("NULL", CardDeviceId(card));
    });
}

int PCInfo::EnableDhcp(int card, long ifIndex) {
    return Guarded(0, [&] {
        if (card < 0 || card >= m_NetCardCount) {
            CFunction::RLog("EnableDhcp NetIndex TotalAdapter:%d,%d", card, m_NetCardCount);
            return 0;
        }
        if (bOSXP) {
            CFunction::RLog("EnableDhcp , bOSXP, iNetCardIndex=%d", card);
            return WMIEnableDHCP(CardDeviceId(card));
        }
        CFunction::RLog("EnableDhcp , 2000, iNetCardIndex=%d, ifIndex=%d", card, static_cast<int>(ifIndex));
        return ifIndex == -1 ? EnableDhcp2000(card) : EnableDhcp2000Ex(card, ifIndex);
    });
}

int PCInfo::EnableDhcp2000(int card) {
    // The older systems' console script has no counterpart on a Linux host.
    CFunction::RLog("EnableDhcp2000 card %d: no interface script on this host", card);
    return 0;
}

int PCInfo::EnableDhcp2000Ex(int card, long ifIndex) {
    return Guarded(0, [&] {
        GetAdapterInfoByIpHlp();
        const IpHlpAdapterRecord* adapter = nullptr;
        for (int a = 0; a < m_IpHlpCount && !adapter; ++a)
            if (static_cast<long>(m_IpHlpAdapters[a].index) == ifIndex)
                adapter = &m_IpHlpAdapters[a];
        if (!adapter)
            return 0;
        // The static gateway goes with the static address.
        if (platform::RegSetMultiString(platform::Hive::LocalMachine,
                                        CString(platform::wmi::kTcpipInterfacesKey) + adapter->adapterName,
                                        "DefaultGateway", CStringArray()) != platform::kRegSuccess)
            return 0;
        return WMIEnableDHCP(CardDeviceId(card));
    });
}

int PCInfo::RenewDhcp(int card, unsigned long wait) {
    return Guarded(
        0, [&] { return WMIRenewDHCP(card >= 0 && card < m_NetCardCount ? CardDeviceId(card) : -1, wait); });
}

int PCInfo::IsNetCardDNSStatic(int card) {
    if (card < 0 || card >= m_NetCardCount) {
        CFunction::RLog("IsNetCardDNSStatic:%d %d", card, m_NetCardCount);
        return -1;
    }
    const char* text = CardItem(card, kDnsStatic);
    if (std::strcmp(text, "TRUE") == 0)
        return 1;
    if (std::strcmp(text, "FALSE") == 0)
        return 0;
    return -1;
}

int PCInfo::EnableTCPIPBinding(int card, int enable) {
    return Guarded(0, [&] { return EnableBindings(card, enable, false); });
}

int PCInfo::EnablePPPOEBinding(int card, int enable) {
    return Guarded(0, [&] { return EnableBindings(card, enable, true); });
}

int PCInfo::EnableBindings(int card, int enable, bool pppoe) {
    struct Protocol {
        const char16_t* name;
        const char16_t* foundName;
        const char* line; // the DLog line of the call, or none
    };
    const Protocol tcpip[] = {{u"TCPIP6", u"TCPIP6_Found", "\n EnableBinding Protocol TCPIP6, return %d"},
                              {u"TCPIP", u"TCPIP_Found", "\n EnableBinding Protocol TCPIP, return %d"}};
    const Protocol ppp[] = {{u"RASPPPOE", u"RASPPPOE_Found", nullptr}, {u"PPPOE", u"PPPOE_Found", nullptr}};
    bool done = false;
    if (card >= 0 && card < m_NetCardCount) {
        CString setting = CardItem(card, kSettingID);
        GUID guid{};
        bool parsed =
            setting.GetLength() >= 2 && GuidFromString(setting.Mid(1, setting.GetLength() - 2), guid);
        for (const Protocol& protocol : pppoe ? ppp : tcpip) {
            NetCardBindingStruct entry;
            ProtocolBindingStruct* found = nullptr;
            ProtocolBindingStruct* all = nullptr;
            int count = 0;
            if (!parsed || !FindNetCardProtocolBinding(protocol.name, &guid, &entry, &found, &all, &count) ||
                !found) {
                LogBindwellSearchError(protocol.name, parsed ? &guid : nullptr, count, all);
                continue;
            }
            int result = m_Bindwell.EnableBinding(entry.chToken, found->chComponentID, enable);
            if (protocol.line)
                CFunction::DLog(protocol.line, result);
            if (result == 0)
                LogBindwellSearchError(protocol.foundName, &guid, count, all);
            else if (result == -1)
                PostNetCardNotify(NETCARD_NOTIFY_BIND_REFUSED, true);
            // A refusal is no change.
            done = done || result > 0;
        }
    }
    CFunction::RLog(pppoe ? "EnablePPPOEBinding NetIndex TotalAdapter:%d,%d"
                          : "EnableTCPIPBinding NetIndex TotalAdapter:%d,%d",
                    card, m_NetCardCount);
    return done ? 1 : 0;
}

void PCInfo::LogBindwellSearchError(const char16_t* name, GUID* guid, int count,
                                    ProtocolBindingStruct* records) {
    Guarded(0, [&] {
        if (!records || count <= 0) {
            CFunction::RLog("LogBindwellSearchError pProtocol=NULL");
            return 0;
        }
        m_LogText.Format("Bindwell Search:%s,guid=%s\r\n", NarrowText(name).GetString(),
                         GuidText(guid, "input guid error").GetString());
        for (int i = 0; i < count; ++i) {
            const ProtocolBindingStruct& record = records[i];
            m_LogText.AppendFormat("DisplayName:%s\r\nBindingName:%s\r\nComponentID:%s\r\n",
                                   NarrowText(record.chDisplayName).GetString(),
                                   NarrowText(record.chBindingName).GetString(),
                                   NarrowText(record.chComponentID).GetString());
            for (int c = 0; c < record.nNetCardCount; ++c) {
                NetCardBindingStruct* entry = record.pNetCards ? record.pNetCards[c] : nullptr;
                if (!entry)
                    continue;
                m_LogText.AppendFormat(
                    "\tCard Name:%s\r\n\ttoken:%s\r\n\tid:%s\r\n\tenable:%d\r\n\tBinded:%d\r\n",
                    NarrowText(entry->chCardName).GetString(), NarrowText(entry->chToken).GetString(),
                    NarrowText(entry->chId).GetString(), entry->enable, entry->Binded);
                m_LogText += "\tguid:" + GuidToString(entry->guidInstance) + "\r\n";
            }
        }
        m_LogText += "Bindwell Search Log End\r\n";
        CFunction::DLog("%s", m_LogText.GetString());
        return 0;
    });
}

int PCInfo::IsTCPIPInstalled() {
    return bOS98 ? 1 : m_Bindwell.IsProtocolInstalled(u"TCPIP");
}

int PCInfo::IsTCPIP6Installed() {
    return bOS98 ? 1 : m_Bindwell.IsProtocolInstalled(u"TCPIP6");
}

int PCInfo::IsPPPOEInstalled() {
    return bOS98 ? 1 : m_Bindwell.IsProtocolInstalled(u"RASPPPOE");
}

int PCInfo::InstallProtocol(HWND owner) {
    return Guarded(0, [&] { return m_Bindwell.InstallProtocol(owner); });
}

int PCInfo::SetRegValue(platform::Hive root, const char* subKey, const char* valueName, unsigned long type,
                        const char* data) {
    return Guarded(0, [&] {
        CString key = subKey ? subKey : "";
        CString name = valueName ? valueName : "";
        CString text = data ? data : "";
        long result = 0;
        switch (type) {
        case platform::REG_TYPE_DWORD:
            result = platform::RegSetDword(root, key, name,
                                           static_cast<uint32_t>(std::strtoul(text, nullptr, 10)));
            break;
        case platform::REG_TYPE_SZ:
            result = platform::RegSetString(root, key, name, text);
            break;
        case platform::REG_TYPE_EXPAND_SZ:
            result = platform::RegSetExpandString(root, key, name, text);
            break;
        default:
            return 0;
        }
        if (result != platform::kRegSuccess) {
            CFunction::RLog("SetRegValue RegCreateKeyEx:%d", static_cast<int>(result));
            return 0;
        }
        return 1;
    });
}
