#include "templates/TemplateHttpSession.h"

void TemplateHttpSession::SetTerminal(TemplateConnection* connection, const TerminalRecord* terminal) {
    m_connection = connection;
    m_terminal = terminal;
}

int TemplateHttpSession::FindFunction(const CString& name, CStringArray& urls, CStringArray& methods,
                                      CStringArray& postData, CStringArray& headers) const {
    if (!m_terminal)
        return 0;
    for (const auto& function : m_terminal->functions) {
        if (function && function->name == name) {
            urls.Copy(function->urls);
            methods.Copy(function->methods);
            postData.Copy(function->postData);
            headers.Copy(function->headers);
            return 1;
        }
    }
    return 0;
}

void TemplateHttpSession::SubstituteParameter(CStringArray& list, int number, const CString& value) const {
    CString placeholder;
    placeholder.Format("<p%d>", number);
    for (CString& text : list)
        text.Replace(placeholder, value);
}

void TemplateHttpSession::SubstituteArguments(CStringArray& list, const CStringArray& arguments) const {
    for (int i = 0; i < arguments.GetSize(); ++i)
        SubstituteParameter(list, i + 1, m_urlCode.EncodeValue(arguments[i]));
}

int TemplateHttpSession::RunTemplateFunction(const CString& name, const CStringArray& arguments) {
    CStringArray urls, methods, postData, headers;
    if (!FindFunction(name, urls, methods, postData, headers) || !m_connection)
        return 0;
    SubstituteArguments(urls, arguments);
    for (int i = 0; i < urls.GetSize(); ++i) {
        if (!m_connection->SendTemplateRequest(urls[i], methods[i], postData[i], headers[i]))
            return 0;
        CString banner;
        banner.Format("\n---- page %d response ----\n", i);
        m_responseLog += banner + m_connection->GetResponse();
    }
    return 1;
}

int TemplateHttpSession::TemplateLogin(const CString& user, const CString& password) {
    if (m_connection)
        m_connection->SetCredentials(user, password);
    CStringArray arguments;
    arguments.Add(user);
    arguments.Add(password);
    return RunTemplateFunction("login", arguments);
}

int TemplateHttpSession::FindUploadFunction(const CString& name, UploadFunctionRecord& record) const {
    if (!m_terminal)
        return 0;
    for (const auto& upload : m_terminal->uploadFunctions) {
        if (upload && upload->name == name) {
            record = *upload;
            return 1;
        }
    }
    return 0;
}

int TemplateHttpSession::RunUpload(const CString& functionName, const CString& filePath,
                                   const CString& host) {
    UploadFunctionRecord record;
    if (!FindUploadFunction(functionName, record))
        return 0;
    m_uploader.SetTarget(record.action, record.page, record.fieldName,
                         m_connection ? m_connection->GetHttpConnection() : nullptr);
    int result = m_uploader.Upload(host, filePath);
    m_responseLog = m_uploader.GetResponse();
    return result;
}
