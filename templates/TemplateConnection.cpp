#include "templates/TemplateConnection.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "platform/files/FileIo.h"
#include "platform/files/ProgramDirectory.h"

namespace {

std::atomic<int> g_debugFileCounter{0};

// The body as the modem's pages are handed on: every line ended by CRLF.
CString NormaliseLines(const std::string& body) {
    std::string out;
    out.reserve(body.size() + body.size() / 16 + 2);
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        size_t stop = end == std::string::npos ? body.size() : end;
        size_t lineEnd = stop > start && body[stop - 1] == '\r' ? stop - 1 : stop;
        out.append(body, start, lineEnd - start);
        out += "\r\n";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return CString(std::move(out));
}

CString CurrentDirectory() {
    std::error_code ec;
    auto cwd = std::filesystem::current_path(ec);
    return ec ? CString(".") : CString(cwd.string());
}

} // namespace

TemplateConnection::TemplateConnection() = default;

TemplateConnection::~TemplateConnection() {
    Close();
}

void TemplateConnection::Connect(const CString& ip, int port, const CString& user, const CString& password,
                                 int keepProxy) {
    Close();
    bool anonymous = user.IsEmpty() && password.IsEmpty();
    m_http = std::make_unique<platform::HttpConnection>(ip.str(), port, anonymous ? "" : user.str(),
                                                        anonymous ? "" : password.str(), keepProxy != 0);
    m_http->SetTimeouts(m_timeouts);
    if (!anonymous)
        SetCredentials(user, password);
    m_valid = 1;
}

void TemplateConnection::Close() {
    m_response.Empty();
    m_responseHeaders.Empty();
    m_statusCode = 0;
    m_http.reset();
}

void TemplateConnection::SetCredentials(const CString& user, const CString& password) {
    m_user = user;
    m_password = password;
}

void TemplateConnection::SetTimeouts(const platform::HttpTimeouts& timeouts) {
    m_timeouts = timeouts;
    if (m_http)
        m_http->SetTimeouts(timeouts);
}

CString TemplateConnection::FillUrl(const CString& url) const {
    CString filled = url;
    filled.Replace("<sessionid>", m_sessionId);
    // Raw, as modems expect them, but never able to add a field or end the query.
    filled.Replace("<username>", m_urlCode.EncodeUrlValue(m_user));
    filled.Replace("<userpassword>", m_urlCode.EncodeUrlValue(m_password));
    return filled;
}

// Encodes one name or value of the form, filling the credential placeholders strictly encoded.
CString TemplateConnection::EncodeFormText(const CString& text, bool fill) const {
    static const char* const kNames[] = {"<username>", "<userpassword>"};
    CString out;
    int at = 0;
    while (at < text.GetLength()) {
        int best = -1, which = 0;
        for (int k = 0; fill && k < 2; ++k) {
            int p = text.Find(kNames[k], at);
            if (p >= 0 && (best < 0 || p < best)) {
                best = p;
                which = k;
            }
        }
        if (best < 0) {
            out += m_urlCode.EncodeString(text.Mid(at));
            break;
        }
        out += m_urlCode.EncodeString(text.Mid(at, best - at));
        out += m_urlCode.EncodeValue(which == 0 ? m_user : m_password);
        at = best + static_cast<int>(std::char_traits<char>::length(kNames[which]));
    }
    return out;
}

CString TemplateConnection::EncodeFormFilled(const CString& postData, bool fill) const {
    CString data = postData;
    data.Trim();
    if (data.IsEmpty())
        return "";
    CString out;
    int start = 0;
    while (start <= data.GetLength()) {
        int amp = data.Find('&', start);
        int end = amp < 0 ? data.GetLength() : amp;
        CString piece = data.Mid(start, end - start);
        if (!piece.IsEmpty()) {
            int eq = piece.Find('=');
            out += "&";
            if (eq >= 0)
                out += EncodeFormText(piece.Left(eq), fill) + "=" + EncodeFormText(piece.Mid(eq + 1), fill);
            else
                out += EncodeFormText(piece, fill);
        }
        if (amp < 0)
            break;
        start = amp + 1;
    }
    return out.Mid(1);
}

CString TemplateConnection::EncodeForm(const CString& postData) const {
    return EncodeFormFilled(postData, false);
}

bool TemplateConnection::ReadSessionId(const CString& rawHeaders, CString& id) {
    CString folded = rawHeaders;
    folded.Replace('\n', '\r');
    folded.Remove(' ');
    folded.MakeLower();
    int at = folded.Find("sessionid=");
    if (at <= 0)
        return false;
    int first = at + 10;
    int end = folded.Find('\r', first);
    if (end < 0)
        return false;
    id = folded.Mid(first, end - first);
    return true;
}

void TemplateConnection::CaptureSessionId(const CString& rawHeaders) {
    CString id;
    if (ReadSessionId(rawHeaders, id))
        m_sessionId = id;
}

int TemplateConnection::SendTemplateRequest(const CString& url, const CString& method,
                                            const CString& postData, const CString& headers) {
    if (!m_http)
        return 0;
    platform::HttpRequest request;
    request.target = FillUrl(url).str();
    if (method == "POST") {
        request.method = "POST";
        request.body = EncodeFormFilled(postData, true).str();
        request.headers.push_back(headers.str());
    } else {
        // GET steps send none of the step's headers.
        request.method = "GET";
    }
    platform::HttpResponse response = m_http->Send(request);
    m_responseHeaders = CString(response.rawHeaders);
    CaptureSessionId(m_responseHeaders);
    m_response = NormaliseLines(response.body);
    DumpHttpDebug(CString(request.target), m_response);
    m_statusCode = response.statusCode;
    // A 200 whose body broke off is not a page the rules may read.
    return m_statusCode == 200 && response.error.empty() ? 1 : 0;
}

int TemplateConnection::FetchPage(const CString& page, CString& text) {
    if (!SendTemplateRequest(page, "GET", "", ""))
        return 0;
    text = m_response;
    return 1;
}

void TemplateConnection::DumpHttpDebug(const CString& url, const CString& response) {
    CString dir = CurrentDirectory();
    if (::access(platform::JoinPath(dir, "\\Brakmoor.debug"), F_OK) != 0)
        return;
    CString name;
    name.Format("\\HttpDebug%d.log", g_debugFileCounter.fetch_add(1));
    CString path = platform::JoinPath(dir, name);
    platform::SaveFileAtomically(path.str(), url.str() + "\n\n\n\n" + response.str());
}
