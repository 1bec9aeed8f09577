#pragma once
// Private network namespaces for tests that change network state. Each namespace has a name
// unique to this process ("cvt<pid>-<n>") and is deleted when its owner goes, also when the test
// failed; namespaces left by a killed test process are swept when the next one is made.
// setns changes only the calling thread, so bodies run either on a dedicated thread that has
// entered the namespace (RunInside, NamespaceThread) or in a forked child (RunInChild), which
// also remounts /sys so that sysfs and /proc/net show the namespace too (libpcap reads both).

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/files/UniqueFd.h"

namespace testsupport {

class NetNamespace {
public:
    // Throws std::runtime_error when the namespace cannot be made.
    NetNamespace();
    ~NetNamespace();
    NetNamespace(const NetNamespace&) = delete;
    NetNamespace& operator=(const NetNamespace&) = delete;

    const std::string& Name() const { return m_name; }
    // An open descriptor of the namespace, for setns.
    int Fd() const { return m_fd.Get(); }

    // Runs "ip <args>" inside; throws std::runtime_error with the output when it fails.
    void Ip(const std::string& args) const;
    // Runs a shell command inside; returns its exit status, output in *output when given.
    int Shell(const std::string& command, std::string* output = nullptr) const;
    // ifindex of a link inside, or 0.
    int IfIndex(const std::string& link) const;

private:
    std::string m_name;
    platform::UniqueFd m_fd;
};

// Why namespaces cannot be made here, or empty when they can (checked once per process).
std::string NetNamespaceUnavailableReason();

// A veth pair: 'nameA' in 'a' and 'nameB' in 'b' (which may be the same namespace), both up,
// with the given MAC addresses when not empty.
void AddVethPair(const NetNamespace& a, const std::string& nameA, const NetNamespace& b,
                 const std::string& nameB, const std::string& macA = "", const std::string& macB = "");

// Runs the body on a new thread that has entered the namespace and waits for it; an exception
// of the body is thrown again here. gtest assertions inside count for the calling test.
void RunInside(const NetNamespace& ns, const std::function<void()>& body);

// Runs the body in a forked child that has entered the namespace (its only thread, its own
// /sys); a failed assertion, an exception or a crash in the child fails the calling test.
// The child is killed after 'seconds'. Only the calling thread lives on in the child: start no
// thread that may hold a lock (a logger's, say) before the fork.
void RunInChild(const NetNamespace& ns, const std::function<void()>& body, int seconds = 120);

// A helper thread that lives inside a namespace (a peer, a server) until it is stopped; the
// body must return once the stop token is set.
class NamespaceThread {
public:
    NamespaceThread(const NetNamespace& ns, std::function<void(std::stop_token)> body);
    ~NamespaceThread();
    NamespaceThread(const NamespaceThread&) = delete;
    NamespaceThread& operator=(const NamespaceThread&) = delete;
    void Stop();

private:
    std::jthread m_thread;
};

// Fixture of the *_netns_test files: skips the test when namespaces cannot be made, and
// removes every namespace it made at the end of the test.
class NetnsTest : public ::testing::Test {
protected:
    void SetUp() override;
    NetNamespace& AddNamespace();

private:
    std::vector<std::unique_ptr<NetNamespace>> m_namespaces;
};

// A PC namespace with the two cards "lan0" (kLanMac) and "wan0" (kWanMac), whose peers
// "lanpeer" and "wanpeer" are in a bench namespace.
class PcBenchTest : public NetnsTest {
protected:
    static constexpr const char* kLanMac = "02:00:00:00:0a:01";
    static constexpr const char* kWanMac = "02:00:00:00:0b:01";
    void SetUp() override;

    NetNamespace* pc = nullptr;
    NetNamespace* bench = nullptr;
};

} // namespace testsupport
