#pragma once
// A fake modem on loopback that a terminal template recognises: its status pages are drawn
// from the template's parameters and locators (GBK text, tables, &nbsp; and line breaks as
// modems write them), it logs in the way the template's "login" function expects (a form with
// a session id in the URLs or a cookie) or wants HTTP authentication, and it answers the
// template's functions and upload. What it was asked is counted for the tests.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <mutex>
#include <string>
#include <vector>

#include "bench/FakeWebServer.h"
#include "templates/TemplateRecords.h"

namespace bench {

enum class ModemLogin {
    FormSessionId, // the log-in answer names "SessionID=<id>"; pages want "<id>" in their URL
    FormCookie,    // the log-in answer sets a cookie that every later request must carry
    Basic,         // HTTP authentication
    Digest,
};

// A modem's wireless settings, as its wireless page shows and sets them.
struct ModemWireless {
    std::string ssid;
    int security = 3; // 0 none, 1 WEP, 2 WPA, 3 WPA2
    std::string key;  // WEP key or pass phrase
};

struct FakeModemConfig {
    ModemLogin login = ModemLogin::FormCookie;
    std::string user = "admin";
    std::string password = "admin";
    // Parameter name -> value shown; an array parameter's items joined by ";". Parameters
    // without a value are left off their page.
    std::map<std::string, std::string> values;
    // Draw the pages with the English locators (the local ones when a parameter has none).
    bool english = false;
    // A modem with a wireless side: its settings, shown at "/wlan.html" and set by posting
    // ssid, security and key to "/wlan.cgi".
    std::optional<ModemWireless> wireless = std::nullopt;
};

class FakeModem {
public:
    FakeModem(const TerminalRecord& model, FakeModemConfig config);
    ~FakeModem();
    FakeModem(const FakeModem&) = delete;
    FakeModem& operator=(const FakeModem&) = delete;

    void Start(const std::string& address = "127.0.0.1", int port = 0);
    void Stop();
    int Port() const { return m_server.Port(); }
    const std::string& Address() const { return m_server.Address(); }
    FakeWebServer& Server() { return m_server; }

    // Draws every page again with these values (a modem that came back with other firmware).
    void SetValues(const std::map<std::string, std::string>& values);
    std::map<std::string, std::string> Values() const;
    // Called after an upload was answered, with its body; and after a function step was
    // answered, with the function's name (on the server's thread, outside the modem's lock).
    void SetUploadHook(std::function<void(const std::string& body)> hook);
    void SetFunctionHook(std::function<void(const std::string& function)> hook);
    // Called after new wireless settings were taken (on the server's thread, outside the lock).
    void SetWirelessHook(std::function<void(const ModemWireless&)> hook);
    std::optional<ModemWireless> Wireless() const;
    // Back to the wireless settings it was made with, as a factory restore sets them.
    void RestoreWireless();

    // The page text served at a path (its route, without the query).
    std::string Page(const std::string& path) const;
    // Requests for a status page, answered or not.
    int PageRequests(const std::string& path) const;
    int PageRequestsTotal() const;
    int Logins() const;       // accepted
    int FailedLogins() const; // wrong user or password
    // "METHOD target" of each function step answered inside a session.
    std::vector<std::string> FunctionCalls() const;
    // Bytes of each upload answered inside a session.
    std::vector<uint64_t> Uploads() const;
    // Requests refused for want of a session.
    int Refused() const;

    // The page a template's parameters describe, showing the given values.
    static std::string RenderPage(const TerminalRecord& model, const std::string& path,
                                  const std::map<std::string, std::string>& values, bool english);

private:
    bool IsForm() const {
        return m_config.login == ModemLogin::FormSessionId || m_config.login == ModemLogin::FormCookie;
    }
    bool InSession(const WebRequest& request, bool upload) const;
    WebResponse Login(const WebRequest& request);
    WebResponse Refuse();
    WebResponse WirelessPage() const;
    WebResponse SetWireless(const WebRequest& request);
    // Outside the lock; the hook is told.
    void TakeWireless(const ModemWireless& settings);

    FakeModemConfig m_config;
    std::optional<ModemWireless> m_factoryWireless;
    TerminalRecord m_model; // its parameters, to draw the pages again
    FakeWebServer m_server;

    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_pages; // route path -> text
    std::function<void(const std::string&)> m_uploadHook, m_functionHook;
    std::function<void(const ModemWireless&)> m_wirelessHook;
    std::string m_session; // current session id; empty before a log-in
    int m_sessions = 0;
    std::map<std::string, int> m_pageRequests;
    int m_logins = 0;
    int m_failedLogins = 0;
    int m_refused = 0;
    std::vector<std::string> m_calls;
    std::vector<uint64_t> m_uploads;
};

// The path of a template URL: the text before "?".
std::string RoutePath(const std::string& url);
// Form fields of an urlencoded body, decoded.
std::vector<std::pair<std::string, std::string>> DecodeForm(const std::string& body);

} // namespace bench
