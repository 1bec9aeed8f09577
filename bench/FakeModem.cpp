#include "bench/FakeModem.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace bench {

namespace {

std::string UrlDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

const std::vector<LocatorRecord>& LocatorsOf(const ParameterRecord& p, bool english) {
    if (english && !p.englishLocators.empty())
        return p.englishLocators;
    return p.localLocators.empty() ? p.englishLocators : p.localLocators;
}

std::vector<std::string> Items(const std::string& list) {
    std::vector<std::string> items;
    size_t start = 0;
    for (;;) {
        size_t end = list.find(';', start);
        items.push_back(list.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return items;
        start = end + 1;
    }
}

// Heads outside in, the value, tails inside out; line breaks and tabs between the markers as
// modems' pages have them (the reader drops them).
std::string Nest(const std::vector<LocatorRecord>& locators, size_t from, const std::string& value) {
    std::string out;
    for (size_t i = from; i < locators.size(); ++i)
        out += locators[i].head.str() + (i + 1 < locators.size() ? "\r\n\t" : "");
    out += value;
    for (size_t i = locators.size(); i-- > from;)
        out += locators[i].tail.str() + (i > from ? "\r\n" : "");
    return out;
}

} // namespace

std::string RoutePath(const std::string& url) {
    std::string path = url.substr(0, url.find('?'));
    if (path.empty() || path[0] != '/')
        path.insert(path.begin(), '/');
    return path;
}

std::vector<std::pair<std::string, std::string>> DecodeForm(const std::string& body) {
    std::vector<std::pair<std::string, std::string>> fields;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        std::string piece = body.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!piece.empty()) {
            size_t eq = piece.find('=');
            fields.emplace_back(UrlDecode(piece.substr(0, eq)),
                                eq == std::string::npos ? "" : UrlDecode(piece.substr(eq + 1)));
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return fields;
}

std::string FakeModem::RenderPage(const TerminalRecord& model, const std::string& path,
                                  const std::map<std::string, std::string>& values, bool english) {
    std::string page =
        "<html>\r\n<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n"
        "<title>\xC9\xE8\xB1\xB8\xD7\xB4\xCC\xAC</title></head>\r\n<body>\r\n"
        "<table class=\"menu\"><tr><td>&nbsp;\xD7\xB4\xCC\xAC&nbsp;</td></tr></table>\r\n";
    for (const auto& parameter : model.parameters) {
        auto value = values.find(parameter->name.str());
        if (value == values.end() || RoutePath(parameter->page.str()) != path)
            continue;
        const auto& locators = LocatorsOf(*parameter, english);
        if (locators.empty())
            continue;
        if (parameter->arraySpec == "FALSE") {
            // The inner markers also stand outside the outer block, as in the pages' other
            // tables, so that only the whole chain of locators finds the value.
            if (locators.size() > 1)
                page += "  <table>" + Nest(locators, 1, "-") + "</table>\r\n";
            page += "  " + Nest(locators, 0, value->second) + "\r\n";
            continue;
        }
        std::string rows;
        for (const std::string& item : Items(value->second))
            rows += "\r\n\t" + Nest(locators, 1, item);
        page += "  " + locators[0].head.str() + rows + "\r\n" + locators[0].tail.str() + "\r\n";
    }
    return page + "</body>\r\n</html>\r\n";
}

FakeModem::FakeModem(const TerminalRecord& model, FakeModemConfig config)
    : m_config(std::move(config)), m_factoryWireless(m_config.wireless) {
    for (const auto& parameter : model.parameters)
        m_model.parameters.push_back(std::make_unique<ParameterRecord>(*parameter));
    for (const auto& parameter : model.parameters) {
        std::string path = RoutePath(parameter->page.str());
        m_pages[path] = RenderPage(model, path, m_config.values, m_config.english);
    }

    if (IsForm()) {
        m_server.Route("GET", "/",
                       WebResponse::Ok("<html><body><form action=\"login\">\xD3\xC3\xBB\xA7\xC3\xFB"
                                       "<input name=user>\xC3\xDC\xC2\xEB<input name=pass type=password>"
                                       "</form></body></html>\r\n",
                                       "text/html; charset=gb2312"));
    } else {
        m_server.RequireAuth("*", m_config.login == ModemLogin::Basic ? WebAuth::Basic : WebAuth::Digest,
                             m_config.user, m_config.password);
        m_server.Route("GET", "/", WebResponse::Ok("<html><body>home</body></html>\r\n"));
    }

    for (const auto& function : model.functions) {
        for (int i = 0; i < function->urls.GetSize(); ++i) {
            std::string method = function->methods[i] == "POST" ? "POST" : "GET";
            std::string path = RoutePath(function->urls[i].str());
            if (function->name == "login" && method == "POST") {
                m_server.Route(method, path, [this](const WebRequest& r) { return Login(r); });
                continue;
            }
            m_server.Route(method, path, [this, name = function->name.str()](const WebRequest& r) {
                if (!InSession(r, false))
                    return Refuse();
                std::function<void(const std::string&)> hook;
                {
                    std::lock_guard lock(m_mutex);
                    m_calls.push_back(r.method + " " + r.target);
                    hook = m_functionHook;
                }
                if (hook)
                    hook(name);
                return WebResponse::Ok("<html><body>OK</body></html>\r\n");
            });
        }
    }

    for (const auto& upload : model.uploadFunctions) {
        std::string field = upload->fieldName.str();
        m_server.Route(
            "GET", RoutePath(upload->page.str()),
            WebResponse::Ok("<html><form enctype=\"multipart/form-data\"><input type=file name=\"" + field +
                            "\"></form></html>\r\n"));
        m_server.Route("POST", RoutePath(upload->action.str()), [this, field](const WebRequest& r) {
            if (!InSession(r, true) || r.body.find("name=\"" + field + "\"") == std::string::npos)
                return Refuse();
            std::function<void(const std::string&)> hook;
            {
                std::lock_guard lock(m_mutex);
                m_uploads.push_back(r.bodyLength);
                hook = m_uploadHook;
            }
            if (hook)
                hook(r.body);
            return WebResponse::Ok("<html><body>upgrading</body></html>\r\n");
        });
    }

    if (m_config.wireless) {
        m_server.Route("GET", "/wlan.html", [this](const WebRequest&) { return WirelessPage(); });
        m_server.Route("POST", "/wlan.cgi", [this](const WebRequest& r) { return SetWireless(r); });
    }

    for (const auto& entry : m_pages) {
        m_server.Route("GET", entry.first, [this, path = entry.first](const WebRequest& r) {
            {
                std::lock_guard lock(m_mutex);
                ++m_pageRequests[path];
            }
            if (!InSession(r, false))
                return Refuse();
            std::lock_guard lock(m_mutex);
            return WebResponse::Ok(m_pages[path]);
        });
    }
}

WebResponse FakeModem::WirelessPage() const {
    std::lock_guard lock(m_mutex);
    const ModemWireless& w = *m_config.wireless;
    std::string page = "<html><body><form method=post action=\"/wlan.cgi\">SSID <input name=ssid value=\"" +
                       w.ssid + "\"> <select name=security>";
    const char* names[] = {"None", "WEP", "WPA", "WPA2"};
    for (int i = 0; i < 4; ++i)
        page += "<option value=" + std::to_string(i) + (i == w.security ? " selected>" : ">") + names[i] +
                "</option>";
    return WebResponse::Ok(page + "</select> Key <input name=key value=\"" + w.key +
                           "\"> <input type=submit></form></body></html>\r\n");
}

// Settings a modem's own page would refuse: no name, or a key that does not fit its security.
WebResponse FakeModem::SetWireless(const WebRequest& request) {
    ModemWireless settings;
    bool security = false;
    for (const auto& [name, value] : DecodeForm(request.body)) {
        if (name == "ssid")
            settings.ssid = value;
        else if (name == "key")
            settings.key = value;
        else if (name == "security" && value.size() == 1 && value[0] >= '0' && value[0] <= '3')
            settings.security = value[0] - '0', security = true;
    }
    const size_t length = settings.key.size();
    const bool hex = settings.key.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    const bool keyFits = settings.security == 0   ? true
                         : settings.security == 1 ? length == 5 || length == 13 || (hex && (length == 10 || length == 26))
                                                  : length >= 8 && length <= 63;
    if (settings.ssid.empty() || settings.ssid.size() > 32 || !security || !keyFits)
        return WebResponse::Status(400, "<html><body>invalid wireless settings</body></html>\r\n");
    if (settings.security == 0)
        settings.key.clear();
    TakeWireless(settings);
    return WebResponse::Ok("<html><body>saved</body></html>\r\n");
}

void FakeModem::TakeWireless(const ModemWireless& settings) {
    std::function<void(const ModemWireless&)> hook;
    {
        std::lock_guard lock(m_mutex);
        m_config.wireless = settings;
        hook = m_wirelessHook;
    }
    if (hook)
        hook(settings);
}

void FakeModem::RestoreWireless() {
    if (m_factoryWireless)
        TakeWireless(*m_factoryWireless);
}

void FakeModem::SetWirelessHook(std::function<void(const ModemWireless&)> hook) {
    std::lock_guard lock(m_mutex);
    m_wirelessHook = std::move(hook);
}

std::optional<ModemWireless> FakeModem::Wireless() const {
    std::lock_guard lock(m_mutex);
    return m_config.wireless;
}

FakeModem::~FakeModem() {
    Stop();
}

void FakeModem::Start(const std::string& address, int port) {
    m_server.Start(address, port);
}

void FakeModem::SetValues(const std::map<std::string, std::string>& values) {
    std::lock_guard lock(m_mutex);
    m_config.values = values;
    for (auto& [path, text] : m_pages)
        text = RenderPage(m_model, path, values, m_config.english);
}

std::map<std::string, std::string> FakeModem::Values() const {
    std::lock_guard lock(m_mutex);
    return m_config.values;
}

void FakeModem::SetUploadHook(std::function<void(const std::string& body)> hook) {
    std::lock_guard lock(m_mutex);
    m_uploadHook = std::move(hook);
}

void FakeModem::SetFunctionHook(std::function<void(const std::string& function)> hook) {
    std::lock_guard lock(m_mutex);
    m_functionHook = std::move(hook);
}

void FakeModem::Stop() {
    m_server.Stop();
}

bool FakeModem::InSession(const WebRequest& request, bool upload) const {
    if (!IsForm())
        return true; // the server's authentication guards every path
    std::lock_guard lock(m_mutex);
    if (m_session.empty())
        return false;
    bool inQuery = request.query.find("=" + m_session) != std::string::npos;
    std::string cookie = request.Header("Cookie");
    if (m_config.login == ModemLogin::FormSessionId)
        return inQuery || (upload && cookie.find("SessionID=" + m_session) != std::string::npos);
    return cookie.find("sid=" + m_session) != std::string::npos;
}

WebResponse FakeModem::Login(const WebRequest& request) {
    // The user and the password in two different fields, whatever the fields are called.
    auto fields = DecodeForm(request.body);
    bool accepted = false;
    for (size_t u = 0; u < fields.size(); ++u) {
        for (size_t p = 0; p < fields.size(); ++p)
            accepted = accepted ||
                       (p != u && fields[u].second == m_config.user && fields[p].second == m_config.password);
    }
    std::lock_guard lock(m_mutex);
    if (!accepted) {
        ++m_failedLogins;
        return WebResponse::Status(403, "<html><body>\xB5\xC7\xC2\xBC\xCA\xA7\xB0\xDC</body></html>\r\n");
    }
    ++m_logins;
    // A new session each time; the old one ends.
    char id[32];
    std::snprintf(id, sizeof id, "%08x%04x", 0x5eed0000u + static_cast<unsigned>(++m_sessions),
                  Port() & 0xffff);
    m_session = id;
    WebResponse answer = WebResponse::Ok("<html><body>welcome</body></html>\r\n");
    if (m_config.login == ModemLogin::FormSessionId)
        answer.Header("Set-Cookie", "SessionID=" + m_session);
    else
        answer.Header("Set-Cookie", "sid=" + m_session + "; path=/");
    return answer;
}

WebResponse FakeModem::Refuse() {
    std::lock_guard lock(m_mutex);
    ++m_refused;
    return WebResponse::Status(302).Header("Location", "/");
}

std::string FakeModem::Page(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    auto found = m_pages.find(path);
    return found == m_pages.end() ? "" : found->second;
}

int FakeModem::PageRequests(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    auto found = m_pageRequests.find(path);
    return found == m_pageRequests.end() ? 0 : found->second;
}

int FakeModem::PageRequestsTotal() const {
    std::lock_guard lock(m_mutex);
    int total = 0;
    for (const auto& entry : m_pageRequests)
        total += entry.second;
    return total;
}

int FakeModem::Logins() const {
    std::lock_guard lock(m_mutex);
    return m_logins;
}

int FakeModem::FailedLogins() const {
    std::lock_guard lock(m_mutex);
    return m_failedLogins;
}

std::vector<std::string> FakeModem::FunctionCalls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

std::vector<uint64_t> FakeModem::Uploads() const {
    std::lock_guard lock(m_mutex);
    return m_uploads;
}

int FakeModem::Refused() const {
    std::lock_guard lock(m_mutex);
    return m_refused;
}

} // namespace bench
