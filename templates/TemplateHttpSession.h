#pragma once
// Replays a terminal template's functions (request sequences) over a TemplateConnection, logs
// in with the terminal's "login" function and runs its upload functions.

#include "platform/text/Arrays.h"
#include "platform/text/CString.h"
#include "templates/MultipartUploader.h"
#include "templates/TemplateConnection.h"
#include "templates/TemplateRecords.h"
#include "templates/UrlCode.h"

class TemplateHttpSession {
public:
    // Neither is owned.
    void SetTerminal(TemplateConnection* connection, const TerminalRecord* terminal);

    // Copies the step lists of the terminal's first function named exactly 'name'; 0 when none.
    int FindFunction(const CString& name, CStringArray& urls, CStringArray& methods, CStringArray& postData,
                     CStringArray& headers) const;
    // Replaces every "<p<n>>" in the list by value.
    void SubstituteParameter(CStringArray& list, int number, const CString& value) const;
    // Argument i fills "<p<i+1>>", encoded so that it arrives as its own text.
    void SubstituteArguments(CStringArray& list, const CStringArray& arguments) const;
    // 1 when every step answered 200; stops at the first step that did not.
    int RunTemplateFunction(const CString& name, const CStringArray& arguments);
    int TemplateLogin(const CString& user, const CString& password);
    int FindUploadFunction(const CString& name, UploadFunctionRecord& record) const;
    int RunUpload(const CString& functionName, const CString& filePath, const CString& host);

    const CString& GetResponseLog() const { return m_responseLog; }
    const MultipartUploader& GetUploader() const { return m_uploader; }

private:
    CUrlCode m_urlCode;
    TemplateConnection* m_connection = nullptr;
    MultipartUploader m_uploader;
    const TerminalRecord* m_terminal = nullptr;
    CString m_responseLog;
};
