#include "tests/support/DhcpServer.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/prctl.h>

#include "platform/net/Daemon.h"

namespace testsupport {

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
