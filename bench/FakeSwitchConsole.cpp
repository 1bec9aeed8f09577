#include "bench/FakeSwitchConsole.h"

#include "platform/files/FileIo.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace bench {

namespace {

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool ParsePortCommand(const std::string& line, const char* head, int* port, std::string* rest) {
    std::string prefix = head;
    if (line.compare(0, prefix.size(), prefix) != 0)
        return false;
    char tail[64] = "";
    if (std::sscanf(line.c_str() + prefix.size(), "%d %63s", port, tail) < 1)
        return false;
    *rest = tail;
    return true;
}

} // namespace

FakeSwitchConsole::FakeSwitchConsole(int portCount) : m_portCount(portCount) {
    for (int port = 1; port <= portCount; ++port)
        m_ports[port] = PortFields{"enabled", "down", 100 + port};
}

FakeSwitchConsole::~FakeSwitchConsole() {
    Stop();
}

bool FakeSwitchConsole::Start(std::string* error) {
    if (!m_pty.Open(error))
        return false;
    m_stop.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_stop) {
        if (error)
            *error = "eventfd failed";
        m_pty.Close();
        return false;
    }
    m_reader = std::thread([this] { ReaderLoop(); });
    return true;
}

void FakeSwitchConsole::Stop() {
    if (m_reader.joinable()) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_stop.Get(), &one, sizeof one);
        m_reader.join();
    }
    m_pty.Close();
    m_stop.Reset();
}

void FakeSwitchConsole::SetStage(Stage stage) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stage = stage;
}

FakeSwitchConsole::Stage FakeSwitchConsole::GetStage() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stage;
}

void FakeSwitchConsole::SetCredentials(const std::string& user, const std::string& password,
                                       const std::string& enablePassword) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_user = user;
    m_password = password;
    m_enablePassword = enablePassword;
}

void FakeSwitchConsole::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

void FakeSwitchConsole::SetPager(bool pager) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pager = pager;
}

void FakeSwitchConsole::SplitNextShowReply(int trapPort, bool trapUp) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_splitTrapPort = trapPort;
    m_splitTrapUp = trapUp;
}

void FakeSwitchConsole::SetPortFields(int port, const PortFields& fields) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ports[port] = fields;
}

FakeSwitchConsole::PortFields FakeSwitchConsole::GetPortFields(int port) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_ports.find(port);
    return it == m_ports.end() ? PortFields{} : it->second;
}

void FakeSwitchConsole::SetPortHook(std::function<void(int, bool)> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_portHook = std::move(hook);
}

void FakeSwitchConsole::Boot() {
    SetStage(Stage::AutoBoot);
    Write("\r\nHalvet Boot Loader 2.1\r\nPress any key to stop auto-boot...  3\r\n");
}

void FakeSwitchConsole::SendTrap(int port, bool up) {
    Write("\r\n%Trap: Port : " + std::to_string(port) + (up ? " linkup" : " linkdown") + "\r\n");
}

void FakeSwitchConsole::Write(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(m_writeMutex);
    platform::WriteAll(m_pty.Master(), bytes.data(), bytes.size());
}

std::vector<std::string> FakeSwitchConsole::Lines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

int FakeSwitchConsole::CountLines(const std::string& line) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    int count = 0;
    for (const auto& l : m_lines)
        count += l == line;
    return count;
}

bool FakeSwitchConsole::WaitForLines(const std::function<bool(const std::vector<std::string>&)>& done,
                                     int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_linesChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done(m_lines); });
}

void FakeSwitchConsole::ReaderLoop() {
    pollfd fds[2] = {{m_pty.Master(), POLLIN, 0}, {m_stop.Get(), POLLIN, 0}};
    char buffer[512];
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        ssize_t n = ::read(m_pty.Master(), buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            Pause(10); // no slave end open just now
            continue;
        }
        m_partial.append(buffer, static_cast<size_t>(n));
        size_t end;
        while ((end = m_partial.find('\n')) != std::string::npos) {
            std::string line = m_partial.substr(0, end);
            m_partial.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            OnLine(line);
        }
    }
}

