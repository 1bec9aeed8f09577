#pragma once
// Private network namespaces for the simulated bench and the tests that change network state.
// Each namespace has a name unique to this process ("cvt<pid>-<n>") and is deleted when its
// owner goes; namespaces left by a killed process are swept when the next one is made.
// setns changes only the calling thread, so work inside runs on a thread that has entered
// the namespace (RunInside); a socket keeps the namespace it was made in.

#include <functional>
#include <string>

#include "platform/files/UniqueFd.h"

namespace bench {

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
// of the body is thrown again here.
void RunInside(const NetNamespace& ns, const std::function<void()>& body);

// setns of the calling thread into the namespace; false on failure.
bool EnterNamespace(const NetNamespace& ns);

// A shell command line with its output (stderr too); its exit status, -1 when it did not end.
int RunCommandLine(const std::string& command, std::string* output = nullptr);
std::string ShellQuote(const std::string& text);

} // namespace bench
