#include "hostnet/pellar/ItemNames.h"

#include "hostnet/pellar/PCInfo.h"

namespace pellar {

#define PELLAR_ADAPTER_ITEMS                                                                                 \
    "Caption", "DeviceID", "NetConnectionID", "NetConnectionStatus", "ConfigManagerErrorCode",               \
        "ConfigManagerUserConfig", "AdapterType", "AdapterTypeId", "Name", "Manufacturer", "Availability",   \
        "Index", "Status", "StatusInfo", "SystemName", "ServiceName", "ProductName",                         \
        "PowerManagementSupported", "NetworkAddresses", "MaxSpeed", "ErrorDescription"
#define PELLAR_CONFIG_ITEMS                                                                                  \
    "DefaultIPGateway", "DHCPEnabled", "DNSDomain", "DNSDomainSuffixSearchOrder", "DNSHostName",             \
        "DNSEnabledForWINSResolution", "IPAddress", "IPEnabled", "IPSubnet", "MACAddress", "Caption",        \
        "Index", "DefaultTOS", "DefaultTTL", "DHCPServer", "DNSServerSearchOrder", "ForwardBufferMemory",    \
        "IGMPLevel", "TcpipNetbiosOptions", "TcpMaxConnectRetransmissions", "TcpMaxDataRetransmissions",     \
        "TcpNumConnections", "TcpWindowSize", "WINSPrimaryServer", "SettingID", "info_PPPOEStatus",          \
        "info_ipHLPNetCardIndex", "info_DnsStatic"

const char* const NetAdapterItems[kNetAdapterItemCount] = {PELLAR_ADAPTER_ITEMS};
const char* const NetConfigItems[kNetConfigItemCount] = {PELLAR_CONFIG_ITEMS};

const char* const ItemNameTable[kItemNameCount] = {
    PELLAR_ADAPTER_ITEMS, PELLAR_CONFIG_ITEMS,
    // Mail account (registry value names of one account).
    "Account Name", "SMTP Server", "SMTP Port", "POP3 Server", "POP3 Port", "POP3 User Name",
    "SMTP Email Address", "POP3 Password", "POP3 Secure Connection", "SMTP Secure Connection",
    // Operating system, processor, disk.
    "Caption", "Version", "OSType", "CSDVersion", "TotalVisibleMemorySize", "Name", "MaxClockSpeed", "Name",
    "FreeSpace",
    // Browser.
    "Default Browse", "ProxyEnable", "ProxyServer", "Start Page", "Version",
    // A card's result.
    "Name", "NetConnectionStatus", "ConfigManagerErrorCode", "IPEnabled", "DHCPEnabled", "IPAddress",
    "IPSubnet", "DefaultIPGateway", "DNSServerSearchOrder", "info_PPPOEStatus", "info_ipHLPNetCardIndex",
    "info_DnsStatic", "MACAddress"};

#undef PELLAR_ADAPTER_ITEMS
#undef PELLAR_CONFIG_ITEMS

int CardItemIndex(const char* name) {
    return PCInfo::SearchItemIndex(ItemNameTable, kCardItemCount, name);
}

} // namespace pellar
