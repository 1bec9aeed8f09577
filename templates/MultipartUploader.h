#pragma once
// Posts a firmware file to a modem as multipart/form-data. The file is streamed from disk in
// pieces of at most 65,535 bytes; it is never held whole in memory.

#include <cstdint>

#include "platform/http/HttpConnection.h"
#include "platform/text/CString.h"

class MultipartUploader {
public:
    static constexpr const char* kBoundary = "-----------------------------7d131a26a016";
    static constexpr int kChunkSize = 65535;

    // connection is not owned; it belongs to the caller's TemplateConnection.
    void SetTarget(const CString& action, const CString& page, const CString& fieldName,
                   platform::HttpConnection* connection);
    // 1 when the modem took the file: it answered with a status below 400. host names the modem
    // in the Referer ("http://host/page").
    int Upload(const CString& host, const CString& filePath);
    const CString& GetResponse() const { return m_response; }
    // Status of the last upload's answer; 0 when nothing answered.
    unsigned GetStatusCode() const { return m_statusCode; }

    // The bytes before and after the file in the body.
    CString PartHeader(const CString& filePath) const;
    static CString Closing();

private:
    platform::HttpConnection* m_connection = nullptr;
    CString m_action;
    CString m_page;
    CString m_fieldName;
    CString m_response;
    unsigned m_statusCode = 0;
};
