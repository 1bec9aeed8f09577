#include "platform/http/HttpConnection.h"
#include "platform/http/HttpMessageReader.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>

namespace platform {

void EnsureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

namespace {

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

void Append(Slist& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown) {
        list.release();
        list.reset(grown);
    }
}

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Percent-encodes the bytes for which 'encode' holds, the rest as it is.
template <class Predicate> std::string PercentEncode(const std::string& text, Predicate encode) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (encode(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Bytes no request line can carry: a blank would split it, control bytes and bytes above 0x7F
// are refused by servers. Everything else of a stored path goes as written.
bool UnfitForRequestLine(unsigned char c) {
    return c <= 0x20 || c >= 0x7F;
}

// The URL only tells libcurl where to connect and which cookies match, so bytes its parser
// refuses are percent-encoded there too; the request line carries the target itself.
std::string UrlForParser(const std::string& base, const std::string& target) {
    return base + PercentEncode(target, [](unsigned char c) {
               return UnfitForRequestLine(c) || c == '#' || c == '"' || c == '<' || c == '>' || c == '\\' ||
                      c == '^' || c == '`' || c == '{' || c == '|' || c == '}';
           });
}

struct Transfer {
    HttpResponse* response;
    HttpBodySource* source;
    long stallSeconds;
    long answerSeconds; // once the whole body is sent
    size_t maxBody;
    bool sourceFailed = false;
    bool stalled = false;
    bool tooLong = false;
    curl_off_t lastDown = -1, lastUp = -1;
    std::chrono::steady_clock::time_point lastMove = std::chrono::steady_clock::now();
    // Bytes moved since the window began: fewer than one a second over a whole limit is a stall.
    bool waiting = false;
    curl_off_t windowBytes = 0;
    std::chrono::steady_clock::time_point windowStart = lastMove;
};

// A transfer ends when no byte has moved for the limit, or fewer bytes than the limit has
// seconds moved in a window that long (a trickle would hold a job for ever). libcurl's own
// low-speed check cannot tell the upload's long wait for its answer from a stalled page.
int OnProgress(void* user, curl_off_t, curl_off_t downNow, curl_off_t upTotal, curl_off_t upNow) {
    auto* t = static_cast<Transfer*>(user);
    auto now = std::chrono::steady_clock::now();
    bool waitingForAnswer = t->source && upTotal > 0 && upNow >= upTotal && downNow == 0;
    curl_off_t moved = downNow + upNow;
    // The wait for the upload's answer, or a retry that counts from 0 again, starts a new window.
    if (waitingForAnswer != t->waiting || moved < t->windowBytes) {
        t->waiting = waitingForAnswer;
        t->windowStart = now;
        t->windowBytes = moved;
    }
    if (downNow != t->lastDown || upNow != t->lastUp) {
        t->lastDown = downNow;
        t->lastUp = upNow;
        t->lastMove = now;
    }
    long limit = waitingForAnswer ? t->answerSeconds : t->stallSeconds;
    if (limit <= 0)
        return 0;
    const auto window = std::chrono::seconds(limit);
    bool stalled = now - t->lastMove >= window;
    if (now - t->windowStart >= window) {
        stalled = stalled || moved - t->windowBytes < limit;
        t->windowStart = now;
        t->windowBytes = moved;
    }
    t->stalled = stalled;
    return stalled ? 1 : 0;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    std::string line(data, size * count);
    // A new status line starts a new response (100 Continue, an authentication retry).
    if (line.rfind("HTTP/", 0) == 0) {
        t->response->rawHeaders.clear();
        t->response->body.clear();
    }
    t->response->rawHeaders += line;
    return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    if (t->response->body.size() + size * count > t->maxBody) {
        t->tooLong = true;
        return 0;
    }
    t->response->body.append(data, size * count);
    return size * count;
}

size_t OnRead(char* buffer, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    long n = t->source->Read(buffer, size * count);
    if (n < 0) {
        t->sourceFailed = true;
        return CURL_READFUNC_ABORT;
    }
    return static_cast<size_t>(n);
}

int OnSeek(void* user, curl_off_t offset, int origin) {
    auto* t = static_cast<Transfer*>(user);
    if (offset != 0 || origin != SEEK_SET)
        return CURL_SEEKFUNC_CANTSEEK;
    return t->source->Rewind() ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
}

} // namespace

void HttpConnection::CurlDeleter::operator()(void* handle) const {
    curl_easy_cleanup(static_cast<CURL*>(handle));
}

HttpConnection::HttpConnection(std::string host, int port, std::string user, std::string password,
                               bool keepProxy)
    : m_host(std::move(host)), m_port(port), m_user(std::move(user)), m_password(std::move(password)),
      m_keepProxy(keepProxy) {
    EnsureCurlGlobalInit();
    m_curl.reset(curl_easy_init());
    CURL* curl = static_cast<CURL*>(m_curl.get());
    if (!curl)
        return;
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, ""); // cookies in memory, this handle only
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, OnRead);
    curl_easy_setopt(curl, CURLOPT_SEEKFUNCTION, OnSeek);
    if (!m_keepProxy)
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
    if (!m_user.empty() || !m_password.empty()) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_password.c_str());
    }
}

