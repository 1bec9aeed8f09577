// The configuration methods of the default provider: a card's addresses, default gateway, static
// name servers and its DHCP client, changed in the calling thread's network namespace.

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <linux/rtnetlink.h>
#include <strings.h>
#include <thread>

#include "platform/files/Registry.h"
#include "platform/net/DhcpClient.h"
#include "platform/wmi/HostLinks.h"
#include "platform/wmi/LinuxProvider.h"

namespace platform::wmi {

namespace {

constexpr const char* kConfigurationClass = "Win32_NetworkAdapterConfiguration";

// ReturnValues of the configuration methods.
constexpr int kUnknownFailure = 65;
constexpr int kInvalidMask = 66;
constexpr int kInvalidInput = 68;
constexpr int kTooManyGateways = 69;
constexpr int kInvalidAddress = 70;
constexpr int kInvalidGateway = 71;
constexpr int kRegistryError = 72;
constexpr int kDhcpUnavailable = 81;
constexpr int kRenewFailed = 82;
constexpr int kAccessDenied = 91;
constexpr int kNotAllRenewed = 98;
constexpr int kDhcpNotEnabled = 100;

// A synchronous renewal waits this long for its lease.
constexpr int kRenewWaitMs = 30000;

int KernelRefusal(int error) {
    return error == EPERM || error == EACCES ? kAccessDenied : kUnknownFailure;
}

// The texts of an array parameter; nothing when the parameter is missing or no text array.
const std::vector<std::string>* Texts(const Object& inputs, const char* name) {
    auto found = inputs.find(name);
    if (found == inputs.end() || found->second.kind != Value::Kind::TextArray)
        return nullptr;
    return &found->second.texts;
}

bool HasParameter(const Object& inputs, const char* name) {
    auto found = inputs.find(name);
    return found != inputs.end() && found->second.kind != Value::Kind::Null;
}

// A unicast host address: no 0.0.0.0, loopback, multicast or broadcast.
bool ParseHostAddress(const std::string& text, uint32_t& address) {
    if (!ParseIpv4(text, address))
        return false;
    uint32_t host = ntohl(address);
    return host != 0 && (host >> 24) != 127 && host < 0xE0000000u;
}

// The prefix length of a contiguous mask "255.255.255.0"; -1 for anything else.
int PrefixOfMask(const std::string& text) {
    uint32_t mask = 0;
    if (!ParseIpv4(text, mask))
        return -1;
    uint32_t bits = ntohl(mask);
    int prefix = 0;
    while (prefix < 32 && (bits & (0x80000000u >> prefix)))
        ++prefix;
    uint32_t contiguous = prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix);
    return bits == contiguous && prefix > 0 ? prefix : -1;
}

bool SameSubnet(uint32_t a, uint32_t b, int prefix) {
    uint32_t mask = prefix <= 0 ? 0 : 0xFFFFFFFFu << (32 - prefix);
    return (ntohl(a) & mask) == (ntohl(b) & mask);
}

int EnableStatic(const HostLink& host, const Object& inputs) {
    const auto* ips = Texts(inputs, "IPAddress");
    const auto* masks = Texts(inputs, "SubnetMask");
    if (!ips || !masks)
        return kInvalidInput;
    if (ips->empty())
        return kInvalidAddress;
    std::vector<Ipv4Address> wanted;
    for (size_t i = 0; i < ips->size(); ++i) {
        Ipv4Address address;
        address.ifindex = host.link.index;
        if (!ParseHostAddress((*ips)[i], address.address))
            return kInvalidAddress;
        address.prefixLength = i < masks->size() ? PrefixOfMask((*masks)[i]) : -1;
        if (address.prefixLength < 0)
            return kInvalidMask;
        wanted.push_back(address);
    }
    // The client would put its lease back over the static addresses.
    if (!DhcpClient(host.link.name).Stop())
        return kUnknownFailure;
    Netlink netlink;
    auto same = [](const Ipv4Address& a, const Ipv4Address& b) {
        return a.address == b.address && a.prefixLength == b.prefixLength;
    };
    // The old addresses go first: a primary address takes its subnet's secondaries with it.
    for (const auto& old : host.addresses)
        if (!netlink.DeleteAddress(host.link.index, old.address, old.prefixLength) &&
            netlink.LastError() != EADDRNOTAVAIL)
            return KernelRefusal(netlink.LastError());
    for (const auto& address : wanted) {
        bool twice = false;
        for (const auto* other = wanted.data(); other != &address; ++other)
            twice = twice || same(*other, address);
        if (!twice && !netlink.AddAddress(host.link.index, address.address, address.prefixLength))
            return KernelRefusal(netlink.LastError());
    }
    return 0;
}

int SetGateways(const HostLink& host, const Object& inputs) {
    const auto* gateways = Texts(inputs, "DefaultIPGateway");
    if (!gateways)
        return kInvalidInput;
    if (gateways->size() > 5)
        return kTooManyGateways;
    const auto* metrics = Texts(inputs, "GatewayCostMetric");
    std::vector<Route> wanted;
    for (size_t i = 0; i < gateways->size(); ++i) {
        Route route;
        route.ifindex = host.link.index;
        route.table = RT_TABLE_MAIN;
        if (!ParseHostAddress((*gateways)[i], route.gateway))
            return kInvalidGateway;
        bool onLink = false;
        for (const auto& address : host.addresses)
            onLink = onLink || SameSubnet(address.address, route.gateway, address.prefixLength);
        if (!onLink)
            return kInvalidGateway;
        route.priority = 1;
        if (metrics && i < metrics->size()) {
            char* end = nullptr;
            unsigned long metric = std::strtoul((*metrics)[i].c_str(), &end, 10);
            if ((*metrics)[i].empty() || *end != '\0' || metric < 1 || metric > 9999)
                return kInvalidInput;
            route.priority = static_cast<uint32_t>(metric);
        }
        wanted.push_back(route);
    }
    Netlink netlink;
    std::vector<Route> routes;
    if (!netlink.ListRoutes(routes))
        return KernelRefusal(netlink.LastError());
    for (const auto& route : routes)
        if (route.ifindex == host.link.index && route.prefixLength == 0 && route.table == RT_TABLE_MAIN &&
            route.type == RTN_UNICAST && !netlink.DeleteRoute(route))
            return KernelRefusal(netlink.LastError());
    for (const auto& route : wanted)
        if (!netlink.AddRoute(route) && netlink.LastError() != EEXIST)
            return netlink.LastError() == ENETUNREACH ? kInvalidGateway : KernelRefusal(netlink.LastError());
    return 0;
}

int SetDNSServerSearchOrder(const HostLink& host, const Object& inputs) {
    std::string list;
    if (HasParameter(inputs, "DNSServerSearchOrder")) {
        const auto* servers = Texts(inputs, "DNSServerSearchOrder");
        if (!servers)
            return kInvalidInput;
        for (const auto& server : *servers) {
            uint32_t address = 0;
            if (!ParseHostAddress(server, address))
                return kInvalidAddress;
            list += (list.empty() ? "" : ",") + FormatIpv4(address);
        }
    }
    // The inventory reads the card's static servers from here.
    return RegSetString(Hive::LocalMachine, CString(kTcpipInterfacesKey) + host.Guid().c_str(), "NameServer",
                        CString(list)) == kRegSuccess
               ? 0
               : kRegistryError;
}

int EnableDHCP(const HostLink& host) {
    // As on the original platform, a card changed to DHCP keeps no static address.
    switch (DhcpClient(host.link.name).Start(DhcpClient::Addresses::Replace)) {
    case DhcpClient::StartResult::Started:
    case DhcpClient::StartResult::AlreadyRunning:
        return 0;
    default:
        return kDhcpUnavailable;
    }
}

std::filesystem::file_time_type LeaseWritten(const DhcpClient& client) {
    std::error_code error;
    auto written = std::filesystem::last_write_time(client.LeaseFile(), error);
    return error ? std::filesystem::file_time_type::min() : written;
}

// One link's renewal: done when the lease counter moves (0), or when the client reports no
// lease or ends (82).
class RenewCall : public CallResult {
public:
    explicit RenewCall(const std::string& link) : m_client(link) {
        auto lease = m_client.Lease();
        m_counter = lease ? lease->counter : 0;
        m_written = LeaseWritten(m_client);
    }
    bool Start() { return m_client.Renew(); }

