#pragma once
// One modem's web connection as the templates use it: single requests with the placeholders
// "<sessionid>", "<username>" and "<userpassword>", form-encoded POST bodies, the session id
// picked out of the response headers, and the last answer and status kept for the caller.

#include <memory>

#include "platform/http/HttpConnection.h"
#include "platform/text/CString.h"
#include "templates/PageSource.h"
#include "templates/UrlCode.h"

class TemplateConnection : public PageSource {
public:
    TemplateConnection();
    ~TemplateConnection() override;
    TemplateConnection(const TemplateConnection&) = delete;
    TemplateConnection& operator=(const TemplateConnection&) = delete;

    // Drops any previous connection (and its cookies) and opens a new one. keepProxy 0: direct,
    // whatever proxy the environment names.
    void Connect(const CString& ip, int port, const CString& user, const CString& password,
                 int keepProxy = 0);
    void Close();
    void SetCredentials(const CString& user, const CString& password);
    // Time-outs of this and later connections (pages, log-in and upload answers).
    void SetTimeouts(const platform::HttpTimeouts& timeouts);

    unsigned GetStatusCode() const { return m_statusCode; }
    const CString& GetResponse() const { return m_response; }
    const CString& GetResponseHeaders() const { return m_responseHeaders; }
    const CString& GetSessionId() const { return m_sessionId; }
    platform::HttpConnection* GetHttpConnection() const { return m_http.get(); }
    int IsValid() const { return m_valid; }

    // 1 when the server answered 200 (and the answer arrived whole), else 0.
    int SendTemplateRequest(const CString& url, const CString& method, const CString& postData,
                            const CString& headers);
    // A page by "GET" with no body and no extra headers; its text is the last response.
    int FetchPage(const CString& page, CString& text) override;
    // The URL-encoded form body of "a=b&c=d" post data.
    CString EncodeForm(const CString& postData) const;
    // Writes "HttpDebug<n>.log" in the current directory while "Brakmoor.debug" exists there.
    void DumpHttpDebug(const CString& url, const CString& response);
    // The session id an answer's raw header block carries ("sessionid=" up to the line end,
    // blanks removed, lower case); false when it carries none.
    static bool ReadSessionId(const CString& rawHeaders, CString& id);

private:
    // Form encoding with the credential placeholders filled in after the split, so that a
    // password holding "&", "=", "+", "%" or a blank stays one value.
    CString EncodeFormFilled(const CString& postData, bool fill) const;
    CString EncodeFormText(const CString& text, bool fill) const;
    CString FillUrl(const CString& url) const;
    void CaptureSessionId(const CString& rawHeaders);

    CUrlCode m_urlCode;
    int m_valid = 1;
    std::unique_ptr<platform::HttpConnection> m_http;
    platform::HttpTimeouts m_timeouts;
    CString m_sessionId;
    CString m_user;
    CString m_password;
    CString m_response;
    CString m_responseHeaders;
    unsigned m_statusCode = 0;
};
