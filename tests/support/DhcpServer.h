#pragma once
// busybox udhcpd on a link of a test namespace: the link gets <net>.1/24 and the server leases
// <net>.100-110 with router <net>.1, name servers <net>.53 and <net>.54, for 3600 s. The server
// is ended by its pid when the object goes.

#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"

namespace testsupport {

class DhcpServer {
public:
    // net: the first three numbers, "10.9.0". Fails the test when busybox cannot start.
    DhcpServer(const NetNamespace& ns, const std::string& link, const std::string& net);
    ~DhcpServer();
    DhcpServer(const DhcpServer&) = delete;
    DhcpServer& operator=(const DhcpServer&) = delete;

    pid_t Pid() const { return m_pid; }

private:
    TempDir m_files{"udhcpd"};
    pid_t m_pid = 0;
};

// Every udhcpc of the link that runs in the namespace, whoever started it.
std::vector<pid_t> DhcpClientsOf(const NetNamespace& ns, const std::string& link);

// Makes this process the reaper of the daemons its tests start (they leave their starter),
// so that their ends are collected here and no zombie is left behind.
void AdoptOrphanedDaemons();

} // namespace testsupport
