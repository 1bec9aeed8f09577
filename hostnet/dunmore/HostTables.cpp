#include "hostnet/dunmore/HostTables.h"

#include <algorithm>
#include <cstring>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <set>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include "hostnet/dunmore/Function.h"
#include "platform/files/UniqueFd.h"
#include "platform/net/Netlink.h"

namespace dunmore {
namespace {

// Interface types and states as the traffic table's readers know them.
constexpr uint32_t kTypeOther = 1, kTypeEthernet = 6, kTypeLoopback = 24;
constexpr uint32_t kAdminUp = 1, kAdminDown = 2;
constexpr uint32_t kOperNonOperational = 0, kOperDisconnected = 2, kOperOperational = 5;

// Link speed in bits per second from the driver; 0 when it does not tell.
uint32_t LinkSpeed(const std::string& name) {
    platform::UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket || name.size() >= IFNAMSIZ)
        return 0;
    ethtool_cmd command{};
    command.cmd = ETHTOOL_GSET;
    ifreq request{};
    std::memcpy(request.ifr_name, name.c_str(), name.size());
    request.ifr_data = reinterpret_cast<char*>(&command);
    if (::ioctl(socket.Get(), SIOCETHTOOL, &request) != 0)
        return 0;
    uint32_t megabits = ethtool_cmd_speed(&command);
    if (megabits == 0 || megabits == static_cast<uint32_t>(SPEED_UNKNOWN) || megabits == 0xFFFF)
        return 0;
    // The table's field is 32 bits wide: faster links read as its maximum.
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{megabits} * 1000000, 0xFFFFFFFFu));
}

} // namespace

void FlushArpCache() {
    platform::Netlink netlink;
    std::vector<platform::Neighbour> neighbours;
    if (!netlink.ListNeighbours(neighbours)) {
        CFunction::RLog("[AsynPing] the ARP table cannot be read: %s\r\n",
                        CFunction::GetLastErrorString(netlink.LastError()).GetString());
        return;
    }
    std::set<int> interfaces;
    for (const auto& neighbour : neighbours)
        interfaces.insert(neighbour.ifindex);
    for (int ifindex : interfaces)
        netlink.FlushNeighbours(ifindex);
}

unsigned long BestInterface(uint32_t address) {
    platform::Netlink netlink;
    auto route = netlink.LookupRoute(address);
    return route && route->ifindex > 0 ? static_cast<unsigned long>(route->ifindex) : 0xFFFFFFFFUL;
}

int ReadInterfaceTable(NetCardDataSendRecvStruct* rows, int capacity, CString& dump) {
    platform::Netlink netlink;
    std::vector<platform::LinkInfo> links;
    if (!netlink.ListLinks(links))
        return 0;
    int count = 0;
    for (const auto& link : links) {
        if (count >= capacity)
            break;
        NetCardDataSendRecvStruct& row = rows[count];
        row.dwIndex = static_cast<uint32_t>(link.index);
        row.dwType = link.type == ARPHRD_ETHER ? kTypeEthernet : link.type == ARPHRD_LOOPBACK ? kTypeLoopback : kTypeOther;
        row.dwMtu = link.mtu;
        row.dwSpeed = LinkSpeed(link.name);
        row.dwAdminStatus = link.IsAdminUp() ? kAdminUp : kAdminDown;
        // Loopback reports no carrier state of its own; it passes traffic whenever it is up.
        bool passes = link.IsOperUp() || (link.type == ARPHRD_LOOPBACK && link.IsAdminUp());
        row.dwOperStatus = passes ? kOperOperational : link.IsAdminUp() ? kOperDisconnected : kOperNonOperational;
        // The table's counters are 32 bits and wrap.
        row.dwInOctets = static_cast<uint32_t>(link.counters.rxBytes);
        row.dwOutOctets = static_cast<uint32_t>(link.counters.txBytes);
        dump += link.name.c_str();
        dump += "\r\n";
        dump.AppendFormat("dwIndex:%d\r\n", static_cast<int>(row.dwIndex));
        dump.AppendFormat("dwType:%d\r\n", static_cast<int>(row.dwType));
        dump.AppendFormat("dwMtu:%d\r\n", static_cast<int>(row.dwMtu));
        dump.AppendFormat("dwAdminStatus:%d\r\n", static_cast<int>(row.dwAdminStatus));
        dump.AppendFormat("dwOperStatus:%d\r\n", static_cast<int>(row.dwOperStatus));
        dump.AppendFormat("dwInOctets:%d\r\n", static_cast<int>(row.dwInOctets));
        dump.AppendFormat("dwOutOctets:%d\r\n", static_cast<int>(row.dwOutOctets));
        dump.AppendFormat("dwSpeed:%d\r\n", static_cast<int>(row.dwSpeed));
        dump += "===========================\r\n";
        ++count;
    }
    return count;
}

} // namespace dunmore
