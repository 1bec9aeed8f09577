#include "platform/net/DhcpClient.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <net/if.h>
#include <sstream>
#include <thread>

#include "platform/files/FileIo.h"
#include "platform/files/FileLock.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/RunDirectory.h"
#include "platform/net/Daemon.h"
#include "platform/net/Netlink.h"

namespace platform {

namespace {

constexpr const char* kEventScript = "dhcp-event";

// Discover three times a second apart, then wait three seconds and start over: a modem that is
// still booting gets its client back soon, and a missing server shows as "leasefail" quickly.
const std::vector<std::string> kTimingOptions = {"-t", "3", "-T", "1", "-A", "3"};

// "dhcp-<namespace inode>-": the start of the names of one namespace's files.
std::string FilePrefix(uint64_t netns) {
    return "dhcp-" + std::to_string(netns) + "-";
}

// Every IPv4 address of the link; true when none is left. Its routes go with the last one.
bool DeleteAddresses(const std::string& link) {
    Netlink netlink;
    auto info = netlink.GetLink(link);
    std::vector<Ipv4Address> addresses;
    if (!info || !netlink.ListAddresses(addresses, info->index))
        return false;
    // A primary address takes its subnet's secondaries with it.
    for (const auto& address : addresses)
        if (!netlink.DeleteAddress(info->index, address.address, address.prefixLength) &&
            netlink.LastError() != EADDRNOTAVAIL)
            return false;
    return true;
}

uint32_t AddressOf(const std::string& text) {
    uint32_t address = 0;
    return ParseIpv4(text, address) ? address : 0;
}

} // namespace

std::optional<DhcpLease> ParseDhcpLease(const std::string& text) {
    DhcpLease lease;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "event") {
            lease.event = value;
        } else if (key == "address") {
            lease.address = AddressOf(value);
        } else if (key == "mask") {
            lease.mask = AddressOf(value);
        } else if (key == "router") {
            lease.router = AddressOf(value);
        } else if (key == "server") {
            lease.server = AddressOf(value);
        } else if (key == "dns") {
            std::istringstream words(value);
            std::string word;
            while (words >> word)
                if (uint32_t address = AddressOf(word))
                    lease.dnsServers.push_back(address);
        } else if (key == "lease") {
            lease.leaseSeconds = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (key == "counter") {
            lease.counter = std::strtoul(value.c_str(), nullptr, 10);
        }
    }
    if (lease.event.empty())
        return std::nullopt;
    return lease;
}

DhcpClient::DhcpClient(std::string link) : m_link(std::move(link)) {}

bool DhcpClient::IsValidLink() const {
    // The name becomes part of file names.
    return !m_link.empty() && m_link.size() < IFNAMSIZ && m_link.find('/') == std::string::npos &&
           m_link != "." && m_link != "..";
}

std::string DhcpClient::FileStem() const {
    if (!IsValidLink())
        return {};
    std::string directory = RunDirectory();
    uint64_t netns = CurrentNetNamespace();
    if (directory.empty() || netns == 0)
        return {};
    // A link of the same name in another namespace is another card.
    return directory + "/" + FilePrefix(netns) + m_link;
}

std::string DhcpClient::PidFile() const {
    std::string stem = FileStem();
    return stem.empty() ? stem : stem + ".pid";
}

std::string DhcpClient::LeaseFile() const {
    std::string stem = FileStem();
    return stem.empty() ? stem : stem + ".lease";
}

pid_t DhcpClient::PidIn(const std::string& pidFile) const {
    if (pidFile.empty())
        return 0;
    pid_t pid = RunningPidFromFile(pidFile, {"udhcpc", m_link});
    // The pid may have been reused by a client of the same link in another namespace.
    return pid && NetNamespaceOf(pid) == CurrentNetNamespace() ? pid : 0;
}

pid_t DhcpClient::Pid() const {
    return PidIn(PidFile());
}

