#pragma once
// The one route-netlink client of the tree: links, IPv4 addresses, neighbours and routes.
// A Netlink object speaks for the network namespace that was current on the calling thread
// when it was made (a socket keeps the namespace it was opened in), so a test thread that
// enters a namespace opens its own object there. Calls are serialised inside the object.
// IPv4 addresses are uint32_t in network byte order, as in struct in_addr.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/UniqueFd.h"

namespace platform {

struct LinkCounters {
    uint64_t rxPackets = 0, txPackets = 0;
    uint64_t rxBytes = 0, txBytes = 0;
    uint64_t rxErrors = 0, txErrors = 0;
    uint64_t rxDropped = 0, txDropped = 0;
};

struct LinkInfo {
    int index = 0;
    std::string name;
    unsigned flags = 0;          // IFF_UP, IFF_LOOPBACK, ...
    unsigned char operState = 0; // IF_OPER_*
    unsigned short type = 0;     // ARPHRD_* (ARPHRD_ETHER for Ethernet)
    std::string kind;            // "veth", "bridge", ... empty for plain hardware
    std::vector<uint8_t> mac;
    // The address burnt into the card; the current address where the card reports none.
    std::vector<uint8_t> permanentMac;
    unsigned mtu = 0;
    LinkCounters counters;
    bool isWireless = false;   // answers the wireless-extensions name query
    std::string driver;        // the driver's name (ethtool); empty for links without one
    bool ipv6Disabled = false; // the link's disable_ipv6 setting

    bool IsAdminUp() const;
    bool IsLoopback() const;
    bool IsEthernet() const; // an Ethernet frame type, wired or wireless
    // Up with carrier: the only state in which frames pass.
    bool IsOperUp() const;
};

struct Ipv4Address {
    int ifindex = 0;
    uint32_t address = 0;
    int prefixLength = 0;
    std::string label;
    // Seconds the address stays valid; kForever for a static address. A lease gives a finite one.
    static constexpr uint32_t kForever = 0xFFFFFFFFu;
    uint32_t validLifetime = kForever;
};

struct Neighbour {
    int ifindex = 0;
    uint32_t address = 0;
    std::vector<uint8_t> mac;
    uint16_t state = 0; // NUD_*
    bool IsPermanent() const;
};

struct Route {
    uint32_t destination = 0;
    int prefixLength = 0;
    uint32_t gateway = 0;
    uint32_t preferredSource = 0;
    int ifindex = 0;
    uint32_t table = 0;
    uint32_t priority = 0;
    unsigned char type = 0; // RTN_UNICAST, RTN_LOCAL, ...
};

class Netlink {
public:
    Netlink();
    Netlink(const Netlink&) = delete;
    Netlink& operator=(const Netlink&) = delete;

    // False when the socket could not be opened; every call then fails.
    bool IsOpen() const { return m_socket.IsValid(); }
    // errno of the last failed call (0 after a success).
    int LastError() const;

    // Every link, in ifindex order.
    bool ListLinks(std::vector<LinkInfo>& links);
    std::optional<LinkInfo> GetLink(int ifindex);
    std::optional<LinkInfo> GetLink(const std::string& name);
    bool SetLinkUp(int ifindex, bool up);

    // IPv4 addresses; ifindex 0 lists those of every link.
    bool ListAddresses(std::vector<Ipv4Address>& addresses, int ifindex = 0);
    bool AddAddress(int ifindex, uint32_t address, int prefixLength);
    bool DeleteAddress(int ifindex, uint32_t address, int prefixLength);

    // IPv4 neighbours; ifindex 0 lists those of every link.
    bool ListNeighbours(std::vector<Neighbour>& neighbours, int ifindex = 0);
    bool DeleteNeighbour(int ifindex, uint32_t address);
    // Deletes the learnt entries of one link and keeps the permanent ones; true when every
    // learnt entry went.
    bool FlushNeighbours(int ifindex);

    // IPv4 routes of every table.
    bool ListRoutes(std::vector<Route>& routes);
    // The route the kernel would take to reach the destination (outgoing ifindex, gateway,
    // source); nothing when the destination is unreachable.
    std::optional<Route> LookupRoute(uint32_t destination);
    // An IPv4 unicast route: destination/prefixLength (0/0: the default route) via the gateway
    // (0: directly on the link) out of ifindex, with its priority, in the route's table (0: the
    // main one). Adding a route that exists fails with EEXIST; deleting one that does not, ESRCH.
    bool AddRoute(const Route& route);
    bool DeleteRoute(const Route& route);

private:
    bool Request(std::vector<uint8_t>& message, bool dump, std::vector<std::vector<uint8_t>>* replies);
    // A dump request; keeps the replies of the given type.
    bool Dump(uint16_t type, const void* body, size_t bodyLength, uint16_t replyType,
              std::vector<std::vector<uint8_t>>& replies);
    bool Exchange(std::vector<uint8_t>& message, bool dump, std::vector<std::vector<uint8_t>>* replies,
                  bool& interrupted);
    bool ReadPermanentMac(const std::string& name, std::vector<uint8_t>& mac) const;
    bool IsWireless(const std::string& name) const;
    std::string ReadDriver(const std::string& name) const;
    bool ChangeAddress(int type, int flags, int ifindex, uint32_t address, int prefixLength);
    bool ChangeRoute(int type, int flags, const Route& route);

    mutable std::mutex m_mutex;
    UniqueFd m_socket;
    UniqueFd m_ioctlSocket; // opened beside the netlink socket, so in the same namespace
    uint32_t m_sequence = 0;
    int m_lastError = 0;
};

// Dotted-quad text to an address in network byte order; false on anything else.
bool ParseIpv4(const std::string& text, uint32_t& address);
std::string FormatIpv4(uint32_t address);

} // namespace platform
