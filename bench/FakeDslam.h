#pragma once
// The DSLAM's telnet service on loopback: option bytes and the welcome banner, "Login:",
// "Password:", the user prompt ">", "enable" with "Please input password:", the privileged
// prompt ("Alder# " or "Birch# "), and "show interface S/P port-status" with a table after a
// line of dashes, paged with "Press any key to continue (Q to quit)". Lines end at a carriage
// return, as a telnet keyboard sends them.

#include <map>
#include <mutex>
#include <string>

#include "bench/LoopbackServer.h"

namespace bench {

class FakeDslam : public LoopbackServer {
public:
    // promptName: "Alder" or "Birch".
    FakeDslam(std::string promptName, std::string user, std::string password);
    ~FakeDslam() override;

    // The table row for one interface, for example "1/5  ADSL2+  up  4064  512".
    void SetRow(int slot, int port, std::string row);
    // Replaces the whole reply body (everything between the echo and the prompt).
    void SetRawReply(std::string body);
    // Lines of text before the table, and how many lines make one pager page (0: no pager).
    void SetPaging(int headerLines, int linesPerPage);

    // Everything between the echo of a query and the prompt.
    std::string Body(int slot, int port);

    static const char* const kDashes; // 65 dashes
    static const char* const kPager;

protected:
    void Serve(Connection& connection) override;

private:
    bool Login(Connection& c);
    // Adds the body to the reply a page at a time, writing the reply out at each pager prompt;
    // false when the client quit or left there.
    bool Page(Connection& c, std::string& reply, const std::string& body);

    const std::string m_prompt, m_user, m_password;
    std::mutex m_mutex;
    std::map<std::pair<int, int>, std::string> m_rows;
    std::string m_rawReply;
    bool m_hasRawReply = false;
    int m_headerLines = 1, m_linesPerPage = 0;
};

} // namespace bench
