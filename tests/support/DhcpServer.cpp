#include "tests/support/DhcpServer.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/prctl.h>

#include "platform/net/Daemon.h"

namespace testsupport {

DhcpServer::DhcpServer(const NetNamespace& ns, const std::string& link, const std::string& net) {
    ns.Ip("addr add " + net + ".1/24 dev " + link);
    WriteFileBytes(m_files / "udhcpd.conf",
                   "start " + net + ".100\nend " + net + ".110\ninterface " + link + "\nlease_file " +
                       (m_files / "leases").string() + "\npidfile " + (m_files / "pid").string() +
                       "\noption subnet 255.255.255.0\noption router " + net + ".1\noption dns " + net +
                       ".53 " + net + ".54\noption lease 3600\n");
    RunInside(ns, [&] {
        int error = 0;
        m_pid = platform::StartDaemon(
            {platform::FindProgram("busybox"), "udhcpd", "-f", (m_files / "udhcpd.conf").string()}, {},
            &error);
        ASSERT_NE(m_pid, 0) << "udhcpd: " << error;
    });
}

DhcpServer::~DhcpServer() {
    if (m_pid)
        platform::StopDaemon(m_pid);
}

std::vector<pid_t> DhcpClientsOf(const NetNamespace& ns, const std::string& link) {
    uint64_t netns = 0;
    RunInside(ns, [&] { netns = platform::CurrentNetNamespace(); });
    std::vector<pid_t> pids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        pid_t pid = std::atoi(name.c_str());
        std::vector<std::string> words = platform::ProcessCommandLine(pid);
        auto has = [&](const std::string& word) {
            return std::find(words.begin(), words.end(), word) != words.end();
        };
        if (has("udhcpc") && has(link) && platform::IsRunning(pid) && platform::NetNamespaceOf(pid) == netns)
            pids.push_back(pid);
    }
    return pids;
}

void AdoptOrphanedDaemons() {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

} // namespace testsupport
