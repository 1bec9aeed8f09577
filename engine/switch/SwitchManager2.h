#pragma once
// The switch over telnet: every call opens its own connection, logs in, runs its commands and
// closes, all on the caller's thread. Callers are served one at a time.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/ProcessInstance.h"
#include "engine/config/ConfigRecords.h"
#include "engine/switch/ISwitchManager.h"
#include "platform/net/TimeOutSocket.h"

class SwitchManager2 : public ISwitchManager, public ProcessInstance<SwitchManager2> {
public:
    // The switch at config.Ip; tests reach a fake on another port with a shorter guard.
    explicit SwitchManager2(const SwitchConfig& config, uint16_t telnetPort = 23,
                            uint32_t guardMs = platform::TimeOutSocket::kDefaultGuardMs);
    ~SwitchManager2() override;

    // The telnet manager of the process, built on the first call (no connection yet) from the
    // arguments given then; later calls return it as it is.
    static SwitchManager2* Instance(const SwitchConfig& config, uint16_t telnetPort = 23,
                                    uint32_t guardMs = platform::TimeOutSocket::kDefaultGuardMs);
    // DeleteInstance() deletes it (the main frame at exit); the next Instance builds a new one.

    std::vector<SwitchPort*> GetAllPortStatus() override;
    SwitchPort* GetPortStatus(int port) override;
    void DisableAllPortsExceptTrunk() override;
    void EnableAllPorts() override;
    void EnablePort(int port) override;
    void DisablePort(int port) override;
    SwitchPort* GetLinkChangedPort() override { return nullptr; } // no traps over telnet
    SwitchPort* GetEnDisabledPort() override { return m_enDisabledPort.load(); }
    int IsLoggedIn() override { return 1; }
    void Reconnect() override {}

private:
    class Connection;

    SwitchPort* Record(int port) const;
    void QueryPort(Connection& c, int port);
    void SetPort(Connection& c, int port, bool enable);

    const SwitchConfig m_config;
    const uint16_t m_telnetPort;
    const uint32_t m_guardMs;
    std::vector<std::unique_ptr<SwitchPort>> m_ports;
    std::atomic<SwitchPort*> m_enDisabledPort{nullptr};
    // Recursive: an observer told of a change may ask the manager again on the same thread.
    std::recursive_mutex m_mutex;
};
