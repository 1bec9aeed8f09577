#pragma once
// busybox udhcpd on a test namespace's link (bench/DhcpServer.h), and the clients' side.

#include <string>
#include <sys/types.h>
#include <vector>

#include "bench/DhcpServer.h"
#include "tests/support/NetNamespace.h"

namespace testsupport {

using bench::DhcpServer;

// Every udhcpc of the link that runs in the namespace, whoever started it.
std::vector<pid_t> DhcpClientsOf(const NetNamespace& ns, const std::string& link);

// Makes this process the reaper of the daemons its tests start (they leave their starter),
// so that their ends are collected here and no zombie is left behind.
void AdoptOrphanedDaemons();

} // namespace testsupport