DhcpClient::StartResult DhcpClient::Start(Addresses addresses) {
    if (!IsValidLink())
        return StartResult::Failed;
    if (RunDirectory().empty())
        return StartResult::NoRunDirectory;
    const std::string pidFile = PidFile(), leaseFile = LeaseFile();
    if (pidFile.empty())
        return StartResult::Failed;
    if (PidIn(pidFile))
        return StartResult::AlreadyRunning;
    std::string busybox = FindProgram("busybox");
    if (busybox.empty())
        return StartResult::ClientMissing;
    std::string script = std::string(JoinPath(ProgramDirectory(), kEventScript));
    if (FindProgram(script).empty())
        return StartResult::Failed;

    // Callers that start the same link at once: the first starts the client, the others find it.
    FileLock lock;
    if (!lock.Lock(pidFile, FileLock::kExclusive))
        return StartResult::Failed;
    if (PidIn(pidFile))
        return StartResult::AlreadyRunning;
    // A lease of a client that ended without its Stop would read as this one's. The pid file
    // stays: it is the lock, and the client writes its pid into it.
    std::error_code error;
    std::filesystem::remove(leaseFile, error);
    std::vector<std::string> argv = {busybox, "udhcpc", "-f", "-i", m_link, "-p", pidFile, "-s", script};
    argv.insert(argv.end(), kTimingOptions.begin(), kTimingOptions.end());
    pid_t pid = 0;
    if (addresses == Addresses::Keep || DeleteAddresses(m_link))
        pid = StartDaemon(argv, {"CORVAY_DHCP_LEASE=" + leaseFile});
    if (pid != 0) {
        // The client writes its pid file first thing, or ends at once (no such link).
        PollUntil([&] { return PidIn(pidFile) == pid || !IsRunning(pid); }, std::chrono::seconds(5));
        if (PidIn(pidFile) == pid)
            return StartResult::Started;
        StopDaemon(pid);
    }
    std::filesystem::remove(pidFile, error);
    std::filesystem::remove(leaseFile, error);
    return StartResult::Failed;
}

bool DhcpClient::Stop() {
    const std::string pidFile = PidFile(), leaseFile = LeaseFile();
    // Without its files no client of ours can be found, and none can have been started.
    if (pidFile.empty())
        return true;
    FileLock lock;
    if (!lock.Lock(pidFile, FileLock::kExclusive))
        return false;
    pid_t pid = PidIn(pidFile);
    if (pid && !StopDaemon(pid))
        return false;
    std::error_code error;
    std::filesystem::remove(pidFile, error);
    std::filesystem::remove(leaseFile, error);
    return true;
}

bool DhcpClient::Renew() {
    pid_t pid = Pid();
    return pid && ::kill(pid, SIGUSR1) == 0;
}

std::optional<DhcpLease> DhcpClient::Lease() const {
    std::string leaseFile = LeaseFile();
    if (leaseFile.empty())
        return std::nullopt;
    std::optional<std::string> text = ReadWholeFile(leaseFile);
    return text ? ParseDhcpLease(*text) : std::nullopt;
}

DhcpState DhcpClient::State() const {
    if (!Pid())
        return DhcpState::Stopped;
    std::optional<DhcpLease> lease = Lease();
    if (!lease || lease->event == "deconfig")
        return DhcpState::Requesting;
    return lease->HasLease() ? DhcpState::Bound : DhcpState::NoLease;
}

std::vector<std::string> DhcpClient::RunningLinks() {
    std::vector<std::string> links;
    std::string directory = RunDirectory();
    uint64_t netns = CurrentNetNamespace();
    if (directory.empty() || netns == 0)
        return links;
    const std::string prefix = FilePrefix(netns), suffix = ".pid";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() + suffix.size() || name.rfind(prefix, 0) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        DhcpClient client(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()));
        if (client.Pid())
            links.push_back(client.Link());
    }
    std::sort(links.begin(), links.end());
    return links;
}

} // namespace platform
