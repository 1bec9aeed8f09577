#include "engine/dslam/DslamClient.h"

#include <cstring>
#include <vector>

#include "engine/Common.h"
#include "engine/log/Logger.h"
#include "engine/switch/TelnetReceive.h"
#include "engine/switch/ThrowError.h"

namespace {

const char* const kWelcome = "Welcome to Quenmar Full Service Access";
const char* const kTooManyClients = "Telnet client too much to login, please try again later";
const char* const kPager = "Press any key to continue (Q to quit)";
const char* const kDashes = "-----------------------------------------------------------------";

CString BannerEnd() {
    return CString('#', 57) + "\r\n";
}

int RateOf(const CString& piece) {
    if (piece.CompareNoCase("N/A") == 0)
        return 0;
    long long value = 0;
    for (int i = 0; i < piece.GetLength() && piece[i] >= '0' && piece[i] <= '9'; ++i) {
        value = value * 10 + (piece[i] - '0');
        if (value > 0x7FFFFFFF)
            return 0x7FFFFFFF;
    }
    return static_cast<int>(value);
}

} // namespace

std::optional<DslamPortAddress> GetDslamPortAddress(const DslamConfig& dslam, int switchPort) {
    if (switchPort < 1) {
        LogError("端口号=%d", switchPort);
        return std::nullopt;
    }
    if (dslam.Model == "Torvex Birch")
        return DslamPortAddress{1, switchPort};
    if (switchPort <= 24)
        return DslamPortAddress{dslam.Switch1to24, switchPort};
    if (switchPort <= 48)
        return DslamPortAddress{dslam.Switch25to48, switchPort - 24};
    LogError("端口号=%d", switchPort);
    return std::nullopt;
}

DslamClient::DslamClient(const CString& ip, const CString& user, const CString& password)
    : m_ip(ip), m_user(user), m_password(password) {}

void DslamClient::Send(const CString& text) {
    // One send: each piece would be a segment of its own.
    SendTelnetText(m_socket, text + "\r\n");
}

void DslamClient::Receive() {
    ReceiveTelnetText(m_socket, m_response);
}

void DslamClient::Login(Model model) {
    const CString prompt = model == Model_Birch ? "Birch#" : "Alder#";
    // Counted per log-in, so that a corrected password works at the next query.
    int loginPrompts = 0;
    for (;;) {
        Receive();
        if (m_response.Find(kWelcome) >= 0 && EndsWith(m_response, BannerEnd())) {
            m_response.Empty();
            Send("\n");
        } else if (m_response.Find(kTooManyClients) >= 0) {
            m_socket.Close();
            throw Error_TooManyClients;
        } else if (EndsWith(m_response, "Login:")) {
            m_response.Empty();
            Send(m_user);
            LogInfo("login.");
            if (++loginPrompts > 2) {
                m_socket.Close();
                throw Error_LoginFailed;
            }
        } else if (EndsWith(m_response, "Password:")) {
            m_response.Empty();
            Send(m_password);
            LogInfo("password.");
        } else if (EndsWith(m_response, ">")) {
            m_response.Empty();
            Send("enable");
            loginPrompts = 0;
            LogInfo("enable.");
        } else if (EndsWith(m_response, "Please input password:\r\n")) {
            m_response.Empty();
            Send(m_password);
            LogInfo("Enabled password.");
        } else if (EndsWith(m_response, prompt + " ") || EndsWith(m_response, prompt)) {
            m_response.Empty();
            LogInfo("Login succcess.");
            return;
        }
    }
}

void DslamClient::Query(Model model, int slot, int port, ModemResult& target) {
    m_response.Empty();
    m_socket = platform::TimeOutSocket(m_guardMs);
    // A failed connect is noticed by the first receive, which then throws 101.
    m_socket.Connect(m_ip, m_port);
    Login(model);
    CString command;
    command.Format("show interface %d/%d port-status", slot, port);
    Send(command);
    for (;;) {
        Receive();
        if (EndsWith(m_response, kPager))
            Send("\n");
        else if (EndsWith(m_response, "#") || EndsWith(m_response, "# "))
            break;
    }
    ParseReply(m_response, target);
    m_response.Empty();
    LogInfo("Get interface %d / %d status  succcess.", slot, port);
    m_socket.Close();
}

void DslamClient::ParseReply(const CString& response, ModemResult& target) {
    target.DslStatus = 0;
    target.DownRate = 0;
    target.UpRate = 0;
    // A page break may fall anywhere in the table; the pager's prompts are no part of it.
    CString text = response;
    text.Replace(kPager, "");
    int dashes = text.Find(kDashes);
    if (dashes < 0)
        return;
    CString rest = text.Mid(dashes + static_cast<int>(strlen(kDashes)));
    CString row;
    int start = 0;
    while (start < rest.GetLength()) {
        int end = rest.Find("\r\n", start);
        CString line = end < 0 ? rest.Mid(start) : rest.Mid(start, end - start);
        start = end < 0 ? rest.GetLength() : end + 2;
        if (!line.IsEmpty()) {
            row = line;
            break;
        }
    }
    std::vector<CString> pieces;
    int pos = 0;
    for (;;) {
        CString piece = row.Tokenize(" \t", pos);
        if (pos < 0)
            break;
        if (!piece.IsEmpty())
            pieces.push_back(piece);
    }
    if (pieces.size() >= 3) {
        if (pieces[2].CompareNoCase("up") == 0)
            target.DslStatus = 1;
        else if (pieces[2].CompareNoCase("down") == 0)
            target.DslStatus = 2;
    }
    if (pieces.size() >= 4)
        target.DownRate = RateOf(pieces[3]);
    if (pieces.size() >= 5)
        target.UpRate = RateOf(pieces[4]);
}
