#include "platform/net/Netlink.h"

// glibc's interface header first: the kernel headers below then leave its definitions alone.
#include <net/if.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/ethtool.h>
#include <linux/if_arp.h>
#include <linux/if_link.h>
#include <linux/ipv6.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sockios.h>
#include <linux/wireless.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace platform {

namespace {

// A request under construction: header, fixed body, then attributes, each padded to 4 bytes.
class MessageBuilder {
public:
    MessageBuilder(uint16_t type, uint16_t flags, const void* body, size_t bodyLength) {
        m_bytes.resize(NLMSG_LENGTH(bodyLength));
        std::memcpy(m_bytes.data() + NLMSG_HDRLEN, body, bodyLength);
        Header()->nlmsg_type = type;
        Header()->nlmsg_flags = flags;
        Pad();
    }
    void Attribute(uint16_t type, const void* data, size_t length) {
        size_t start = m_bytes.size();
        m_bytes.resize(start + RTA_LENGTH(length));
        auto* attr = reinterpret_cast<rtattr*>(m_bytes.data() + start);
        attr->rta_type = type;
        attr->rta_len = static_cast<unsigned short>(RTA_LENGTH(length));
        std::memcpy(RTA_DATA(attr), data, length);
        Pad();
    }
    template <typename T> void Attribute(uint16_t type, T value) { Attribute(type, &value, sizeof value); }
    std::vector<uint8_t>& Bytes() { return m_bytes; }

private:
    nlmsghdr* Header() { return reinterpret_cast<nlmsghdr*>(m_bytes.data()); }
    void Pad() {
        m_bytes.resize(NLMSG_ALIGN(m_bytes.size()));
        Header()->nlmsg_len = static_cast<uint32_t>(m_bytes.size());
    }
    std::vector<uint8_t> m_bytes;
};

// The attributes that follow a fixed body, by type (later duplicates win, as the kernel sends none).
class Attributes {
public:
    Attributes(const rtattr* first, int length) {
        for (const rtattr* attr = first; RTA_OK(attr, length); attr = RTA_NEXT(attr, length))
            if (attr->rta_type < kMax)
                m_table[attr->rta_type] = attr;
    }
    const rtattr* Get(int type) const { return type < kMax ? m_table[type] : nullptr; }
    std::vector<uint8_t> Bytes(int type) const {
        const rtattr* attr = Get(type);
        if (!attr)
            return {};
        auto* data = static_cast<const uint8_t*>(RTA_DATA(attr));
        return {data, data + RTA_PAYLOAD(attr)};
    }
    std::string Text(int type) const {
        const rtattr* attr = Get(type);
        if (!attr)
            return {};
        const char* data = static_cast<const char*>(RTA_DATA(attr));
        return std::string(data, strnlen(data, RTA_PAYLOAD(attr)));
    }
    template <typename T> T Value(int type, T fallback = T()) const {
        const rtattr* attr = Get(type);
        if (!attr || RTA_PAYLOAD(attr) < sizeof(T))
            return fallback;
        T value;
        std::memcpy(&value, RTA_DATA(attr), sizeof value);
        return value;
    }

private:
    static constexpr int kMax = 128;
    const rtattr* m_table[kMax] = {};
};

template <typename Body> const Body* BodyOf(const std::vector<uint8_t>& message) {
    return reinterpret_cast<const Body*>(NLMSG_DATA(reinterpret_cast<const nlmsghdr*>(message.data())));
}

template <typename Body> Attributes AttributesOf(const std::vector<uint8_t>& message, const rtattr* first) {
    auto* header = reinterpret_cast<const nlmsghdr*>(message.data());
    return Attributes(first,
                      static_cast<int>(header->nlmsg_len) - static_cast<int>(NLMSG_LENGTH(sizeof(Body))));
}

bool IsAllZero(const std::vector<uint8_t>& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

LinkInfo ParseLink(const std::vector<uint8_t>& message) {
    const ifinfomsg* body = BodyOf<ifinfomsg>(message);
    Attributes attrs = AttributesOf<ifinfomsg>(message, IFLA_RTA(body));
    LinkInfo link;
    link.index = body->ifi_index;
    link.flags = body->ifi_flags;
    link.type = body->ifi_type;
    link.name = attrs.Text(IFLA_IFNAME);
    link.operState = attrs.Value<uint8_t>(IFLA_OPERSTATE);
    link.mtu = attrs.Value<uint32_t>(IFLA_MTU);
    link.mac = attrs.Bytes(IFLA_ADDRESS);
    link.permanentMac = attrs.Bytes(IFLA_PERM_ADDRESS);
    if (const rtattr* stats = attrs.Get(IFLA_STATS64);
        stats && RTA_PAYLOAD(stats) >= sizeof(rtnl_link_stats64)) {
        rtnl_link_stats64 s;
        std::memcpy(&s, RTA_DATA(stats), sizeof s);
        link.counters = {s.rx_packets, s.tx_packets, s.rx_bytes,   s.tx_bytes,
                         s.rx_errors,  s.tx_errors,  s.rx_dropped, s.tx_dropped};
    }
    if (const rtattr* info = attrs.Get(IFLA_LINKINFO))
        link.kind =
            Attributes(static_cast<const rtattr*>(RTA_DATA(info)), static_cast<int>(RTA_PAYLOAD(info)))
                .Text(IFLA_INFO_KIND);
    // The IPv6 settings of the link: an array of 32-bit values indexed by DEVCONF_*.
    if (const rtattr* spec = attrs.Get(IFLA_AF_SPEC)) {
        Attributes families(static_cast<const rtattr*>(RTA_DATA(spec)), static_cast<int>(RTA_PAYLOAD(spec)));
        if (const rtattr* inet6 = families.Get(AF_INET6)) {
            Attributes ipv6(static_cast<const rtattr*>(RTA_DATA(inet6)),
                            static_cast<int>(RTA_PAYLOAD(inet6)));
            if (const rtattr* conf = ipv6.Get(IFLA_INET6_CONF);
                conf && RTA_PAYLOAD(conf) >= (DEVCONF_DISABLE_IPV6 + 1) * sizeof(int32_t)) {
                int32_t disabled;
                std::memcpy(&disabled, static_cast<const int32_t*>(RTA_DATA(conf)) + DEVCONF_DISABLE_IPV6,
                            sizeof disabled);
                link.ipv6Disabled = disabled != 0;
            }
        }
    }
    return link;
}

Route ParseRoute(const std::vector<uint8_t>& message) {
    const rtmsg* body = BodyOf<rtmsg>(message);
    Attributes attrs = AttributesOf<rtmsg>(message, RTM_RTA(body));
    Route route;
    route.prefixLength = body->rtm_dst_len;
    route.type = body->rtm_type;
    route.destination = attrs.Value<uint32_t>(RTA_DST);
    route.gateway = attrs.Value<uint32_t>(RTA_GATEWAY);
    route.preferredSource = attrs.Value<uint32_t>(RTA_PREFSRC);
    route.ifindex = attrs.Value<int32_t>(RTA_OIF);
    route.priority = attrs.Value<uint32_t>(RTA_PRIORITY);
    route.table = attrs.Value<uint32_t>(RTA_TABLE, body->rtm_table);
    return route;
}

} // namespace

bool LinkInfo::IsAdminUp() const {
    return (flags & IFF_UP) != 0;
}
bool LinkInfo::IsLoopback() const {
    return (flags & IFF_LOOPBACK) != 0;
}
bool LinkInfo::IsEthernet() const {
    return type == ARPHRD_ETHER;
}
bool LinkInfo::IsOperUp() const {
    return operState == IF_OPER_UP;
}
bool Neighbour::IsPermanent() const {
    return (state & (NUD_PERMANENT | NUD_NOARP)) != 0;
}

Netlink::Netlink() {
    UniqueFd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!fd) {
        m_lastError = errno;
        return;
    }
    // The kernel answers at once; the time-out only guards against a lost reply.
    timeval timeout{5, 0};
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        m_lastError = errno;
        return;
    }
    m_socket = std::move(fd);
    m_ioctlSocket.Reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
}

