#pragma once
// The switch's telnet console on loopback: option bytes in its banner, "login:", "password:",
// the user prompt ">", "enable" with its password, the configuration prompt "(cfg)#", and the
// "show port" and "set port" commands over a set of ports. It can refuse with "too many
// clients", keep silent, or close at once. Lines end at a line feed, as the client sends them.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "bench/LoopbackServer.h"

namespace bench {

class FakeTelnetSwitch : public LoopbackServer {
public:
    struct PortState {
        bool enabled = true;
        bool linkUp = false;
        int vlanId = 0;
    };

    FakeTelnetSwitch(std::string user, std::string password, int portCount);
    ~FakeTelnetSwitch() override;

    void SetSwitchPort(int port, PortState state);
    PortState GetSwitchPort(int port) const;
    // Called when "set port" enables or disables a port (the bench flips the port's link there).
    void SetPortHook(std::function<void(int port, bool enabled)> hook);
    // Answers "show port" for this port with another port's number (a confused switch).
    void SetWrongPortReply(int askedPort, int repliedPort);

    static const char* const kBanner;

protected:
    void Serve(Connection& connection) override;

private:
    bool Login(Connection& c);
    std::string ShowPort(int port);

    const std::string m_user, m_password;
    mutable std::mutex m_mutex;
    std::vector<PortState> m_ports;
    int m_wrongAsked = 0, m_wrongReplied = 0;
    std::function<void(int, bool)> m_portHook;
};

} // namespace bench