void FakeSwitchConsole::OnLine(const std::string& line) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_lines.push_back(line);
    m_linesChanged.notify_all();
    if (m_silent)
        return;
    Stage stage = m_stage;
    std::string answer;
    switch (stage) {
    case Stage::AutoBoot:
        m_stage = Stage::BootPrompt;
        answer = "\r\n[Halvet Boot]: ";
        break;
    case Stage::BootPrompt:
        if (line == "@") {
            m_stage = Stage::PressReturn;
            answer =
                "@\r\nLoading the switch image ...\r\nStarting ...\r\n\r\nPlease Press RETURN to Start!\r\n";
        } else {
            answer = "\r\n[Halvet Boot]: ";
        }
        break;
    case Stage::PressReturn:
        m_stage = Stage::Login;
        answer = "\r\n\r\nlogin:";
        break;
    case Stage::Login:
        m_typedUser = line;
        m_stage = Stage::Password;
        answer = line + "\r\npassword:";
        break;
    case Stage::Password:
        if (m_typedUser == m_user && line == m_password) {
            m_stage = Stage::User;
            answer = kPrompt;
        } else {
            m_stage = Stage::Login;
            answer = "\r\nLogin incorrect\r\n\r\nlogin:";
        }
        break;
    case Stage::User:
        if (line == "enable") {
            m_stage = Stage::EnablePassword;
            answer = "enable\r\npassword:";
        } else if (line.empty()) {
            answer = kPrompt;
        } else {
            answer = line + "\r\n% Unknown command." + kPrompt;
        }
        break;
    case Stage::EnablePassword:
        if (line == m_enablePassword) {
            m_stage = Stage::Config;
            answer = kConfigPrompt;
        } else {
            m_stage = Stage::User;
            answer = std::string("\r\n% Bad password") + kPrompt;
        }
        break;
    case Stage::Paging:
        m_stage = Stage::Config;
        answer = kConfigPrompt;
        break;
    case Stage::Config: {
        int port = 0;
        std::string rest;
        if (line.empty()) {
            answer = kConfigPrompt;
        } else if (ParsePortCommand(line, "show port ", &port, &rest) && rest.empty()) {
            lock.unlock();
            AnswerShowPort(port);
            return;
        } else if (ParsePortCommand(line, "set port ", &port, &rest) &&
                   (rest == "enable" || rest == "disable")) {
            lock.unlock();
            AnswerSetPort(port, rest == "enable", line);
            return;
        } else {
            answer = line + "\r\n% Unknown command." + kConfigPrompt;
        }
        break;
    }
    }
    lock.unlock();
    Write(answer);
}

std::string FakeSwitchConsole::ShowReplyHead(int port, const PortFields& fields) {
    return "\r\nPortId     : " + std::to_string(port) + "          MediaType   : Copper\r\n" +
           "Link           : " + fields.link + "\r\n" + "Speed          : 100M-Full\r\n";
}

std::string FakeSwitchConsole::ShowReplyTail(const PortFields& fields) {
    return "DefaultVlanId  : " + std::to_string(fields.vlanId) + "        FlowControl : off\r\n" +
           "PortEnable     : " + fields.enable + "\r\n\r\n";
}

void FakeSwitchConsole::AnswerShowPort(int port) {
    std::string echo = "show port " + std::to_string(port) + "\r\n";
    if (port < 1 || port > m_portCount) {
        Write(echo + "% Invalid port." + kConfigPrompt);
        return;
    }
    PortFields fields;
    int trapPort;
    bool trapUp, pager;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        fields = m_ports[port];
        trapPort = std::exchange(m_splitTrapPort, 0);
        trapUp = m_splitTrapUp;
        pager = m_pager;
        if (pager)
            m_stage = Stage::Paging;
    }
    std::string end = pager ? kPager : kConfigPrompt;
    if (trapPort > 0) {
        Write(echo + ShowReplyHead(port, fields));
        Pause(40);
        SendTrap(trapPort, trapUp);
        Pause(40);
        Write(ShowReplyTail(fields));
        Pause(40);
        Write(end);
        return;
    }
    Write(echo + ShowReplyHead(port, fields) + ShowReplyTail(fields));
    if (pager)
        Pause(60); // the pager's prompt on its own, as a slow terminal shows it
    Write(end);
}

void FakeSwitchConsole::AnswerSetPort(int port, bool enable, const std::string& echo) {
    if (port < 1 || port > m_portCount) {
        Write(echo + "\r\n% Invalid port." + kConfigPrompt);
        return;
    }
    std::function<void(int, bool)> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ports[port].enable = enable ? "enabled" : "disabled";
        hook = m_portHook;
    }
    if (hook)
        hook(port, enable);
    Write(echo + "\r\n" + kConfigPrompt);
}

} // namespace bench
