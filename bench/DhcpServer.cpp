#include "bench/DhcpServer.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "bench/NetNamespace.h"
#include "platform/net/Daemon.h"

namespace bench {

DhcpServer::DhcpServer(const NetNamespace& ns, const std::string& link, const std::string& net, int first,
                       int last) {
    char pattern[] = "/tmp/udhcpd-XXXXXX";
    if (!::mkdtemp(pattern))
        throw std::runtime_error("udhcpd: cannot make its directory");
    m_files = pattern;
    const std::string conf = m_files + "/udhcpd.conf";
    {
        std::ofstream out(conf, std::ios::binary);
        out << "start " << net << "." << first << "\nend " << net << "." << last << "\ninterface " << link
            << "\nlease_file " << m_files << "/leases\npidfile " << m_files
            << "/pid\noption subnet 255.255.255.0\noption router " << net << ".1\noption dns " << net
            << ".53 " << net << ".54\noption lease 3600\n";
    }
    ns.Ip("addr add " + net + ".1/24 dev " + link);
    int error = 0;
    RunInside(ns, [&] {
        m_pid = platform::StartDaemon({platform::FindProgram("busybox"), "udhcpd", "-f", conf}, {}, &error);
    });
    if (m_pid == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(m_files, ignored);
        throw std::runtime_error("udhcpd did not start: " + std::to_string(error));
    }
}

DhcpServer::~DhcpServer() {
    if (m_pid)
        platform::StopDaemon(m_pid);
    std::error_code ignored;
    std::filesystem::remove_all(m_files, ignored);
}

} // namespace bench
