#include "engine/switch/SwitchManager2.h"

#include "engine/Common.h"
#include "engine/log/Logger.h"
#include "engine/switch/ShowPortReply.h"
#include "engine/switch/SwitchLogin.h"
#include "engine/switch/TelnetReceive.h"

namespace {
const char* const kTooManyClients = "Telnet client too much to login, please try again later";
const char* const kConfigPrompt = "(cfg)#";
} // namespace

// One logged-in telnet session; closed when it goes out of scope, thrown out of or not.
class SwitchManager2::Connection {
public:
    Connection(const SwitchConfig& config, uint16_t port, uint32_t guardMs) : m_socket(guardMs) {
        // A failed connect is noticed by the first receive, which then throws 101.
        m_socket.Connect(config.Ip, port);
        Login(config);
    }
    ~Connection() { m_socket.Close(); }

    void SendLine(const CString& text) { SendTelnetText(m_socket, text + "\n"); }

    void ReceiveUntil(const char* prompt) {
        do
            ReceiveTelnetText(m_socket, m_response);
        while (!EndsWith(m_response, prompt));
    }

    CString& Response() { return m_response; }

private:
    void Login(const SwitchConfig& config) {
        // Counted per connection, so that a corrected password works on the next call.
        int loginPrompts = 0;
        const LoginInfo login = CurrentSwitchLogin(config);
        for (;;) {
            ReceiveTelnetText(m_socket, m_response);
            if (m_response.Find(kTooManyClients) >= 0) {
                throw Error_TooManyClients;
            } else if (EndsWith(m_response, "login:")) {
                m_response.Empty();
                SendLine(login.User);
                LogInfo("login.");
                if (++loginPrompts >= 3)
                    throw Error_LoginFailed;
            } else if (EndsWith(m_response, "password:")) {
                m_response.Empty();
                SendLine(login.Password);
                LogInfo("password.");
            } else if (EndsWith(m_response, ">")) {
                m_response.Empty();
                SendLine("enable");
                loginPrompts = 0;
                LogInfo("enable.");
            } else if (EndsWith(m_response, kConfigPrompt)) {
                m_response.Empty();
                LogInfo("Login succcess.");
                return;
            }
        }
    }

    platform::TimeOutSocket m_socket;
    CString m_response;
};

SwitchManager2::SwitchManager2(const SwitchConfig& config, uint16_t telnetPort, uint32_t guardMs)
    : m_config(config), m_telnetPort(telnetPort), m_guardMs(guardMs) {
    for (int port = 1; port <= config.PortCount; ++port)
        m_ports.push_back(
            std::make_unique<SwitchPort>(port, SwitchPort::Enable_Unknown, SwitchPort::Link_Down, -1));
}

SwitchManager2::~SwitchManager2() {
    LogDebug("SwitchManager2::~SwitchManager2()");
}

SwitchManager2* SwitchManager2::Instance(const SwitchConfig& config, uint16_t telnetPort, uint32_t guardMs) {
    return InstanceOf(config, telnetPort, guardMs);
}

SwitchPort* SwitchManager2::Record(int port) const {
    if (port < 1 || port > static_cast<int>(m_ports.size()))
        return nullptr;
    return m_ports[port - 1].get();
}

void SwitchManager2::QueryPort(Connection& c, int port) {
    CString command;
    command.Format("show port %d", port);
    c.SendLine(command);
    c.ReceiveUntil(kConfigPrompt);
    ShowPortReply reply;
    if (ParseShowPortReply(c.Response(), reply)) {
        if (reply.port != port) {
            LogWarning("返回的端口号不是指定的端口号");
        } else {
            SwitchPort* record = Record(port);
            record->SetEnableState(reply.enableState);
            if (reply.linkState != 0)
                record->SetLinkState(reply.linkState);
            record->SetVlanId(reply.vlanId);
        }
    }
    c.Response().Empty();
    LogInfo("Get Port %d succcess.", port);
}

void SwitchManager2::SetPort(Connection& c, int port, bool enable) {
    CString command;
    command.Format(enable ? "set port %d enable" : "set port %d disable", port);
    c.SendLine(command);
    c.ReceiveUntil(kConfigPrompt);
    c.Response().Empty();
    LogInfo("Get Port %d succcess.", port);
    SwitchPort* record = Record(port);
    record->SetEnableState(enable ? SwitchPort::Enable_Enabled : SwitchPort::Enable_Disabled);
    LogDebug("Notify PortEnDisableNotify,Port = %d", port);
    m_enDisabledPort.store(record);
    SetNotifyType(PortEnDisableNotify);
    Notify();
}

SwitchPort* SwitchManager2::GetPortStatus(int port) {
    if (Record(port) == nullptr)
        return nullptr;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Connection c(m_config, m_telnetPort, m_guardMs);
    QueryPort(c, port);
    return Record(port);
}

std::vector<SwitchPort*> SwitchManager2::GetAllPortStatus() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Connection c(m_config, m_telnetPort, m_guardMs);
    LogInfo("Finish Login.");
    std::vector<SwitchPort*> list;
    for (int port = 1; port <= static_cast<int>(m_ports.size()); ++port) {
        QueryPort(c, port);
        list.push_back(Record(port));
    }
    return list;
}

void SwitchManager2::DisableAllPortsExceptTrunk() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Connection c(m_config, m_telnetPort, m_guardMs);
    for (int port = 1; port <= static_cast<int>(m_ports.size()); ++port)
        if (port != m_config.TrunkPortNo)
            SetPort(c, port, false);
}

void SwitchManager2::EnableAllPorts() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Connection c(m_config, m_telnetPort, m_guardMs);
    for (int port = 1; port <= static_cast<int>(m_ports.size()); ++port)
        SetPort(c, port, true);
}

void SwitchManager2::EnablePort(int port) {
    if (Record(port) == nullptr)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Connection c(m_config, m_telnetPort, m_guardMs);
    SetPort(c, port, true);
}

void SwitchManager2::DisablePort(int port) {
    if (Record(port) == nullptr)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Connection c(m_config, m_telnetPort, m_guardMs);
    SetPort(c, port, false);
}
