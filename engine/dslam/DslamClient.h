#pragma once
// Asks the DSLAM over telnet for the state and rates of one DSL port: a connection per query,
// the log-in dialogue, one "show interface" command with its pager, and the reply table.

#include <cstdint>
#include <optional>

#include "engine/config/ConfigRecords.h"
#include "engine/records/TestRecords.h"
#include "platform/net/TimeOutSocket.h"
#include "platform/text/CString.h"

struct DslamPortAddress {
    int slot;
    int port;
};

// The DSLAM slot and port serving a switch port; none for a port the DSLAM cannot serve.
std::optional<DslamPortAddress> GetDslamPortAddress(const DslamConfig& dslam, int switchPort);

class DslamClient {
public:
    enum Model { Model_Alder, Model_Birch };

    DslamClient(const CString& ip, const CString& user, const CString& password);

    // Tests reach the fake on its own port and with a short guard.
    void SetTelnetPort(uint16_t port) { m_port = port; }
    void SetGuardMs(uint32_t guardMs) { m_guardMs = guardMs; }

    // Fills the target's DSL state and both rates, or throws a Throw_Error value.
    void QueryAlder(int slot, int port, ModemResult& target) { Query(Model_Alder, slot, port, target); }
    void QueryBirch(int slot, int port, ModemResult& target) { Query(Model_Birch, slot, port, target); }
    void Query(Model model, int slot, int port, ModemResult& target);

    // The reply table's first row after the line of dashes: state and both rates. A reply
    // without the dashes gives state 0 and rates 0.
    static void ParseReply(const CString& response, ModemResult& target);

private:
    void Send(const CString& text);
    void Receive();
    void Login(Model model);

    CString m_ip, m_user, m_password;
    CString m_response;
    uint16_t m_port = 23;
    uint32_t m_guardMs = platform::TimeOutSocket::kDefaultGuardMs;
    platform::TimeOutSocket m_socket;
};