    int GetCallStatus(int timeoutMs, int& returnValue) override {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        while (m_result < 0) {
            Poll();
            if (m_result >= 0 || std::chrono::steady_clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (m_result < 0)
            return kTimedOut;
        returnValue = m_result;
        return 0;
    }

private:
    void Poll() {
        auto lease = m_client.Lease();
        if (lease && lease->counter > m_counter)
            m_result = 0;
        else if (!m_client.Pid())
            m_result = kRenewFailed;
        else if (lease && (lease->event == "leasefail" || lease->event == "nak") &&
                 LeaseWritten(m_client) != m_written)
            m_result = kRenewFailed;
    }

    DhcpClient m_client;
    unsigned long m_counter = 0;
    std::filesystem::file_time_type m_written;
    int m_result = -1;
};

// The renewal of every running client: 0 when each renewed, else 98.
class RenewAllCall : public CallResult {
public:
    explicit RenewAllCall(std::vector<std::unique_ptr<RenewCall>> calls) : m_calls(std::move(calls)) {}
    int GetCallStatus(int timeoutMs, int& returnValue) override {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        int combined = 0;
        for (auto& call : m_calls) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            int result = 0;
            if (call->GetCallStatus(static_cast<int>(std::max<int64_t>(left.count(), 0)), result) != 0)
                return kTimedOut;
            if (result != 0)
                combined = kNotAllRenewed;
        }
        returnValue = combined;
        return 0;
    }

private:
    std::vector<std::unique_ptr<RenewCall>> m_calls;
};

std::unique_ptr<CallResult> RenewDHCPLease(const std::string& link) {
    auto call = std::make_unique<RenewCall>(link);
    if (!call->Start())
        return CompletedCall(kDhcpNotEnabled);
    return call;
}

std::unique_ptr<CallResult> RenewDHCPLeaseAll() {
    Netlink netlink;
    std::vector<std::unique_ptr<RenewCall>> calls;
    bool failed = false;
    // The run directory serves every namespace; only the caller's links count.
    for (const std::string& link : DhcpClient::RunningLinks()) {
        if (!netlink.GetLink(link))
            continue;
        auto call = std::make_unique<RenewCall>(link);
        if (call->Start())
            calls.push_back(std::move(call));
        else
            failed = true;
    }
    if (failed)
        return CompletedCall(kNotAllRenewed);
    if (calls.empty())
        return CompletedCall(kDhcpNotEnabled);
    return std::make_unique<RenewAllCall>(std::move(calls));
}

} // namespace

int LinuxProvider::ExecMethodAsync(const std::string& objectPath, const std::string& method,
                                   const Object& inputs, std::unique_ptr<CallResult>& call) {
    size_t equals = objectPath.find('=');
    std::string className = objectPath.substr(0, equals);
    if (::strcasecmp(className.c_str(), kConfigurationClass) != 0)
        return kInvalidClass;
    if (equals == std::string::npos) {
        call = ::strcasecmp(method.c_str(), "RenewDHCPLeaseAll") == 0 ? RenewDHCPLeaseAll()
                                                                      : CompletedCall(kMethodNotSupported);
        return 0;
    }
    std::string number = objectPath.substr(equals + 1);
    if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos)
        return kInvalidObjectPath;
    int index = std::stoi(number);
    std::vector<HostLink> links;
    if (ReadHostLinks(links) != 0)
        return kNotFound;
    const HostLink* host = nullptr;
    for (const auto& link : links)
        if (link.link.index == index)
            host = &link;
    if (!host)
        return kNotFound;

    auto is = [&](const char* name) { return ::strcasecmp(method.c_str(), name) == 0; };
    if (is("RenewDHCPLease"))
        call = RenewDHCPLease(host->link.name);
    else if (is("EnableStatic"))
        call = CompletedCall(EnableStatic(*host, inputs));
    else if (is("SetGateways"))
        call = CompletedCall(SetGateways(*host, inputs));
    else if (is("SetDNSServerSearchOrder"))
        call = CompletedCall(SetDNSServerSearchOrder(*host, inputs));
    else if (is("EnableDHCP"))
        call = CompletedCall(EnableDHCP(*host));
    else
        call = CompletedCall(kMethodNotSupported);
    return 0;
}

int LinuxProvider::ExecMethod(const std::string& objectPath, const std::string& method,
                              const Object& inputs) {
    std::unique_ptr<CallResult> call;
    if (int error = ExecMethodAsync(objectPath, method, inputs, call))
        return error;
    int returnValue = 0;
    return call->GetCallStatus(kRenewWaitMs, returnValue) == 0 ? returnValue : kRenewFailed;
}

} // namespace platform::wmi
