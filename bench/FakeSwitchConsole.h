#pragma once
// The bench switch's serial console on the master side of a pty pair: boot banners and the
// boot prompt, log-in, the user and configuration prompts, "show port" and "set port" with
// their echo, link traps at any moment, the pager, wrong passwords and silence. Every line it
// receives is recorded.

#include "platform/files/UniqueFd.h"
#include "platform/net/Pty.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

class FakeSwitchConsole {
public:
    enum class Stage {
        AutoBoot,
        BootPrompt,
        PressReturn,
        Login,
        Password,
        User,
        EnablePassword,
        Config,
        Paging
    };

    // The texts a "show port" reply gives for one port.
    struct PortFields {
        std::string enable = "enabled";
        std::string link = "down";
        int vlanId = 1;
    };

    explicit FakeSwitchConsole(int portCount = 24);
    ~FakeSwitchConsole();
    FakeSwitchConsole(const FakeSwitchConsole&) = delete;
    FakeSwitchConsole& operator=(const FakeSwitchConsole&) = delete;

    // Makes the pty pair and starts answering; false with 'error' when no pty can be had.
    bool Start(std::string* error = nullptr);
    void Stop();
    // The line the console client opens.
    const std::string& DevicePath() const { return m_pty.SlavePath(); }

    // ---- the scenario ----
    void SetStage(Stage stage);
    Stage GetStage() const;
    void SetCredentials(const std::string& user, const std::string& password,
                        const std::string& enablePassword);
    // Records but answers nothing.
    void SetSilent(bool silent);
    // Each "show port" reply ends with the pager's prompt instead of the command prompt.
    void SetPager(bool pager);
    // The next "show port" reply comes in two writes with this link trap between them.
    void SplitNextShowReply(int trapPort, bool trapUp);
    void SetPortFields(int port, const PortFields& fields);
    PortFields GetPortFields(int port) const;
    // Called when "set port" enables or disables a port (the bench flips the port's link there).
    void SetPortHook(std::function<void(int port, bool enabled)> hook);

    // Prints the boot banner, as a switch that has just been powered on.
    void Boot();
    // A link trap, at any moment.
    void SendTrap(int port, bool up);
    // Raw bytes to the line.
    void Write(const std::string& bytes);

    // ---- what it received ----
    std::vector<std::string> Lines() const;
    int CountLines(const std::string& line) const;
    // Waits until 'done' holds for the lines received so far; false on time-out. 'done' runs
    // under the console's lock and must not call back into it.
    bool WaitForLines(const std::function<bool(const std::vector<std::string>&)>& done, int timeoutMs) const;

    // The two halves of a "show port" reply (a link trap may come between them).
    static std::string ShowReplyHead(int port, const PortFields& fields);
    static std::string ShowReplyTail(const PortFields& fields);

    static constexpr const char* kPrompt = "\r\nSwitch>";
    static constexpr const char* kConfigPrompt = "\r\nSwitch(cfg)#";
    static constexpr const char* kPager = "\r\n --More-- Press Q or Ctrl+C to break";

private:
    void ReaderLoop();
    void OnLine(const std::string& line);
    void AnswerShowPort(int port);
    void AnswerSetPort(int port, bool enable, const std::string& echo);

    const int m_portCount;
    platform::PtyPair m_pty;
    platform::UniqueFd m_stop;
    std::thread m_reader;

    mutable std::mutex m_mutex; // scenario and the lines
    mutable std::condition_variable m_linesChanged;
    std::mutex m_writeMutex; // one write at a time on the line
    Stage m_stage = Stage::PressReturn;
    std::string m_user = "admin", m_password = "admin", m_enablePassword = "admin";
    std::string m_typedUser;
    bool m_silent = false;
    bool m_pager = false;
    int m_splitTrapPort = 0;
    bool m_splitTrapUp = false;
    std::map<int, PortFields> m_ports;
    std::function<void(int, bool)> m_portHook;
    std::vector<std::string> m_lines;
    std::string m_partial;
};

} // namespace bench
