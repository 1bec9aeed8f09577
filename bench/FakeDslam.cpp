#include "bench/FakeDslam.h"

#include <cstdio>

namespace bench {

const char* const FakeDslam::kDashes = "-----------------------------------------------------------------";
const char* const FakeDslam::kPager = "Press any key to continue (Q to quit)";

FakeDslam::FakeDslam(std::string promptName, std::string user, std::string password)
    : m_prompt(std::move(promptName)), m_user(std::move(user)), m_password(std::move(password)) {}

FakeDslam::~FakeDslam() {
    Stop();
}

void FakeDslam::SetRow(int slot, int port, std::string row) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rows[{slot, port}] = std::move(row);
}

void FakeDslam::SetRawReply(std::string body) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rawReply = std::move(body);
    m_hasRawReply = true;
}

void FakeDslam::SetPaging(int headerLines, int linesPerPage) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_headerLines = headerLines;
    m_linesPerPage = linesPerPage;
}

bool FakeDslam::Login(Connection& c) {
    std::string line;
    // The banner waits for a key.
    if (!c.ReadLine(line, '\r', '\n'))
        return false;
    for (;;) {
        c.Write("\r\nLogin:");
        do {
            if (!c.ReadLine(line, '\r', '\n'))
                return false;
        } while (line.empty());
        std::string user = line;
        c.Write(user + "\r\nPassword:");
        if (!c.ReadLine(line, '\r', '\n'))
            return false;
        if (user == m_user && line == m_password)
            break;
        c.Write("\r\nBad user name or password\r\n");
    }
    c.Write("\r\n" + m_prompt + ">");
    do {
        if (!c.ReadLine(line, '\r', '\n'))
            return false;
    } while (line != "enable");
    c.Write("enable\r\nPlease input password:\r\n");
    if (!c.ReadLine(line, '\r', '\n') || line != m_password)
        return false;
    c.Write("\r\n" + m_prompt + "# ");
    return true;
}

std::string FakeDslam::Body(int slot, int port) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_hasRawReply)
        return m_rawReply;
    std::string body;
    for (int i = 0; i < m_headerLines; ++i)
        body += "Port status of interface " + std::to_string(slot) + "/" + std::to_string(port) + ", part " +
                std::to_string(i + 1) + "\r\n";
    body += "Interface  Type     Status   DownRate(kbps)  UpRate(kbps)\r\n";
    body += std::string(kDashes) + "\r\n";
    auto it = m_rows.find({slot, port});
    body +=
        (it != m_rows.end() ? it->second
                            : std::to_string(slot) + "/" + std::to_string(port) + "  ADSL2+  down  0  0") +
        "\r\n\r\n";
    return body;
}

// Each reply goes out in one write, as a device answers: pieces written one after the other
// would wait for the client's acknowledgement of the first (Nagle).
bool FakeDslam::Page(Connection& c, std::string& reply, const std::string& body) {
    int perPage;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        perPage = m_linesPerPage;
    }
    if (perPage <= 0) {
        reply += body;
        return true;
    }
    size_t pos = 0;
    int lines = 0;
    while (pos < body.size()) {
        size_t end = body.find("\r\n", pos);
        end = end == std::string::npos ? body.size() : end + 2;
        reply += body.substr(pos, end - pos);
        pos = end;
        if (++lines == perPage && pos < body.size()) {
            lines = 0;
            c.Write(reply + kPager);
            std::string key;
            if (!c.ReadLine(key, '\r', '\n') || key == "Q" || key == "q")
                return false;
            reply = "\r\n";
        }
    }
    return true;
}

void FakeDslam::Serve(Connection& c) {
    if (Refuse(c, "\xFF\xFB\x01\xFF\xFB\x03\r\n"))
        return;
    // IAC WILL ECHO, IAC WILL SUPPRESS-GO-AHEAD, IAC DO NAWS, then the banner.
    c.Write("\xFF\xFB\x01\xFF\xFB\x03\xFF\xFD\x1F\r\n\r\nWelcome to Quenmar Full Service Access\r\n" +
            std::string(57, '#') + "\r\n");
    if (!Login(c))
        return;
    if (GetBehaviour() == Behaviour::SilentAfterLogin) {
        c.Drain();
        return;
    }
    std::string line;
    while (c.ReadLine(line, '\r', '\n')) {
        if (line.empty()) {
            c.Write("\r\n" + m_prompt + "# ");
            continue;
        }
        int slot = 0, port = 0;
        std::string reply = line + "\r\n";
        if (std::sscanf(line.c_str(), "show interface %d/%d port-status", &slot, &port) == 2) {
            if (!Page(c, reply, Body(slot, port)))
                continue;
        } else {
            reply += "% Unknown command.\r\n";
        }
        c.Write(reply + m_prompt + "# ");
    }
}

} // namespace bench