int Netlink::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

// Sends one request and collects its answer: every message of a dump up to its end, or the
// reply and the acknowledgement of a single request. Call with the mutex held.
bool Netlink::Request(std::vector<uint8_t>& message, bool dump, std::vector<std::vector<uint8_t>>* replies) {
    if (!m_socket) {
        m_lastError = EBADF;
        return false;
    }
    // A dump that raced a change is marked interrupted; it is asked again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool interrupted = false;
        if (!Exchange(message, dump, replies, interrupted))
            return false;
        if (!interrupted) {
            m_lastError = 0;
            return true;
        }
    }
    m_lastError = EAGAIN;
    return false;
}

bool Netlink::Dump(uint16_t type, const void* body, size_t bodyLength, uint16_t replyType,
                   std::vector<std::vector<uint8_t>>& replies) {
    MessageBuilder request(type, 0, body, bodyLength);
    if (!Request(request.Bytes(), true, &replies))
        return false;
    std::erase_if(replies, [&](const std::vector<uint8_t>& reply) {
        return reinterpret_cast<const nlmsghdr*>(reply.data())->nlmsg_type != replyType;
    });
    return true;
}

bool Netlink::Exchange(std::vector<uint8_t>& message, bool dump, std::vector<std::vector<uint8_t>>* replies,
                       bool& interrupted) {
    auto* header = reinterpret_cast<nlmsghdr*>(message.data());
    header->nlmsg_seq = ++m_sequence;
    header->nlmsg_flags |= NLM_F_REQUEST | (dump ? NLM_F_DUMP : NLM_F_ACK);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(m_socket.Get(), message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
        m_lastError = errno;
        return false;
    }
    if (replies)
        replies->clear();
    std::vector<uint8_t> buffer(64 * 1024);
    for (;;) {
        ssize_t got = ::recv(m_socket.Get(), buffer.data(), buffer.size(), 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            m_lastError = errno == EAGAIN ? ETIMEDOUT : errno;
            return false;
        }
        int remaining = static_cast<int>(got);
        for (auto* reply = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(reply, remaining);
             reply = NLMSG_NEXT(reply, remaining)) {
            if (reply->nlmsg_seq != header->nlmsg_seq)
                continue; // a late answer to an earlier request
            if (reply->nlmsg_flags & NLM_F_DUMP_INTR)
                interrupted = true;
            if (reply->nlmsg_type == NLMSG_ERROR || reply->nlmsg_type == NLMSG_DONE) {
                int error = 0;
                if (reply->nlmsg_len >= NLMSG_LENGTH(sizeof(int)))
                    std::memcpy(&error, NLMSG_DATA(reply), sizeof error);
                if (error < 0) {
                    m_lastError = -error;
                    return false;
                }
                return true;
            }
            if (replies) {
                auto* bytes = reinterpret_cast<const uint8_t*>(reply);
                replies->emplace_back(bytes, bytes + reply->nlmsg_len);
            }
        }
    }
}

