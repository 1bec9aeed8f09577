#include "platform/wmi/LinuxProvider.h"

#include <cstdio>
#include <linux/if.h>
#include <strings.h>
#include <unistd.h>

#include "platform/files/Registry.h"
#include "platform/net/DhcpClient.h"
#include "platform/wmi/HostClasses.h"
#include "platform/wmi/HostLinks.h"

namespace platform::wmi {

namespace {

Value TextsOrNull(std::vector<std::string> texts) {
    return texts.empty() ? Value::Null() : Value::Texts(std::move(texts));
}

// The static name servers the store holds for the card: "a,b" or "a b".
std::vector<std::string> StaticNameServers(const std::string& guid) {
    CString value;
    std::vector<std::string> servers;
    if (RegGetString(Hive::LocalMachine, CString(kTcpipInterfacesKey) + guid.c_str(), "NameServer", value) !=
        kRegSuccess)
        return servers;
    int start = 0;
    for (CString token = value.Tokenize(", ", start); !token.IsEmpty(); token = value.Tokenize(", ", start))
        servers.push_back(token.str());
    return servers;
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

Object AdapterOf(const HostLink& host) {
    const LinkInfo& link = host.link;
    Object object;
    object["DeviceID"] = Value::Text(std::to_string(link.index));
    object["Index"] = Value::Integer(link.index);
    object["NetConnectionID"] = Value::Text(link.name);
    object["Name"] = Value::Text(host.DisplayName());
    object["ProductName"] = Value::Text(host.DisplayName());
    if (link.IsEthernet())
        object["AdapterType"] = Value::Text("Ethernet 802.3");
    bool carrier = (link.flags & IFF_LOWER_UP) != 0;
    object["NetConnectionStatus"] = Value::Integer(!link.IsAdminUp() ? 0 : carrier ? 2 : 7);
    object["ConfigManagerErrorCode"] = Value::Integer(link.IsAdminUp() ? 0 : 22);
    if (!link.driver.empty())
        object["ServiceName"] = Value::Text(link.driver);
    for (const char* name : {"Caption", "ConfigManagerUserConfig", "AdapterTypeId", "Manufacturer",
                             "Availability", "Status", "StatusInfo", "SystemName", "PowerManagementSupported",
                             "NetworkAddresses", "MaxSpeed", "ErrorDescription"})
        object.emplace(name, Value::Null());
    return object;
}

Object ConfigurationOf(const HostLink& host, const std::string& hostName) {
    const LinkInfo& link = host.link;
    Object object;
    object["Index"] = Value::Integer(link.index);
    object["SettingID"] = Value::Text(host.Guid());
    std::string mac = MacText(link.mac, true);
    object["MACAddress"] = mac.empty() ? Value::Null() : Value::Text(mac);
    std::vector<std::string> addresses, masks, gateways;
    for (const auto& address : host.addresses) {
        addresses.push_back(FormatIpv4(address.address));
        masks.push_back(MaskText(address.prefixLength));
    }
    for (uint32_t gateway : host.gateways)
        gateways.push_back(FormatIpv4(gateway));
    object["IPAddress"] = TextsOrNull(addresses);
    object["IPSubnet"] = TextsOrNull(masks);
    object["DefaultIPGateway"] = TextsOrNull(gateways);
    // Our client runs for the link, or another one gave its addresses a lease's lifetime.
    DhcpClient client(link.name);
    bool dhcp = client.Pid() != 0;
    std::optional<DhcpLease> lease = dhcp ? client.Lease() : std::nullopt;
    if (lease && !lease->HasLease())
        lease.reset();
    object["DHCPEnabled"] = Value::Boolean(dhcp || host.HasLease());
    object["DHCPServer"] = lease && lease->server ? Value::Text(FormatIpv4(lease->server)) : Value::Null();
    // Static servers stand before the lease's.
    std::vector<std::string> servers = StaticNameServers(host.Guid());
    if (servers.empty() && lease)
        for (uint32_t server : lease->dnsServers)
            servers.push_back(FormatIpv4(server));
    object["DNSServerSearchOrder"] = TextsOrNull(servers);
    object["IPEnabled"] = Value::Boolean(true);
    object["DNSHostName"] = hostName.empty() ? Value::Null() : Value::Text(hostName);
    for (const char* name :
         {"Caption", "DNSDomain", "DNSDomainSuffixSearchOrder", "DNSEnabledForWINSResolution", "DefaultTOS",
          "DefaultTTL", "ForwardBufferMemory", "IGMPLevel", "TcpipNetbiosOptions",
          "TcpMaxConnectRetransmissions", "TcpMaxDataRetransmissions", "TcpNumConnections", "TcpWindowSize",
          "WINSPrimaryServer"})
        object.emplace(name, Value::Null());
    return object;
}

} // namespace

LinuxProvider& LinuxProvider::Instance() {
    static LinuxProvider provider;
    return provider;
}

int LinuxProvider::Connect() {
    Netlink netlink;
    return netlink.IsOpen() ? 0 : netlink.LastError();
}

int LinuxProvider::ExecQuery(const std::string& className, std::vector<Object>& objects) {
    objects.clear();
    if (int result = QueryHostClass(className, objects); result != kInvalidClass)
        return result;
    bool adapters = ::strcasecmp(className.c_str(), "Win32_NetworkAdapter") == 0;
    bool configurations = ::strcasecmp(className.c_str(), "Win32_NetworkAdapterConfiguration") == 0;
    if (!adapters && !configurations)
        return kInvalidClass;
    std::vector<HostLink> links;
    if (int error = ReadHostLinks(links))
        return error;
    std::string hostName = configurations ? HostName() : std::string();
    for (const auto& link : links)
        objects.push_back(adapters ? AdapterOf(link) : ConfigurationOf(link, hostName));
    return 0;
}

int LinuxProvider::ListDevices(std::vector<Device>& devices) {
    devices.clear();
    std::vector<HostLink> links;
    if (int error = ReadHostLinks(links))
        return error;
    for (const auto& host : links) {
        Device device;
        device.className = "Net";
        device.enumerator = !host.IsCard() ? "ROOT" : host.link.kind.empty() ? "NET" : "VETH";
        char key[32];
        std::snprintf(key, sizeof key, "Net\\%04d", host.link.index);
        device.driverKey = key;
        device.description = host.DisplayName();
        device.disabled = !host.link.IsAdminUp();
        device.index = host.link.index;
        devices.push_back(std::move(device));
    }
    return 0;
}

} // namespace platform::wmi
