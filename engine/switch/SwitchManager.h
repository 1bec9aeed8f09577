#pragma once
// The switch over its serial console, as a blocking interface: a query or an all-ports command
// is handed to the console's thread and its caller waits for the console's answer until the
// switch has been silent for the reply wait (30000 ms), after which SwitchTimeoutError (258)
// is thrown. One caller at a time.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/ProcessInstance.h"
#include "engine/config/ConfigRecords.h"
#include "engine/switch/ISwitchManager.h"
#include "engine/switch/SwitchManagerImpl.h"
#include "platform/sync/Event.h"

class SwitchManagerUIThread;

class SwitchManager : public Observer, public ISwitchManager, public ProcessInstance<SwitchManager> {
public:
    // Starts the console's thread and attaches to its console.
    explicit SwitchManager(const SwitchConfig& config, SwitchConsoleOptions options = {});
    // Detaches, closes the console on its thread and waits for that thread.
    ~SwitchManager() override;

    // The manager of the process: built on the first call, from the configuration and options
    // given then; later calls return it as it is.
    static SwitchManager* Instance(const SwitchConfig& config, SwitchConsoleOptions options = {});
    static SwitchManager* InstanceWithObserver(const SwitchConfig& config, Observer* observer,
                                               SwitchConsoleOptions options = {});
    // DeleteInstance() ends it.

    std::vector<SwitchPort*> GetAllPortStatus() override;
    SwitchPort* GetPortStatus(int port) override;
    void DisableAllPortsExceptTrunk() override;
    void EnableAllPorts() override;
    void EnablePort(int port) override;
    void DisablePort(int port) override;
    SwitchPort* GetLinkChangedPort() override { return m_linkChangedPort.load(); }
    SwitchPort* GetEnDisabledPort() override { return m_enDisabledPort.load(); }
    // -1 before any log-in result, 1 logged in, 0 log-in given up.
    int IsLoggedIn() override { return m_loginState.load(); }
    void Reconnect() override;

    // The console's notifications, on the console's thread.
    void Update(Subject* subject) override;

    SwitchManagerImpl* GetConsole() const { return m_sm; }

private:
    // Waits for the console's answer; throws SwitchTimeoutError once the switch was silent for
    // the reply wait.
    void WaitForReply();
    void NotifyObservers(int type);

    const uint32_t m_replyWaitMs; // before m_thread, which takes the options
    std::unique_ptr<SwitchManagerUIThread> m_thread;
    SwitchManagerImpl* m_sm = nullptr;
    platform::Event m_event{false, false};
    std::atomic<SwitchPort*> m_linkChangedPort{nullptr};
    std::atomic<SwitchPort*> m_enDisabledPort{nullptr};
    std::atomic<int> m_loginState{-1};
    // Serialises blocking callers: they share the console's command and the reply event.
    std::mutex m_callMutex;
};