bool Netlink::ReadPermanentMac(const std::string& name, std::vector<uint8_t>& mac) const {
    if (!m_ioctlSocket || name.size() >= IFNAMSIZ)
        return false;
    alignas(ethtool_perm_addr) uint8_t buffer[sizeof(ethtool_perm_addr) + MAX_ADDR_LEN] = {};
    auto* request = reinterpret_cast<ethtool_perm_addr*>(buffer);
    request->cmd = ETHTOOL_GPERMADDR;
    request->size = MAX_ADDR_LEN;
    ifreq ifr{};
    std::memcpy(ifr.ifr_name, name.c_str(), name.size());
    ifr.ifr_data = reinterpret_cast<char*>(buffer);
    if (::ioctl(m_ioctlSocket.Get(), SIOCETHTOOL, &ifr) != 0)
        return false;
    mac.assign(request->data, request->data + std::min<unsigned>(request->size, MAX_ADDR_LEN));
    return true;
}

bool Netlink::IsWireless(const std::string& name) const {
    if (!m_ioctlSocket || name.size() >= IFNAMSIZ)
        return false;
    // Large enough for struct iwreq, which begins with the interface name.
    ifreq ifr{};
    std::memcpy(ifr.ifr_name, name.c_str(), name.size());
    return ::ioctl(m_ioctlSocket.Get(), SIOCGIWNAME, &ifr) == 0;
}

