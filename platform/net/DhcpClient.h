#pragma once
// The DHCP client of one link: busybox's udhcpc as a daemon in the caller's network namespace.
// On each of its events the program directory's "dhcp-event" script puts the lease on the link
// (the leased address with its lifetime, default route through the router; a new lease or a
// deconfig takes off what the old one put there, and nothing else) and writes the lease file.
// Pid and lease files live in the run directory, named after the caller's network namespace
// and the link: "dhcp-<namespace inode>-<link>.pid" and ".lease". One client runs per link:
// starts and stops hold a lock on the pid file.

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

struct DhcpLease {
    // The client's last event: "bound" or "renew" (a lease), "deconfig", "leasefail", "nak".
    std::string event;
    uint32_t address = 0; // network byte order, as everywhere
    uint32_t mask = 0;
    uint32_t router = 0;
    std::vector<uint32_t> dnsServers;
    uint32_t server = 0;
    uint32_t leaseSeconds = 0;
    // Moves on every lease granted, first or renewed.
    unsigned long counter = 0;

    bool HasLease() const { return event == "bound" || event == "renew"; }
};

enum class DhcpState {
    Stopped,    // no client runs for the link
    Requesting, // running, no answer yet
    Bound,      // running, holds a lease
    NoLease,    // running, the last attempt found no server or was refused
};

class DhcpClient {
public:
    // NoRunDirectory: the run directory cannot be made, so nothing could find the client again.
    enum class StartResult { Started, AlreadyRunning, ClientMissing, NoRunDirectory, Failed };

    explicit DhcpClient(std::string link);

    // What a start does with the addresses the link holds when no client runs for it yet.
    enum class Addresses {
        Keep,    // they stay beside the lease
        Replace, // they go: the card changes from static addresses to DHCP
    };

    const std::string& Link() const { return m_link; }
    // The lease comes later; State() and Lease() follow it. A running client is left as it is
    // (AlreadyRunning), its addresses with it.
    StartResult Start(Addresses addresses = Addresses::Keep);
    // Ends the link's client by its pid and removes its files; true when none runs afterwards.
    bool Stop();
    // Asks the running client for a renewal; false when none runs.
    bool Renew();
    DhcpState State() const;
    std::optional<DhcpLease> Lease() const;
    // The running client's pid, or 0: a process of the pid file's that is this link's client in
    // the caller's network namespace.
    pid_t Pid() const;

    // Empty when the run directory cannot be made or the link's name is no file name.
    std::string PidFile() const;
    std::string LeaseFile() const;

    // Links of the caller's network namespace whose client runs, by name.
    static std::vector<std::string> RunningLinks();

private:
    bool IsValidLink() const;
    // The run directory's path of the link's files without the suffix; empty as PidFile().
    std::string FileStem() const;
    pid_t PidIn(const std::string& pidFile) const;

    std::string m_link;
};

// The text of a lease file; nothing when it holds no event.
std::optional<DhcpLease> ParseDhcpLease(const std::string& text);

} // namespace platform
