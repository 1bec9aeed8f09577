#pragma once
// busybox udhcpd on a link of a namespace: the link gets <net>.1/24 and the server leases
// <net>.<first>-<last> with router <net>.1, name servers <net>.53 and <net>.54, for 3600 s. The
// server is ended by its pid when the object goes.

#include <string>
#include <sys/types.h>

namespace bench {

class NetNamespace;

class DhcpServer {
public:
    // net: the first three numbers, "10.9.0". Throws std::runtime_error when busybox cannot start.
    DhcpServer(const NetNamespace& ns, const std::string& link, const std::string& net, int first = 100,
               int last = 110);
    ~DhcpServer();
    DhcpServer(const DhcpServer&) = delete;
    DhcpServer& operator=(const DhcpServer&) = delete;

    pid_t Pid() const { return m_pid; }

private:
    std::string m_files; // its configuration, leases and pid file
    pid_t m_pid = 0;
};

} // namespace bench