std::string Netlink::ReadDriver(const std::string& name) const {
    if (!m_ioctlSocket || name.size() >= IFNAMSIZ)
        return {};
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq ifr{};
    std::memcpy(ifr.ifr_name, name.c_str(), name.size());
    ifr.ifr_data = reinterpret_cast<char*>(&info);
    if (::ioctl(m_ioctlSocket.Get(), SIOCETHTOOL, &ifr) != 0)
        return {};
    return std::string(info.driver, strnlen(info.driver, sizeof info.driver));
}

bool Netlink::ListLinks(std::vector<LinkInfo>& links) {
    std::lock_guard lock(m_mutex);
    links.clear();
    ifinfomsg body{};
    body.ifi_family = AF_UNSPEC;
    std::vector<std::vector<uint8_t>> replies;
    if (!Dump(RTM_GETLINK, &body, sizeof body, RTM_NEWLINK, replies))
        return false;
    for (const auto& reply : replies) {
        LinkInfo link = ParseLink(reply);
        if (IsAllZero(link.permanentMac) && !ReadPermanentMac(link.name, link.permanentMac))
            link.permanentMac.clear();
        if (IsAllZero(link.permanentMac))
            link.permanentMac = link.mac;
        link.isWireless = link.type == ARPHRD_ETHER && IsWireless(link.name);
        link.driver = ReadDriver(link.name);
        links.push_back(std::move(link));
    }
    std::sort(links.begin(), links.end(),
              [](const LinkInfo& a, const LinkInfo& b) { return a.index < b.index; });
    return true;
}

std::optional<LinkInfo> Netlink::GetLink(int ifindex) {
    std::vector<LinkInfo> links;
    if (!ListLinks(links))
        return std::nullopt;
    for (auto& link : links)
        if (link.index == ifindex)
            return std::move(link);
    std::lock_guard lock(m_mutex);
    m_lastError = ENODEV;
    return std::nullopt;
}

std::optional<LinkInfo> Netlink::GetLink(const std::string& name) {
    std::vector<LinkInfo> links;
    if (!ListLinks(links))
        return std::nullopt;
    for (auto& link : links)
        if (link.name == name)
            return std::move(link);
    std::lock_guard lock(m_mutex);
    m_lastError = ENODEV;
    return std::nullopt;
}

bool Netlink::SetLinkUp(int ifindex, bool up) {
    std::lock_guard lock(m_mutex);
    ifinfomsg body{};
    body.ifi_family = AF_UNSPEC;
    body.ifi_index = ifindex;
    body.ifi_change = IFF_UP;
    body.ifi_flags = up ? IFF_UP : 0;
    MessageBuilder request(RTM_NEWLINK, 0, &body, sizeof body);
    return Request(request.Bytes(), false, nullptr);
}

bool Netlink::ListAddresses(std::vector<Ipv4Address>& addresses, int ifindex) {
    std::lock_guard lock(m_mutex);
    addresses.clear();
    ifaddrmsg body{};
    body.ifa_family = AF_INET;
    std::vector<std::vector<uint8_t>> replies;
    if (!Dump(RTM_GETADDR, &body, sizeof body, RTM_NEWADDR, replies))
        return false;
    for (const auto& reply : replies) {
        const ifaddrmsg* msg = BodyOf<ifaddrmsg>(reply);
        if (msg->ifa_family != AF_INET)
            continue;
        if (ifindex != 0 && static_cast<int>(msg->ifa_index) != ifindex)
            continue;
        Attributes attrs = AttributesOf<ifaddrmsg>(reply, IFA_RTA(msg));
        Ipv4Address address;
        address.ifindex = static_cast<int>(msg->ifa_index);
        address.prefixLength = msg->ifa_prefixlen;
        // The local address; IFA_ADDRESS is the peer on point-to-point links.
        address.address =
            attrs.Get(IFA_LOCAL) ? attrs.Value<uint32_t>(IFA_LOCAL) : attrs.Value<uint32_t>(IFA_ADDRESS);
        address.label = attrs.Text(IFA_LABEL);
        if (const rtattr* cache = attrs.Get(IFA_CACHEINFO);
            cache && RTA_PAYLOAD(cache) >= sizeof(ifa_cacheinfo)) {
            ifa_cacheinfo info;
            std::memcpy(&info, RTA_DATA(cache), sizeof info);
            address.validLifetime = info.ifa_valid;
        }
        addresses.push_back(std::move(address));
    }
    return true;
}

