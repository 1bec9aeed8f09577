#include "platform/net/DhcpClient.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <net/if.h>
#include <sstream>
#include <thread>

#include "platform/files/FileIo.h"
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

std::string DhcpClient::PidFile() const {
    return RunDirectory() + "/dhcp-" + m_link + ".pid";
}

std::string DhcpClient::LeaseFile() const {
    return RunDirectory() + "/dhcp-" + m_link + ".lease";
}

pid_t DhcpClient::Pid() const {
    if (!IsValidLink())
        return 0;
    return RunningPidFromFile(PidFile(), {"udhcpc", m_link});
}

DhcpClient::StartResult DhcpClient::Start() {
    if (!IsValidLink())
        return StartResult::Failed;
    if (Pid())
        return StartResult::AlreadyRunning;
    std::string busybox = FindProgram("busybox");
    if (busybox.empty())
        return StartResult::ClientMissing;
    std::string script = std::string(JoinPath(ProgramDirectory(), kEventScript));
    std::string runDirectory = RunDirectory();
    if (FindProgram(script).empty() || runDirectory.empty())
        return StartResult::Failed;
    // Files of a client that ended without its Stop would read as this one's.
    std::error_code error;
    std::filesystem::remove(PidFile(), error);
    std::filesystem::remove(LeaseFile(), error);

    std::vector<std::string> argv = {busybox, "udhcpc", "-f", "-i", m_link, "-p", PidFile(), "-s", script};
    argv.insert(argv.end(), kTimingOptions.begin(), kTimingOptions.end());
    pid_t pid = StartDaemon(argv, {"CORVAY_RUN_DIR=" + runDirectory});
    if (pid == 0)
        return StartResult::Failed;
    // The client writes its pid file first thing, or ends at once (no such link).
    PollUntil([&] { return Pid() == pid || !IsRunning(pid); }, std::chrono::seconds(5));
    if (Pid() == pid)
        return StartResult::Started;
    StopDaemon(pid);
    std::filesystem::remove(PidFile(), error);
    return StartResult::Failed;
}

bool DhcpClient::Stop() {
    if (!IsValidLink())
        return true;
    pid_t pid = Pid();
    if (pid && !StopDaemon(pid))
        return false;
    std::error_code error;
    std::filesystem::remove(PidFile(), error);
    std::filesystem::remove(LeaseFile(), error);
    return true;
}

bool DhcpClient::Renew() {
    pid_t pid = Pid();
    return pid && ::kill(pid, SIGUSR1) == 0;
}

std::optional<DhcpLease> DhcpClient::Lease() const {
    if (!IsValidLink())
        return std::nullopt;
    std::optional<std::string> text = ReadWholeFile(LeaseFile());
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
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(RunDirectory(), error)) {
        std::string name = entry.path().filename().string();
        const std::string prefix = "dhcp-", suffix = ".pid";
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
