#pragma once
// The switch's serial console client: logs in, reads and sets ports, follows link traps, and
// tells its observers of every event. Everything it does runs on SwitchManagerUIThread;
// commands asked from other threads are carried over to that thread and return at once.

#include "engine/config/ConfigRecords.h"
#include "engine/switch/Observer.h"
#include "engine/switch/SwitchPort.h"
#include "platform/net/SerialPort.h"
#include "platform/sync/Event.h"
#include "platform/text/CString.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class SwitchManagerUIThread;

// Every pause and time-out of the console, so tests need not sit through them.
struct SwitchConsoleTimings {
    int sendPauseMs = 100;       // after each write, for the switch to take it
    int receivePauseMs = 100;    // before reading, so more of the answer has arrived
    int showReplyPauseMs = 750;  // the same while a show-port reply is awaited
    int answerTimeoutMs = 3000;  // nothing at all after opening the line
    int keepAliveMs = 600000;    // idle time after which a return is sent
    int viewReadyWaitMs = 10000; // first notification waits this long for the view
    // A blocking command gives up (258) once the switch has been silent this long: every
    // reply starts the wait again, so a long sweep of many ports completes.
    int replyWaitMs = 30000;
};

// What the console keeps for the whole process (one console per process).
struct SwitchConsoleProcessState {
    std::atomic<bool> loggedIn{false}; // set at the first "(cfg)#", never cleared
    std::atomic<bool> keepAliveArmed{false};
    std::atomic<int> transferErrors{0}; // never reset
    std::atomic<bool> firstNotification{true};
};

struct SwitchConsoleOptions {
    SwitchConsoleTimings timings;
    // The line to open in place of COM n (a pty in tests, a USB adapter on a bench).
    std::string devicePath;
    // Makes the serial port; the default is the real one.
    std::function<std::unique_ptr<platform::SerialPort>()> makePort;
    // The process's state by default.
    SwitchConsoleProcessState* processState = nullptr;
    // Set by the view when it is ready for notifications; the process's event by default.
    platform::Event* viewReady = nullptr;
};

class SwitchManagerImpl : public SwitchSubject {
public:
    enum SwitchStatus {
        SwitchStatus_Unknown = 0,
        SwitchStatus_Booting = 1,
        Login = 2,
        SwitchStatus_Normal = 3,
        SwitchStatus_Enabled = 4,
    };
    enum Command {
        Command_None = 0,
        Command_GetOnePortStatus = 1,
        Command_GetAllPortStatus = 2,
        Command_SetOnePortEnable = 3,
        Command_SetOnePortDisable = 4,
        Command_SetAllPortEnable = 5,
        Command_SetAllPortDisable = 6,
    };
    enum { Timer_Answer = 100, Timer_KeepAlive = 101 };

    // Built by SwitchManagerUIThread on its own thread.
    SwitchManagerImpl(const SwitchConfig& config, const SwitchConsoleOptions& options,
                      SwitchManagerUIThread& thread);
    ~SwitchManagerImpl() override;

    // The console of the process, once SwitchManagerUIThread has made it; null before.
    static SwitchManagerImpl* Instance();
    static platform::Event& ViewReadyEvent();
    static SwitchConsoleProcessState& ProcessState();

    // Commands; from any thread, each returns at once.
    void SendGetPortStatusCommand(int port);
    void SendGetAllPortStatusCommand();
    void SendDisableAllPortsExceptTrunkCommand();
    void SendEnableAllPortsCommand();
    void SendEnablePort(int port);
    void SendDisablePort(int port);
    void SendEnablePortCommand(int port);
    void SendDisablePortCommand(int port);
    void Reconnect();

    // The record of port n, null outside 1 to the port count; records live as long as the console.
    SwitchPort* GetPort(int port) const;
    std::vector<SwitchPort*> GetPortList() const;
    int GetPortCount() const { return m_portCount; }
    // The port of the last type-1 or type-4 notification.
    int GetChangedPort() const { return m_changedPort.load(); }
    // The record of the last type-5 notification.
    SwitchPort* GetChangedPortRecord() const { return m_changedPortRecord.load(); }
    int GetCommand() const { return m_command.load(); }
    void SetCommand(int command) { m_command.store(command); }
    int GetSwitchStatus() const { return m_SwitchStatus.load(); }
    // The receive buffer's length; on the console thread only.
    int GetResponseLength() const;
    // When the line last brought anything (steady clock); the time of opening before that.
    std::chrono::steady_clock::time_point GetLastReceived() const;

    // The first notification of the process waits for the view first.
    void Notify() override;

    // Called by the thread's loop.
    void Start();
    void OnTimer(int id);
    // What the line brought, parsed with what came before; on the console thread.
    void ReceiveBytes(const std::string& input);

private:
    // True when the call was handed to the console thread.
    bool PostToConsoleThread(std::function<void()> call);
    void OpenSerialPort();
    // Opens the configured line and logs a failure.
    platform::SerialOpenResult OpenLine();
    void SetPortCommand(int port, bool enable);
    // The next step of an all-ports enable or disable, after a reply.
    void ContinueAllPorts(bool enable);
    void SendText(const CString& text);
    void OnComm(platform::SerialEvent event, const std::string& detail, unsigned generation);
    void ParseResponse();
    bool ResponseEndsWith(const char* text) const;
    void ProcessLinkUpDownNotice();
    int GetPortFromTrap(const CString& line);
    void ProcessPortStatus();
    void ProcessEnDisablePort();
    void UpdatePort(int port, int enableState, int linkState, int vlanId);
    void RaiseNotify(int type);
    void ClearLoginFlags();
    void BoundResponse();
    void Pause(int ms);

    SwitchConfig m_config;
    SwitchConsoleOptions m_options;
    SwitchManagerUIThread& m_thread;
    SwitchConsoleProcessState& m_process;
    platform::Event& m_viewReady;

    std::atomic<std::chrono::steady_clock::rep> m_lastReceived{0};
    std::atomic<int> m_changedPort{0};
    std::atomic<int> m_command{Command_None};
    std::unique_ptr<platform::SerialPort> m_port;
    unsigned m_portGeneration = 0; // events of a line closed since are dropped
    CString m_strResponse;
    std::vector<std::unique_ptr<SwitchPort>> m_ports;
    std::atomic<int> m_SwitchStatus{SwitchStatus_Unknown};
    bool m_allQueryPending = false;
    bool m_allEnablePending = false;
    bool m_allDisablePending = false;
    int m_nextPort = 0;
    int m_portCount;
    int m_trunkPort;
    std::atomic<SwitchPort*> m_changedPortRecord{nullptr};
    bool m_loginPromptSeen = false;
    int m_passwordPrompts = 0;
    bool m_loginGivenUp = false;
    bool m_firstAnswer = false;
    bool m_showReplyAwaited = false;
};