bool Netlink::ChangeAddress(int type, int flags, int ifindex, uint32_t address, int prefixLength) {
    if (prefixLength < 0 || prefixLength > 32) {
        std::lock_guard lock(m_mutex);
        m_lastError = EINVAL;
        return false;
    }
    std::lock_guard lock(m_mutex);
    ifaddrmsg body{};
    body.ifa_family = AF_INET;
    body.ifa_prefixlen = static_cast<unsigned char>(prefixLength);
    body.ifa_scope = RT_SCOPE_UNIVERSE;
    body.ifa_index = static_cast<unsigned>(ifindex);
    MessageBuilder request(static_cast<uint16_t>(type), static_cast<uint16_t>(flags), &body, sizeof body);
    request.Attribute(IFA_LOCAL, address);
    request.Attribute(IFA_ADDRESS, address);
    if (type == RTM_NEWADDR && prefixLength < 31) {
        uint32_t hostMask = prefixLength == 0 ? 0xffffffffu : (0xffffffffu >> prefixLength);
        request.Attribute(IFA_BROADCAST, address | htonl(hostMask));
    }
    return Request(request.Bytes(), false, nullptr);
}

bool Netlink::AddAddress(int ifindex, uint32_t address, int prefixLength) {
    return ChangeAddress(RTM_NEWADDR, NLM_F_CREATE | NLM_F_EXCL, ifindex, address, prefixLength);
}

bool Netlink::DeleteAddress(int ifindex, uint32_t address, int prefixLength) {
    return ChangeAddress(RTM_DELADDR, 0, ifindex, address, prefixLength);
}

bool Netlink::ListNeighbours(std::vector<Neighbour>& neighbours, int ifindex) {
    std::lock_guard lock(m_mutex);
    neighbours.clear();
    ndmsg body{};
    body.ndm_family = AF_INET;
    std::vector<std::vector<uint8_t>> replies;
    if (!Dump(RTM_GETNEIGH, &body, sizeof body, RTM_NEWNEIGH, replies))
        return false;
    for (const auto& reply : replies) {
        const ndmsg* msg = BodyOf<ndmsg>(reply);
        if (msg->ndm_family != AF_INET)
            continue;
        if (ifindex != 0 && msg->ndm_ifindex != ifindex)
            continue;
        Attributes attrs = AttributesOf<ndmsg>(reply, reinterpret_cast<const rtattr*>(msg + 1));
        Neighbour neighbour;
        neighbour.ifindex = msg->ndm_ifindex;
        neighbour.state = msg->ndm_state;
        neighbour.address = attrs.Value<uint32_t>(NDA_DST);
        neighbour.mac = attrs.Bytes(NDA_LLADDR);
        neighbours.push_back(std::move(neighbour));
    }
    return true;
}

bool Netlink::DeleteNeighbour(int ifindex, uint32_t address) {
    std::lock_guard lock(m_mutex);
    ndmsg body{};
    body.ndm_family = AF_INET;
    body.ndm_ifindex = ifindex;
    MessageBuilder request(RTM_DELNEIGH, 0, &body, sizeof body);
    request.Attribute(NDA_DST, address);
    return Request(request.Bytes(), false, nullptr);
}

