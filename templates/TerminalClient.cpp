#include "templates/TerminalClient.h"

#include <cstdlib>

#include "platform/net/TcpConnect.h"

namespace {

// Credentials no modem has: a server that wants authentication refuses them with 401.
const char kProbeUser[] = "qarnplowvistem";
const char kProbePassword[] = "brelkontudashy";

} // namespace

TerminalClient::TerminalClient() : TerminalClient(&TemplateStore::Instance()) {}

TerminalClient::TerminalClient(TemplateStore* store) : m_store(store) {}

TerminalClient::~TerminalClient() {
    m_connection.Close();
}

int TerminalClient::LoadTemplates(const CString& path) {
    if (!path.IsEmpty()) {
        // The records go with the reset; so must everything that points at them.
        m_matched = nullptr;
        m_evaluator.ClearValues();
        m_store->Reset();
    }
    return m_store->Load(path);
}

int TerminalClient::ProbeTcpPort(const CString& ip, int port) const {
    if (port <= 0 || port > 65535)
        return 0;
    return platform::TcpConnect(ip, static_cast<uint16_t>(port), kProbeTimeout).Connected() ? 1 : 0;
}

void TerminalClient::FilterOpenPorts(const CString& ip, const CStringArray& ports, CStringArray& open) const {
    open.RemoveAll();
    for (int i = 0; i < ports.GetSize(); ++i) {
        if (ProbeTcpPort(ip, std::atoi(ports[i])))
            open.Add(ports[i]);
    }
}

int TerminalClient::ParseAccount(const CString& entry, int probeResult, CString& user, CString& password) {
    int first = entry.Find(':');
    if (first < 0)
        return 0;
    int second = entry.Find(':', first + 1);
    if (second >= 0) {
        CString kind = entry.Left(first);
        kind.Trim();
        kind.MakeLower();
        if (probeResult == ProbePage && kind != "web")
            return 0;
        if (probeResult == ProbeAuthentication && kind != "brw")
            return 0;
        user = entry.Mid(first + 1, second - first - 1);
        password = entry.Mid(second + 1);
        return 1;
    }
    user = entry.Left(first);
    password = entry.Mid(first + 1);
    return 1;
}

int TerminalClient::ProbeLogin() {
    m_connection.Connect(m_ip, m_port, kProbeUser, kProbePassword, m_givenPorts);
    if (m_connection.SendTemplateRequest("", "GET", "", ""))
        return ProbePage;
    return m_connection.GetStatusCode() == 401 ? ProbeAuthentication : ProbeOther;
}

int TerminalClient::IdentifyTerminal(const CString& ip, const CString& templatePath, int givenPorts) {
    m_matched = nullptr;
    m_account.Empty();
    m_evaluator.ClearValues();
    if (!LoadTemplates(templatePath))
        return 0;
    const uint64_t generation = m_store->GetGeneration();
    m_givenPorts = givenPorts;
    CStringArray ports;
    m_store->GetGroupPorts(ip, ports);
    if (!givenPorts) {
        CStringArray open;
        FilterOpenPorts(ip, ports, open);
        ports = open;
    }
    if (ports.GetSize() == 0)
        return 0;
    m_ip = ip;
    for (int i = 0; i < ports.GetSize(); ++i) {
        m_port = std::atoi(ports[i]);
        m_probeResult = ProbeLogin();
        // Only the first port that answers HTTP is used.
        if (m_probeResult == ProbeAuthentication) {
            m_matched = IdentifyByAuthentication();
            break;
        }
        if (m_probeResult == ProbePage) {
            m_matched = IdentifyByPage();
            break;
        }
    }
    // A store changed meanwhile may have taken the candidates with it.
    m_matchedGeneration = generation;
    if (m_store->GetGeneration() != generation) {
        m_matched = nullptr;
        m_evaluator.ClearValues();
    }
    return m_matched ? 1 : 0;
}

TerminalRecord* TerminalClient::Matched() const {
    return m_matched && m_store->GetGeneration() == m_matchedGeneration ? m_matched : nullptr;
}

const TerminalRecord* TerminalClient::GetMatchedTerminal() const {
    auto lock = m_store->ReadLock();
    return Matched();
}

CStringArray TerminalClient::Accounts() const {
    CStringArray accounts;
    if (GroupRecord* group = m_store->FindGroup(m_ip))
        accounts.Append(group->accounts);
    accounts.Append(m_extraAccounts);
    return accounts;
}

