#include "stavrintool/diag/TemplateTestModel.h"

#include <arpa/inet.h>

#include <string>

#include "platform/net/Netlink.h"
#include "stavrintool/app/ToolStrings.h"

namespace {

std::vector<CString> ToVector(const CStringArray& items) {
    std::vector<CString> out;
    for (int i = 0; i < items.GetSize(); ++i)
        out.push_back(items[i]);
    return out;
}

CString Formatted(const char* format, const CString& text) {
    CString line;
    line.Format(format, text.GetString());
    return line;
}

} // namespace

TemplateTestModel::TemplateTestModel(TemplateTestSink& sink, const CString& templatePath)
    : m_sink(sink), m_path(templatePath.IsEmpty() ? m_store.GetPath() : templatePath) {
    m_worker = std::thread([this] { WorkerLoop(); });
}

TemplateTestModel::~TemplateTestModel() {
    {
        std::unique_lock lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_worker.join();
    m_function.DeleteIpAddress();
}

bool TemplateTestModel::UsableMask(const CString& mask) {
    uint32_t address = 0;
    if (!platform::ParseIpv4(mask.str(), address))
        return false;
    const uint32_t bits = ntohl(address), host = ~bits;
    const bool unbroken = (host & (host + 1)) == 0;
    const int prefix = __builtin_popcount(bits);
    // A /31 or /32 leaves no host number for the PC; /0 is no network at all.
    return unbroken && prefix >= 1 && prefix <= 30;
}

void TemplateTestModel::WorkerLoop() {
    for (;;) {
        std::function<Result()> job;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || m_job; });
            if (!m_job)
                return; // stopping with nothing queued
            job = std::move(m_job);
            m_job = nullptr;
        }
        Result result = job();
        {
            std::unique_lock lock(m_mutex);
            m_result = std::move(result);
            m_running = false;
        }
        m_changed.notify_all();
        m_sink.JobDone();
    }
}

void TemplateTestModel::Start(std::function<Result()> job) {
    m_busy = true;
    {
        std::unique_lock lock(m_mutex);
        m_running = true;
        m_job = std::move(job);
    }
    m_changed.notify_all();
}

void TemplateTestModel::WaitForJob() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_running; });
}

void TemplateTestModel::Deliver() {
    std::optional<Result> result;
    {
        std::unique_lock lock(m_mutex);
        if (!m_result)
            return;
        result = std::move(m_result);
        m_result.reset();
    }
    m_busy = false;
    for (const CString& line : result->lines)
        m_sink.AddLine(line);
    if (result->identified) {
        m_functions = result->functions;
        m_uploads = result->uploads;
        functionSel = uploadSel = -1;
        m_functionControls = true;
    }
    if (result->message)
        m_sink.ShowMessage(result->message);
}

bool TemplateTestModel::Discover() {
    if (m_busy)
        return false;
    Start([this] { return FindAndIdentify(); });
    return true;
}

TemplateTestModel::Result TemplateTestModel::FindAndIdentify() {
    Result result;
    // The last identification's addresses go before the search starts afresh.
    m_function.DeleteIpAddress();
    m_client.LoadTemplates(m_path);
    CStringArray ips, masks, ports, adapters, flags;
    m_store.GetAddressLists(ips, masks, ports);
    unsigned long interfaceIndex = 0;
    CString ip = m_function.FindModemIP(ips, masks, ports, adapters, flags, interfaceIndex, kPingTimeoutMs);
    if (ip.IsEmpty()) {
        result.lines.push_back("---- Device not found (Ping device IP failed) ----");
        return result;
    }
    if (!m_function.AsynPing(ip, kPingTimeoutMs)) {
        const CString mask = m_store.GetGroupMask(ip);
        if (UsableMask(mask)) {
            std::string address = ip.str(), netmask = mask.str();
            m_function.AddIpAddress(address.data(), netmask.data());
        }
    }
    if (!m_client.FindDevice(ip)) {
        result.lines.push_back("---- Unsupport device type ----");
        m_function.DeleteIpAddress();
        return result;
    }
    result.lines.push_back("");
    result.lines.push_back(Formatted("---- %s ----", m_client.GetTerminalName()));
    CStringArray names;
    m_client.GetParameterNames(names);
    for (int i = 0; i < names.GetSize(); ++i) {
        CString code;
        code.Format(" Code:  %d", m_client.GetParameterEncode(names[i]));
        result.lines.push_back("");
        result.lines.push_back(Formatted(" Name:  [%s]", names[i]));
        result.lines.push_back(Formatted(" Value:  %s", m_client.GetParameterValue(names[i])));
        result.lines.push_back(code);
    }
    CStringArray functions, uploads;
    m_client.GetFunctionNames(functions);
    m_client.GetUploadFunctionNames(uploads);
    result.identified = true;
    result.functions = ToVector(functions);
    result.uploads = ToVector(uploads);
    return result;
}

bool TemplateTestModel::RunFunction() {
    if (m_busy || functionSel < 0 || functionSel >= static_cast<int>(m_functions.size()))
        return false;
    CStringArray arguments;
    for (const CString& parameter : m_parameters)
        arguments.Add(parameter);
    Start([this, name = m_functions[functionSel], arguments] {
        Result result;
        result.message =
            m_client.RunFunction(name, arguments) ? stavrin::kIdsFunctionRan : stavrin::kIdsFunctionFailed;
        return result;
    });
    return true;
}

bool TemplateTestModel::Upload() {
    if (m_busy || uploadSel < 0 || uploadSel >= static_cast<int>(m_uploads.size()))
        return false;
    if (filePath.IsEmpty()) {
        m_sink.ShowMessage(stavrin::kIdsChooseUploadFile);
        return false;
    }
    Start([this, name = m_uploads[uploadSel], path = filePath] {
        Result result;
        result.message =
            m_client.RunUploadFunction(name, path) ? stavrin::kIdsUploaded : stavrin::kIdsUploadFailed;
        return result;
    });
    return true;
}

void TemplateTestModel::ClearOutput() {
    m_sink.ClearLines();
}

void TemplateTestModel::AddParameter() {
    CString text = parameterText;
    text.Trim();
    if (text.IsEmpty())
        return;
    if (parameterSel >= 0 && parameterSel < static_cast<int>(m_parameters.size()))
        m_parameters.insert(m_parameters.begin() + parameterSel + 1, text);
    else
        m_parameters.push_back(text);
}

void TemplateTestModel::DeleteParameter() {
    if (parameterSel < 0 || parameterSel >= static_cast<int>(m_parameters.size()))
        return;
    m_parameters.erase(m_parameters.begin() + parameterSel);
    parameterSel = -1;
}