bool Netlink::FlushNeighbours(int ifindex) {
    std::vector<Neighbour> neighbours;
    if (!ListNeighbours(neighbours, ifindex))
        return false;
    bool all = true;
    int firstError = 0;
    for (const Neighbour& neighbour : neighbours) {
        if (neighbour.IsPermanent())
            continue;
        // An entry that expired meanwhile is as good as deleted.
        if (!DeleteNeighbour(ifindex, neighbour.address) && LastError() != ENOENT) {
            all = false;
            if (!firstError)
                firstError = LastError();
        }
    }
    std::lock_guard lock(m_mutex);
    m_lastError = firstError;
    return all;
}

bool Netlink::ListRoutes(std::vector<Route>& routes) {
    std::lock_guard lock(m_mutex);
    routes.clear();
    rtmsg body{};
    body.rtm_family = AF_INET;
    std::vector<std::vector<uint8_t>> replies;
    if (!Dump(RTM_GETROUTE, &body, sizeof body, RTM_NEWROUTE, replies))
        return false;
    for (const auto& reply : replies)
        if (BodyOf<rtmsg>(reply)->rtm_family == AF_INET)
            routes.push_back(ParseRoute(reply));
    return true;
}

std::optional<Route> Netlink::LookupRoute(uint32_t destination) {
    std::lock_guard lock(m_mutex);
    rtmsg body{};
    body.rtm_family = AF_INET;
    body.rtm_dst_len = 32;
    MessageBuilder request(RTM_GETROUTE, 0, &body, sizeof body);
    request.Attribute(RTA_DST, destination);
    std::vector<std::vector<uint8_t>> replies;
    if (!Request(request.Bytes(), false, &replies))
        return std::nullopt;
    for (const auto& reply : replies)
        if (reinterpret_cast<const nlmsghdr*>(reply.data())->nlmsg_type == RTM_NEWROUTE)
            return ParseRoute(reply);
    m_lastError = ENETUNREACH;
    return std::nullopt;
}

bool Netlink::ChangeRoute(int type, int flags, const Route& route) {
    std::lock_guard lock(m_mutex);
    if (route.prefixLength < 0 || route.prefixLength > 32) {
        m_lastError = EINVAL;
        return false;
    }
    rtmsg body{};
    body.rtm_family = AF_INET;
    body.rtm_dst_len = static_cast<unsigned char>(route.prefixLength);
    uint32_t table = route.table ? route.table : RT_TABLE_MAIN;
    body.rtm_table = static_cast<unsigned char>(table < 256 ? table : RT_TABLE_UNSPEC);
    if (type == RTM_NEWROUTE) {
        body.rtm_protocol = RTPROT_STATIC;
        body.rtm_type = RTN_UNICAST;
        body.rtm_scope = route.gateway ? RT_SCOPE_UNIVERSE : RT_SCOPE_LINK;
    } else {
        body.rtm_scope = RT_SCOPE_NOWHERE;
    }
    MessageBuilder request(static_cast<uint16_t>(type), static_cast<uint16_t>(flags), &body, sizeof body);
    if (route.prefixLength > 0)
        request.Attribute(RTA_DST, route.destination);
    if (route.gateway)
        request.Attribute(RTA_GATEWAY, route.gateway);
    if (route.ifindex)
        request.Attribute(RTA_OIF, static_cast<int32_t>(route.ifindex));
    // Without a priority a deletion takes the first route that matches the rest.
    if (type == RTM_NEWROUTE || route.priority)
        request.Attribute(RTA_PRIORITY, route.priority);
    request.Attribute(RTA_TABLE, table);
    return Request(request.Bytes(), false, nullptr);
}

bool Netlink::AddRoute(const Route& route) {
    return ChangeRoute(RTM_NEWROUTE, NLM_F_CREATE | NLM_F_EXCL, route);
}

bool Netlink::DeleteRoute(const Route& route) {
    return ChangeRoute(RTM_DELROUTE, 0, route);
}

bool ParseIpv4(const std::string& text, uint32_t& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, text.c_str(), &parsed) != 1)
        return false;
    address = parsed.s_addr;
    return true;
}

std::string FormatIpv4(uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr value{};
    value.s_addr = address;
    ::inet_ntop(AF_INET, &value, text, sizeof text);
    return text;
}

} // namespace platform