TerminalRecord* TerminalClient::IdentifyByAuthentication() {
    if (!m_store->FindGroup(m_ip))
        return nullptr;
    CStringArray accounts = Accounts();
    bool opened = false;
    for (int i = 0; i < accounts.GetSize() && !opened; ++i) {
        CString user, password;
        if (!ParseAccount(accounts[i], user, password))
            continue;
        m_connection.Connect(m_ip, m_port, user, password, m_givenPorts);
        if (m_connection.SendTemplateRequest("", "GET", "", "")) {
            m_account = accounts[i];
            opened = true;
        }
    }
    if (!opened)
        return nullptr;
    RuleEvaluator::TerminalList candidates;
    m_store->GetBoundTerminals(m_ip, "BRW", candidates);
    m_evaluator.SetConnection(&m_connection);
    RuleEvaluator::PageMap pages;
    TerminalRecord* found = m_evaluator.IdentifyAmong(candidates, pages);
    if (found)
        m_evaluator.ReadRemainingParameters(*found, pages);
    return found;
}

TerminalRecord* TerminalClient::IdentifyByPage() {
    RuleEvaluator::TerminalList candidates;
    m_store->GetBoundTerminals(m_ip, "WEB", candidates);
    if (candidates.empty())
        return nullptr;
    CStringArray accounts = Accounts();
    for (TerminalRecord* candidate : candidates) {
        for (int i = 0; i < accounts.GetSize(); ++i) {
            CString user, password;
            if (!ParseAccount(accounts[i], user, password))
                continue;
            m_connection.Connect(m_ip, m_port, "", "", m_givenPorts);
            m_session.SetTerminal(&m_connection, candidate);
            if (!m_session.TemplateLogin(user, password))
                continue;
            m_account = accounts[i];
            m_evaluator.SetConnection(&m_connection);
            RuleEvaluator::PageMap pages;
            if (TerminalRecord* found = m_evaluator.IdentifyAmong(candidates, pages)) {
                m_evaluator.ReadRemainingParameters(*found, pages);
                return found;
            }
        }
    }
    return nullptr;
}

CString TerminalClient::GetTerminalName() const {
    auto lock = m_store->ReadLock();
    TerminalRecord* matched = Matched();
    return matched ? matched->name : CString();
}

int TerminalClient::GetParameterNames(CStringArray& names) const {
    auto lock = m_store->ReadLock();
    TerminalRecord* matched = Matched();
    if (!matched)
        return 0;
    names.RemoveAll();
    for (const auto& parameter : matched->parameters)
        names.Add(parameter->name);
    return 1;
}

const ParameterRecord* TerminalClient::FindParameter(const CString& name) const {
    TerminalRecord* matched = Matched();
    if (!matched)
        return nullptr;
    for (const auto& parameter : matched->parameters) {
        if (parameter->name.CompareNoCase(name) == 0)
            return parameter.get();
    }
    return nullptr;
}

CString TerminalClient::GetParameterValue(const CString& name) const {
    auto lock = m_store->ReadLock();
    const ParameterRecord* parameter = FindParameter(name);
    return parameter ? m_evaluator.GetValue(*parameter) : CString();
}

int TerminalClient::GetParameterEncode(const CString& name) const {
    auto lock = m_store->ReadLock();
    const ParameterRecord* parameter = FindParameter(name);
    return parameter ? m_evaluator.GetEncodeCode(*parameter) : 0;
}

int TerminalClient::CheckParameterRules(const CString& name) const {
    auto lock = m_store->ReadLock();
    const ParameterRecord* parameter = FindParameter(name);
    return parameter ? m_evaluator.EvaluateRuleList(*parameter) : 0;
}

int TerminalClient::OpenForFunction() {
    CString user, password;
    if (!GetMatchedTerminal() || !ParseAccount(m_account, user, password))
        return 0;
    if (m_probeResult == ProbeAuthentication) {
        m_connection.Connect(m_ip, m_port, user, password, m_givenPorts);
        m_session.SetTerminal(&m_connection, m_matched);
        return 1;
    }
    if (m_probeResult == ProbePage) {
        // A fresh connection carries no session: the form log-in comes first.
        m_connection.Connect(m_ip, m_port, "", "", m_givenPorts);
        m_session.SetTerminal(&m_connection, m_matched);
        return m_session.TemplateLogin(user, password);
    }
    return 0;
}

int TerminalClient::RunFunction(const CString& name, const CStringArray& arguments) {
    if (!OpenForFunction())
        return 0;
    return m_session.RunTemplateFunction(name, arguments);
}

int TerminalClient::RunUploadFunction(const CString& name, const CString& filePath) {
    if (!OpenForFunction())
        return 0;
    return m_session.RunUpload(name, filePath, m_ip);
}

void TerminalClient::GetFunctionNames(CStringArray& names) const {
    auto lock = m_store->ReadLock();
    TerminalRecord* matched = Matched();
    if (!matched)
        return;
    names.RemoveAll();
    for (const auto& function : matched->functions)
        names.Add(function->name);
}

void TerminalClient::GetUploadFunctionNames(CStringArray& names) const {
    auto lock = m_store->ReadLock();
    TerminalRecord* matched = Matched();
    if (!matched)
        return;
    names.RemoveAll();
    for (const auto& upload : matched->uploadFunctions)
        names.Add(upload->name);
}