HttpConnection::~HttpConnection() = default;

std::vector<std::string> HttpConnection::SplitHeaderLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trim(text.substr(start, end - start));
        size_t colon = line.find(':');
        if (colon != std::string::npos && colon > 0)
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

HttpResponse HttpConnection::Send(const HttpRequest& request) {
    HttpResponse response;
    CURL* curl = static_cast<CURL*>(m_curl.get());
    if (!curl) {
        response.error = "no curl handle";
        return response;
    }
    // No curl_easy_reset: the cookie engine must stay on. Every option that differs between
    // requests is set again here.
    std::string target = PercentEncode(request.target, UnfitForRequestLine);
    if (target.empty() || target[0] != '/')
        target.insert(target.begin(), '/');
    std::string base = "http://" + m_host + ":" + std::to_string(m_port);
    std::string url = UrlForParser(base, target);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    bool exact = url.compare(base.size(), std::string::npos, target) == 0;
    curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, exact ? nullptr : target.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, m_timeouts.connectMs);

    bool post = request.method == "POST";
    Slist headers;
    std::set<std::string> seen;
    std::string cookies;
    for (const std::string& text : request.headers) {
        for (const std::string& line : SplitHeaderLines(text)) {
            std::string name = AsciiLower(Trim(line.substr(0, line.find(':'))));
            // The real host and length always; a stored header never replaces them.
            if (name == "host" || name == "content-length" || name == "transfer-encoding")
                continue;
            // libcurl joins these to the jar's cookies in its one Cookie line; as a header of
            // their own they would make a second one.
            if (name == "cookie") {
                std::string value = Trim(line.substr(line.find(':') + 1));
                if (!value.empty())
                    cookies += (cookies.empty() ? "" : "; ") + value;
                continue;
            }
            if (!seen.insert(name).second)
                continue;
            // "Name:" alone tells libcurl to drop a header; "Name;" sends it with no value.
            if (line.back() == ':')
                Append(headers, line.substr(0, line.size() - 1) + ";");
            else
                Append(headers, line);
        }
    }
    curl_easy_setopt(curl, CURLOPT_COOKIE, cookies.empty() ? nullptr : cookies.c_str());
    // libcurl's own defaults go, unless the caller sends that header itself.
    for (const char* name : {"accept", "expect", "content-type"}) {
        if (seen.count(name) || (!post && std::string(name) == "content-type"))
            continue;
        std::string removal = name;
        Append(headers, removal + ":");
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());

    Transfer transfer{&response, request.bodySource, m_timeouts.stallSeconds,
                      request.upload ? m_timeouts.uploadAnswerSeconds : m_timeouts.stallSeconds,
                      m_timeouts.maxBodyBytes};
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_READDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_SEEKDATA, &transfer);
    if (post) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        if (request.bodySource) {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr);
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(request.bodySource->Size()));
        } else {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        }
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }

    CURLcode rc = curl_easy_perform(curl);
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    response.statusCode = static_cast<unsigned>(code);
    response.answered = code != 0;
    if (rc != CURLE_OK)
        response.error = transfer.sourceFailed ? "reading the request body failed"
                         : transfer.tooLong    ? "the answer is longer than the limit"
                         : transfer.stalled    ? "nearly nothing moved within the time limit"
                                               : curl_easy_strerror(rc);
    // Leave no pointer into this call's data behind in the handle.
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr);
    return response;
}

} // namespace platform
