#pragma once
// One modem's web server as the test engine and the template tool reach it: which TCP ports
// answer, whether the server wants HTTP authentication, which terminal template it matches,
// the parameter values read from its pages, and the template functions run on it.
//
// One thread uses a client at a time; clients share only the template store, which they read.
// The values read from a modem stay in this client (its rule evaluator), never in the store.
// A match holds for the store's generation it was made in: once the store was reset, cleared or
// reloaded the client has no match, no values and no terminal name until it identifies again.
// Every failure is a 0 result or an empty text.

#include <chrono>

#include "platform/text/Arrays.h"
#include "platform/text/CString.h"
#include "templates/RuleEvaluator.h"
#include "templates/TemplateConnection.h"
#include "templates/TemplateHttpSession.h"
#include "templates/TemplateStore.h"

class TerminalClient {
public:
    // Probe results.
    enum { ProbeAuthentication = 0, ProbePage = 1, ProbeOther = 2 };

    // Over the process-wide store.
    TerminalClient();
    // Over a store of the caller's (tests, benchmarks); not owned.
    explicit TerminalClient(TemplateStore* store);
    ~TerminalClient();
    TerminalClient(const TerminalClient&) = delete;
    TerminalClient& operator=(const TerminalClient&) = delete;

    TemplateStore* GetTemplateStore() const { return m_store; }
    // A non-empty path is read afresh; an empty one loads the default file unless loaded.
    int LoadTemplates(const CString& path);

    // 1 when ip:port accepts a TCP connection within a few seconds.
    int ProbeTcpPort(const CString& ip, int port) const;
    // The ports (decimal texts) that accept TCP, in input order.
    void FilterOpenPorts(const CString& ip, const CStringArray& ports, CStringArray& open) const;
    // 1 and user and password when the entry may be used under the current probe result.
    int ParseAccount(const CString& entry, CString& user, CString& password) const {
        return ParseAccount(entry, m_probeResult, user, password);
    }
    static int ParseAccount(const CString& entry, int probeResult, CString& user, CString& password);
    // 0 the root page wants HTTP authentication, 1 it was served, 2 anything else.
    int ProbeLogin();

    // Nonzero when a terminal template matched the modem at ip.
    int IdentifyTerminal(const CString& ip, const CString& templatePath, int givenPorts);
    int FindDevice(const CString& ip) { return IdentifyTerminal(ip, CString(), 0); }
    TerminalRecord* IdentifyByAuthentication();
    TerminalRecord* IdentifyByPage();

    CString GetTerminalName() const;
    int GetParameterNames(CStringArray& names) const;
    CString GetParameterValue(const CString& name) const;
    int GetParameterEncode(const CString& name) const;
    int CheckParameterRules(const CString& name) const;
    int RunFunction(const CString& name, const CStringArray& arguments);
    int RunUploadFunction(const CString& name, const CString& filePath);
    void GetFunctionNames(CStringArray& names) const;
    void GetUploadFunctionNames(CStringArray& names) const;

    const CString& GetIp() const { return m_ip; }
    int GetPort() const { return m_port; }
    const CString& GetAccount() const { return m_account; }
    int GetProbeResult() const { return m_probeResult; }
    // The matched terminal while the store is as it was at the match; null otherwise.
    const TerminalRecord* GetMatchedTerminal() const;
    TemplateConnection& GetConnection() { return m_connection; }
    const TemplateHttpSession& GetHttpSession() const { return m_session; }

    // A silent port is given up after this long, not after the kernel's minutes.
    static constexpr std::chrono::milliseconds kProbeTimeout{3000};

private:
    // m_matched when the store has not changed since the match; call under the store's ReadLock.
    TerminalRecord* Matched() const;
    // The matched terminal's first parameter of that name, ignoring case.
    const ParameterRecord* FindParameter(const CString& name) const;
    // The group's accounts, then the extra ones.
    CStringArray Accounts() const;
    // Connects as the matched terminal's kind wants and logs in where a form does it.
    int OpenForFunction();

    TemplateStore* m_store;
    TemplateConnection m_connection;
    RuleEvaluator m_evaluator;
    TemplateHttpSession m_session;
    CStringArray m_extraAccounts;
    CString m_ip;
    int m_port = 0;
    CString m_account;
    int m_probeResult = ProbeOther;
    int m_givenPorts = 0;
    TerminalRecord* m_matched = nullptr;
    uint64_t m_matchedGeneration = 0;
};
