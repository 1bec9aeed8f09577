#pragma once
// The host's links as the management stand-in and the host libraries see them, read in the
// calling thread's network namespace.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/net/Netlink.h"

namespace platform::wmi {

// The registry store's key of a card's TCP/IP settings, followed by the card's GUID.
constexpr const char* kTcpipInterfacesKey =
    "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";

struct HostLink {
    LinkInfo link;
    std::vector<Ipv4Address> addresses;
    std::vector<uint32_t> gateways; // of the default routes through the link

    // A network card (hardware, wireless included, or a bench veth); bridges, bonds, VLANs,
    // tunnels and the loopback are software devices.
    bool IsCard() const;
    // An address of the link has a lease's finite lifetime.
    bool HasLease() const;
    std::string Guid() const;
    // The card's name as the host shows it: the interface name, marked when wireless.
    std::string DisplayName() const;
};

// Every link with its addresses and default gateways, in ifindex order; 0 or the errno.
int ReadHostLinks(std::vector<HostLink>& links);

// "255.255.255.0" for 24.
std::string MaskText(int prefixLength);
// Six bytes as two-digit hex joined by ':'; empty for fewer bytes.
std::string MacText(const std::vector<uint8_t>& mac, bool upperCase);

} // namespace platform::wmi
