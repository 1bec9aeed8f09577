#include "templates/MultipartUploader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/UniqueFd.h"

namespace {

// The multipart body: part header, the file read straight into the sender's buffer, closing.
class FileBody : public platform::HttpBodySource {
public:
    FileBody(std::string head, std::string tail) : m_head(std::move(head)), m_tail(std::move(tail)) {}
    FileBody(const FileBody&) = delete;
    FileBody& operator=(const FileBody&) = delete;

    bool Open(const char* path) {
        m_fd.Reset(::open(path, O_RDONLY | O_CLOEXEC));
        struct stat st;
        if (!m_fd || ::fstat(m_fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
            return false;
        m_fileSize = static_cast<uint64_t>(st.st_size);
        return true;
    }

    uint64_t Size() const override { return m_head.size() + m_fileSize + m_tail.size(); }

    long Read(char* buffer, size_t capacity) override {
        size_t done = 0;
        while (done < capacity) {
            if (m_at < m_head.size()) {
                done += Copy(m_head, m_at, buffer + done, capacity - done);
            } else if (m_at < m_head.size() + m_fileSize) {
                uint64_t left = m_head.size() + m_fileSize - m_at;
                size_t want = capacity - done;
                if (want > static_cast<size_t>(MultipartUploader::kChunkSize))
                    want = MultipartUploader::kChunkSize;
                if (want > left)
                    want = static_cast<size_t>(left);
                ssize_t n = ::read(m_fd.Get(), buffer + done, want);
                if (n < 0 && errno == EINTR)
                    continue;
                // A file that shrank under us would send a body shorter than announced.
                if (n <= 0)
                    return -1;
                done += static_cast<size_t>(n);
                m_at += static_cast<uint64_t>(n);
                // One file read per call keeps each piece within the chunk size.
                return static_cast<long>(done);
            } else if (m_at < Size()) {
                done += Copy(m_tail, m_at - m_head.size() - m_fileSize, buffer + done, capacity - done);
            } else {
                break;
            }
        }
        return static_cast<long>(done);
    }

    bool Rewind() override {
        m_at = 0;
        return ::lseek(m_fd.Get(), 0, SEEK_SET) == 0;
    }

private:
    size_t Copy(const std::string& from, uint64_t offset, char* to, size_t room) {
        size_t n = from.size() - static_cast<size_t>(offset);
        if (n > room)
            n = room;
        std::memcpy(to, from.data() + offset, n);
        m_at += n;
        return n;
    }

    std::string m_head;
    std::string m_tail;
    platform::UniqueFd m_fd;
    uint64_t m_fileSize = 0;
    uint64_t m_at = 0;
};

// A quote, CR or LF in the file name would end the parameter or the header line.
CString QuoteSafe(const CString& text) {
    CString out;
    for (int i = 0; i < text.GetLength(); ++i) {
        char c = text[i];
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

} // namespace

void MultipartUploader::SetTarget(const CString& action, const CString& page, const CString& fieldName,
                                  platform::HttpConnection* connection) {
    m_action = action;
    m_page = page;
    m_fieldName = fieldName;
    m_connection = connection;
}

CString MultipartUploader::PartHeader(const CString& filePath) const {
    CString head;
    head.Format("--%s", kBoundary);
    head += "\r\n";
    head += "Content-Disposition: form-data; name=\"" + QuoteSafe(m_fieldName) + "\"; filename=\"" +
            QuoteSafe(filePath) + "\"";
    head += "\r\n";
    head += "Content-Type: application/octet-stream";
    head += "\r\n\r\n";
    return head;
}

CString MultipartUploader::Closing() {
    CString tail = "\r\n";
    tail.AppendFormat("--%s--", kBoundary);
    tail += "\r\n";
    return tail;
}

int MultipartUploader::Upload(const CString& host, const CString& filePath) {
    m_response.Empty();
    m_statusCode = 0;
    if (!m_connection)
        return 0;
    FileBody body(PartHeader(filePath).str(), Closing().str());
    if (!body.Open(filePath))
        return 0;

    platform::HttpRequest request;
    request.method = "POST";
    request.target = m_action.str();
    CString headers;
    headers.Format("Content-Type: multipart/form-data; boundary=%s\r\nReferer: http://%s/%s\r\n", kBoundary,
                   host.GetString(), m_page.GetString());
    request.headers.push_back(headers.str());
    request.bodySource = &body;
    request.upload = true;

    platform::HttpResponse response = m_connection->Send(request);
    m_response = CString(std::move(response.body));
    m_statusCode = response.statusCode;
    return response.error.empty() && m_statusCode >= 200 && m_statusCode < 400 ? 1 : 0;
}
