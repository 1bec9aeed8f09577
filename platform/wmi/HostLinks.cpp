#include "platform/wmi/HostLinks.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <linux/rtnetlink.h>

#include "platform/net/CardGuid.h"

namespace platform::wmi {

bool HostLink::IsCard() const {
    return link.IsEthernet() && !link.IsLoopback() && link.mac.size() >= 6 &&
           (link.kind.empty() || link.kind == "veth");
}

bool HostLink::HasLease() const {
    return std::any_of(addresses.begin(), addresses.end(),
                       [](const Ipv4Address& a) { return a.validLifetime != Ipv4Address::kForever; });
}

std::string HostLink::Guid() const {
    return CardGuidFromMac(link.permanentMac);
}

std::string HostLink::DisplayName() const {
    return link.isWireless ? link.name + " (Wireless)" : link.name;
}

int ReadHostLinks(std::vector<HostLink>& result) {
    result.clear();
    Netlink netlink;
    std::vector<LinkInfo> links;
    std::vector<Ipv4Address> addresses;
    std::vector<Route> routes;
    if (!netlink.ListLinks(links) || !netlink.ListAddresses(addresses) || !netlink.ListRoutes(routes))
        return netlink.LastError() ? netlink.LastError() : EIO;
    for (auto& link : links) {
        HostLink host;
        host.link = std::move(link);
        for (const auto& address : addresses)
            if (address.ifindex == host.link.index)
                host.addresses.push_back(address);
        for (const auto& route : routes)
            if (route.ifindex == host.link.index && route.prefixLength == 0 && route.gateway != 0 &&
                route.table == RT_TABLE_MAIN && route.type == RTN_UNICAST)
                host.gateways.push_back(route.gateway);
        result.push_back(std::move(host));
    }
    return 0;
}

std::string MaskText(int prefixLength) {
    prefixLength = std::clamp(prefixLength, 0, 32);
    uint32_t mask = prefixLength == 0 ? 0 : 0xFFFFFFFFu << (32 - prefixLength);
    return FormatIpv4(htonl(mask));
}

std::string MacText(const std::vector<uint8_t>& mac, bool upperCase) {
    if (mac.size() < 6)
        return {};
    char text[18];
    std::snprintf(text, sizeof text,
                  upperCase ? "%02X:%02X:%02X:%02X:%02X:%02X" : "%02x:%02x:%02x:%02x:%02x:%02x", mac[0],
                  mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

} // namespace platform::wmi
