#include "bench/FakeTelnetSwitch.h"

#include <cstdio>
#include <cstdlib>

namespace bench {

// IAC WILL ECHO, IAC WILL SUPPRESS-GO-AHEAD, IAC DO TERMINAL-TYPE, then the greeting.
const char* const FakeTelnetSwitch::kBanner =
    "\xFF\xFB\x01\xFF\xFB\x03\xFF\xFD\x18\r\nSwitch console\r\n\r\nlogin:";

FakeTelnetSwitch::FakeTelnetSwitch(std::string user, std::string password, int portCount)
    : m_user(std::move(user)), m_password(std::move(password)), m_ports(portCount) {
    for (int i = 0; i < portCount; ++i)
        m_ports[i].vlanId = 101 + i;
}

FakeTelnetSwitch::~FakeTelnetSwitch() {
    Stop();
}

void FakeTelnetSwitch::SetPortHook(std::function<void(int, bool)> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_portHook = std::move(hook);
}

void FakeTelnetSwitch::SetSwitchPort(int port, PortState state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ports.at(port - 1) = state;
}

FakeTelnetSwitch::PortState FakeTelnetSwitch::GetSwitchPort(int port) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_ports.at(port - 1);
}

void FakeTelnetSwitch::SetWrongPortReply(int askedPort, int repliedPort) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wrongAsked = askedPort;
    m_wrongReplied = repliedPort;
}

bool FakeTelnetSwitch::Login(Connection& c) {
    std::string line;
    for (;;) {
        if (!c.ReadLine(line, '\n', '\r'))
            return false;
        std::string user = line;
        c.Write(user + "\r\npassword:");
        if (!c.ReadLine(line, '\n', '\r'))
            return false;
        if (user == m_user && line == m_password)
            break;
        c.Write("\r\nLogin incorrect\r\n\r\nlogin:");
    }
    c.Write("\r\nSwitch>");
    for (;;) {
        if (!c.ReadLine(line, '\n', '\r'))
            return false;
        if (line == "enable")
            break;
        c.Write(line + "\r\nSwitch>");
    }
    c.Write("enable\r\npassword:");
    for (;;) {
        if (!c.ReadLine(line, '\n', '\r'))
            return false;
        if (line == m_password)
            break;
        c.Write("\r\nBad password\r\nSwitch>");
        if (!c.ReadLine(line, '\n', '\r'))
            return false;
        c.Write("enable\r\npassword:");
    }
    c.Write("\r\nSwitch(cfg)#");
    return true;
}

std::string FakeTelnetSwitch::ShowPort(int port) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (port < 1 || port > static_cast<int>(m_ports.size()))
        return "Error: no such port\r\n";
    const PortState& s = m_ports[port - 1];
    int shown = port == m_wrongAsked ? m_wrongReplied : port;
    char text[512];
    std::snprintf(text, sizeof text,
                  "PortId     : %d          MediaType      : Copper\r\n"
                  "Link           : %s\r\n"
                  "Speed          : 100M         Duplex         : Full\r\n"
                  "DefaultVlanId  : %d          FlowControl    : off\r\n"
                  "PortEnable     : %s\r\n",
                  shown, s.linkUp ? "up" : "down", s.vlanId, s.enabled ? "enabled" : "disabled");
    return text;
}

void FakeTelnetSwitch::Serve(Connection& c) {
    if (Refuse(c, "\xFF\xFB\x01\r\n"))
        return;
    c.Write(kBanner);
    if (!Login(c))
        return;
    std::string line;
    while (c.ReadLine(line, '\n', '\r')) {
        std::string reply = line + "\r\n";
        int port = 0;
        char word[16] = {};
        if (std::sscanf(line.c_str(), "show port %d", &port) == 1) {
            reply += ShowPort(port);
        } else if (std::sscanf(line.c_str(), "set port %d %15s", &port, word) == 2) {
            const bool enable = std::string(word) == "enable";
            std::function<void(int, bool)> hook;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (port >= 1 && port <= static_cast<int>(m_ports.size()) &&
                    (enable || std::string(word) == "disable")) {
                    m_ports[port - 1].enabled = enable;
                    hook = m_portHook;
                } else {
                    reply += "Error: bad command\r\n";
                }
            }
            if (hook)
                hook(port, enable);
        }
        c.Write(reply + "Switch(cfg)#");
    }
}

} // namespace bench
