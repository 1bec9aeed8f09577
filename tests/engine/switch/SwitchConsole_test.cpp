#include "bench/FakeSwitchConsole.h"
#include "engine/switch/SwitchManagerImpl.h"
#include "engine/switch/SwitchManagerUIThread.h"
#include "tests/support/FakeConsoleTest.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/ProcessConfiguration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <sys/file.h>

using bench::FakeSwitchConsole;

namespace {

// Every notification the console raised, with the port it named.
class Recorder : public Observer {
public:
    struct Note {
        int type;
        int changedPort;
        int recordPort; // the port of the type-5 record
    };
    void Update(Subject* subject) override {
        auto* console = static_cast<SwitchManagerImpl*>(subject);
        SwitchPort* record = console->GetChangedPortRecord();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_notes.push_back(
            {console->GetNotifyType(), console->GetChangedPort(), record ? record->GetPortNo() : 0});
        m_changed.notify_all();
    }
    int Count(int type) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(
            std::count_if(m_notes.begin(), m_notes.end(), [&](const Note& n) { return n.type == type; }));
    }
    bool WaitFor(int type, int count = 1, int ms = 5000) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] {
            return std::count_if(m_notes.begin(), m_notes.end(),
                                 [&](const Note& n) { return n.type == type; }) >= count;
        });
    }
    std::vector<Note> Notes() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_notes;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Note> m_notes;
};

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The fake console on a pty, and the console client on its own thread opening the pty's slave.
class SwitchConsoleTest : public testsupport::FakeConsoleTest {
protected:
    void TearDown() override {
        if (thread)
            thread->Stop();
    }
    SwitchManagerImpl* StartConsole() {
        thread = std::make_unique<SwitchManagerUIThread>(config, options);
        thread->Start();
        SwitchManagerImpl* console = thread->GetConsole();
        console->Attach(&recorder);
        viewReady.Set();
        return console;
    }
    SwitchManagerImpl* LogIn() {
        SwitchManagerImpl* console = StartConsole();
        EXPECT_TRUE(recorder.WaitFor(SwitchSubject::LoginSwitchSuccessNotify));
        return console;
    }
    // Runs a call on the console's thread and waits for it.
    template <class F> void OnConsoleThread(F call) {
        std::promise<void> done;
        std::future<void> finished = done.get_future();
        thread->Post([&] {
            call();
            done.set_value();
        });
        ASSERT_EQ(finished.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    }

    Recorder recorder;
    std::unique_ptr<SwitchManagerUIThread> thread;
};

} // namespace

TEST(SwitchConsolePort, ToStringGivesTheLogLine) {
    EXPECT_STREQ(SwitchPort(3, 1, 1, 103).ToString(),
                 "Port: 3    Status:Enabled    LinkStatus:Up    VLan Id:103\n");
    EXPECT_STREQ(SwitchPort(12, 2, 2, -1).ToString(),
                 "Port:12    Status:Disabled   LinkStatus:Down  VLan Id:-1\n");
    EXPECT_STREQ(SwitchPort(7, 0, 0, 5).ToString(), "Port: 7    Status:Unknown    VLan Id:5\n");
}

TEST_F(SwitchConsoleTest, LogsInFromTheBootBannerOnceAndAgainAfterReconnect) {
    fake.Boot();
    SwitchManagerImpl* console = LogIn();
    EXPECT_EQ(console->GetSwitchStatus(), SwitchManagerImpl::SwitchStatus_Enabled);
    EXPECT_TRUE(state.loggedIn);
    // The boot prompt got "@", the log-in the user, the password, "enable" and the password.
    auto lines = fake.Lines();
    auto at = std::find(lines.begin(), lines.end(), "@");
    ASSERT_NE(at, lines.end());
    std::vector<std::string> after(at + 1, lines.end());
    after.erase(std::remove(after.begin(), after.end(), ""), after.end());
    EXPECT_EQ(after, (std::vector<std::string>{"admin", "admin", "enable", "admin"}));

    fake.SetStage(FakeSwitchConsole::Stage::PressReturn);
    int enables = fake.CountLines("enable");
    console->Reconnect();
    ASSERT_TRUE(fake.WaitForLines(
        [&](const std::vector<std::string>& l) { return std::count(l.begin(), l.end(), "enable") > enables; },
        5000));
    for (int i = 0; i < 200 && console->GetSwitchStatus() != SwitchManagerImpl::SwitchStatus_Enabled; ++i)
        Sleep(10);
    Sleep(100);
    EXPECT_EQ(fake.GetStage(), FakeSwitchConsole::Stage::Config);
    EXPECT_EQ(console->GetSwitchStatus(), SwitchManagerImpl::SwitchStatus_Enabled);
    EXPECT_EQ(recorder.Count(SwitchSubject::LoginSwitchSuccessNotify), 1);
    EXPECT_EQ(recorder.Count(SwitchSubject::SwitchNoResponseNotify), 0);
}

TEST_F(SwitchConsoleTest, OlderTextDoesNotHideANewPrompt) {
    // "login:" inside a banner comes before the real prompt in the same buffer.
    fake.Write("\r\nLast login: never\r\n");
    LogIn();
    EXPECT_EQ(fake.CountLines("admin"), 3);
}

TEST_F(SwitchConsoleTest, AllPortsCommandsCoverEveryPortButTheLast) {
    std::vector<std::pair<int, bool>> flipped;
    std::mutex flippedMutex;
    fake.SetPortHook([&](int port, bool enabled) {
        std::lock_guard<std::mutex> lock(flippedMutex);
        flipped.push_back({port, enabled});
    });
    SwitchManagerImpl* console = LogIn();

    console->SendDisableAllPortsExceptTrunkCommand();
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::SetAllPortsNotify));
    std::vector<std::string> expected;
    for (int port = 1; port <= 23; ++port)
        expected.push_back("set port " + std::to_string(port) + " disable");
    EXPECT_EQ(LinesStartingWith("set port"), expected);
    // One type-5 notification per port, each naming its record, all before the type 3.
    auto notes = recorder.Notes();
    std::vector<int> disabled;
    for (const auto& n : notes)
        if (n.type == SwitchSubject::PortEnDisableNotify)
            disabled.push_back(n.recordPort);
    EXPECT_EQ(disabled.size(), 23u);
    EXPECT_EQ(disabled.back(), 23);
    EXPECT_EQ(notes.back().type, SwitchSubject::SetAllPortsNotify);
    for (int port = 1; port <= 23; ++port)
        EXPECT_EQ(console->GetPort(port)->GetEnableState(), SwitchPort::Enable_Disabled) << port;
    EXPECT_EQ(console->GetPort(24)->GetEnableState(), SwitchPort::Enable_Unknown);
    EXPECT_EQ(console->GetCommand(), SwitchManagerImpl::Command_None);

    console->SendEnableAllPortsCommand();
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::SetAllPortsNotify, 2));
    EXPECT_EQ(LinesStartingWith("set port").size(), 46u);
    EXPECT_EQ(LinesStartingWith("set port").back(), "set port 23 enable");
    EXPECT_EQ(fake.CountLines("set port 24 enable") + fake.CountLines("set port 24 disable"), 0);
    std::lock_guard<std::mutex> lock(flippedMutex);
    ASSERT_EQ(flipped.size(), 46u);
    EXPECT_EQ(flipped.front(), std::make_pair(1, false));
    EXPECT_EQ(flipped.back(), std::make_pair(23, true));
}

TEST_F(SwitchConsoleTest, SplitShowReplyWithATrapInBetweenStillParses) {
    fake.SetPortFields(3, {"enabled", "up", 203});
    SwitchManagerImpl* console = LogIn();
    // A trap line without "Port :" names no port and changes nothing.
    fake.Write("\r\nGi0/5 linkup\r\n");
    fake.SplitNextShowReply(7, true);
    console->SetCommand(SwitchManagerImpl::Command_GetOnePortStatus);
    console->SendGetPortStatusCommand(3);
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::GetOnePortStatusNotify));

    auto notes = recorder.Notes();
    std::vector<std::pair<int, int>> events;
    for (const auto& n : notes)
        if (n.type == SwitchSubject::PortLinkUpDownNotify || n.type == SwitchSubject::GetOnePortStatusNotify)
            events.push_back({n.type, n.changedPort});
    EXPECT_EQ(events, (std::vector<std::pair<int, int>>{{4, 7}, {1, 3}}));
    EXPECT_EQ(console->GetPort(7)->GetLinkState(), SwitchPort::Link_Up);
    EXPECT_EQ(console->GetPort(5)->GetLinkState(), SwitchPort::Link_Down);
    SwitchPort* three = console->GetPort(3);
    EXPECT_EQ(three->GetEnableState(), SwitchPort::Enable_Enabled);
    EXPECT_EQ(three->GetLinkState(), SwitchPort::Link_Up);
    EXPECT_EQ(three->GetVlanId(), 203);
    EXPECT_EQ(console->GetCommand(), SwitchManagerImpl::Command_None);

    // A later trap, and link down, at any moment.
    fake.SendTrap(3, false);
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::PortLinkUpDownNotify, 2));
    EXPECT_EQ(three->GetLinkState(), SwitchPort::Link_Down);
    EXPECT_EQ(console->GetChangedPort(), 3);
}

TEST_F(SwitchConsoleTest, ShowPortFieldVariants) {
    struct Row {
        FakeSwitchConsole::PortFields fields;
        int enable, link, vlan;
    } rows[] = {
        {{"enabled", "up", 10}, SwitchPort::Enable_Enabled, SwitchPort::Link_Up, 10},
        {{"disabled", "down", 20}, SwitchPort::Enable_Disabled, SwitchPort::Link_Down, 20},
        {{"Disabled", "down", 30},
         SwitchPort::Enable_Enabled,
         SwitchPort::Link_Down,
         30}, // only "disabled" disables
        {{"disabled(by admin)", "up", 4094}, SwitchPort::Enable_Enabled, SwitchPort::Link_Up, 4094},
        {{"enabled", "testing", 50}, SwitchPort::Enable_Enabled, SwitchPort::Link_Up, 50}, // link kept
    };
    const int count = static_cast<int>(std::size(rows));
    config.PortCount = count;
    for (int i = 0; i < count; ++i)
        fake.SetPortFields(i + 1, rows[i].fields);
    SwitchManagerImpl* console = LogIn();
    // The last row's port was up before; a word other than up or down leaves it so.
    fake.SendTrap(count, true);
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::PortLinkUpDownNotify));

    console->SendGetAllPortStatusCommand();
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::GetAllPortStatusNotify));
    EXPECT_EQ(LinesStartingWith("show port").size(), static_cast<size_t>(count)); // every port, the last too
    for (int i = 0; i < count; ++i) {
        SwitchPort* port = console->GetPort(i + 1);
        EXPECT_EQ(port->GetEnableState(), rows[i].enable) << rows[i].fields.enable;
        EXPECT_EQ(port->GetLinkState(), rows[i].link) << rows[i].fields.link;
        EXPECT_EQ(port->GetVlanId(), rows[i].vlan);
    }
    EXPECT_EQ(recorder.Count(SwitchSubject::GetOnePortStatusNotify), 0);
    EXPECT_EQ(console->GetPort(0), nullptr);
    EXPECT_EQ(console->GetPort(count + 1), nullptr);
}

TEST_F(SwitchConsoleTest, PagerIsAnsweredOnce) {
    fake.SetPager(true);
    SwitchManagerImpl* console = LogIn();
    console->SendGetPortStatusCommand(2);
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::GetOnePortStatusNotify));
    ASSERT_TRUE(fake.WaitForLines(
        [](const std::vector<std::string>& l) { return std::count(l.begin(), l.end(), "Q") > 0; }, 5000));
    // The fake answers a stray "Q" with an error and a prompt; a second "Q" would start a flood.
    fake.SetPager(false);
    fake.Write("\r\nSwitch(cfg)#");
    Sleep(300);
    EXPECT_EQ(fake.CountLines("Q"), 1);
}

TEST_F(SwitchConsoleTest, WrongPasswordGivesUpAtTheFifthPasswordPrompt) {
    config.Login.Password = "wrong";
    StartConsole();
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::LoginSwitchFailed));
    // The fake prompts again after the fifth refusal; that prompt is not answered.
    ASSERT_TRUE(fake.WaitForLines(
        [](const std::vector<std::string>& l) { return std::count(l.begin(), l.end(), "wrong") >= 5; },
        5000));
    Sleep(300);
    EXPECT_EQ(fake.CountLines("wrong"), 5);
    EXPECT_EQ(fake.CountLines("admin"), 5);
    EXPECT_EQ(fake.GetStage(), FakeSwitchConsole::Stage::Login);
    EXPECT_EQ(recorder.Count(SwitchSubject::LoginSwitchFailed), 1);
    EXPECT_EQ(recorder.Count(SwitchSubject::LoginSwitchSuccessNotify), 0);

    // Reconnecting with the right password logs in.
    fake.SetStage(FakeSwitchConsole::Stage::PressReturn);
    config.Login.Password = "admin";
    fake.SetCredentials("admin", "wrong", "wrong");
    thread->GetConsole()->Reconnect();
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::LoginSwitchSuccessNotify));
}

TEST_F(SwitchConsoleTest, EveryLogInSendsThePasswordOfTheCurrentConfiguration) {
    // The console was built with a copy that says "stale"; the configuration says "wrong".
    testsupport::ProcessConfiguration current("[Switch]\r\nLogin.User=admin\r\nLogin.Password=wrong\r\n");
    config.Login.Password = "stale";
    StartConsole();
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::LoginSwitchFailed));
    ASSERT_TRUE(fake.WaitForLines(
        [](const std::vector<std::string>& l) { return std::count(l.begin(), l.end(), "wrong") >= 5; },
        5000));
    EXPECT_EQ(fake.CountLines("stale"), 0);

    // Corrected in the settings, then the view's Reconnect: the next log-in succeeds.
    current.SetSwitchPassword("admin");
    fake.SetStage(FakeSwitchConsole::Stage::PressReturn);
    thread->GetConsole()->Reconnect();
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::LoginSwitchSuccessNotify));
    EXPECT_EQ(fake.CountLines("wrong"), 5);
}

TEST_F(SwitchConsoleTest, OpensTheConfiguredSerialDeviceInPlaceOfTheComPort) {
    options.devicePath.clear();
    config.Serial.Port = 250; // /dev/ttyS249 is on no machine
    config.SerialDevice = fake.DevicePath().c_str();
    LogIn();
}

TEST_F(SwitchConsoleTest, LoginsAfterTheSessionEndedStartTheFailureCountAfresh) {
    SwitchManagerImpl* console = LogIn();
    // Each new log-in answers two password prompts; counted on, the third would be given up.
    for (int expiry = 1; expiry <= 3; ++expiry) {
        int enables = fake.CountLines("enable");
        fake.SetStage(FakeSwitchConsole::Stage::Login);
        fake.Write("\r\nSession closed.\r\n\r\nlogin:");
        ASSERT_TRUE(fake.WaitForLines(
            [&](const std::vector<std::string>& l) {
                return std::count(l.begin(), l.end(), "enable") > enables;
            },
            5000));
        for (int i = 0; i < 500 && console->GetSwitchStatus() != SwitchManagerImpl::SwitchStatus_Enabled; ++i)
            Sleep(10);
        ASSERT_EQ(console->GetSwitchStatus(), SwitchManagerImpl::SwitchStatus_Enabled) << expiry;
    }
    EXPECT_EQ(recorder.Count(SwitchSubject::LoginSwitchFailed), 0);
    EXPECT_EQ(recorder.Count(SwitchSubject::LoginSwitchSuccessNotify), 1);
    EXPECT_EQ(fake.GetStage(), FakeSwitchConsole::Stage::Config);
}

TEST_F(SwitchConsoleTest, SilentConsoleGivesNoResponseOnce) {
    fake.SetSilent(true);
    SwitchManagerImpl* console = StartConsole();
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::SwitchNoResponseNotify));
    Sleep(1200);
    EXPECT_EQ(recorder.Count(SwitchSubject::SwitchNoResponseNotify), 1);
    EXPECT_EQ(fake.Lines(), std::vector<std::string>{""}); // the return sent on opening
    // Commands refused in this state send nothing.
    console->SendDisableAllPortsExceptTrunkCommand();
    console->SendGetAllPortStatusCommand();
    console->SendEnablePortCommand(1);
    Sleep(200);
    EXPECT_EQ(fake.Lines().size(), 1u);
    EXPECT_EQ(recorder.Notes().size(), 1u);
}

TEST_F(SwitchConsoleTest, LineLockedByAnotherHolderGivesOccupied) {
    platform::UniqueFd holder(::open(fake.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(holder);
    ASSERT_EQ(::flock(holder.Get(), LOCK_EX | LOCK_NB), 0);
    StartConsole();
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::SerialPortOccupiedNotify));
    Sleep(700);
    EXPECT_TRUE(fake.Lines().empty());
    EXPECT_EQ(recorder.Notes().size(), 1u); // and no "no response" for a line never opened

    options.devicePath = "/dev/corvay-no-such-line";
    thread->Stop();
    thread.reset();
    // A new console: its first notification waits for the view again.
    state.firstNotification = true;
    viewReady.Reset();
    StartConsole();
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::SerialPortOccupiedNotify, 2));
}

namespace {

// Fails as many reads as it is told to, after taking their bytes off the line.
class FaultyPort : public platform::SerialPort {
public:
    std::atomic<int> toFail{0};
    std::atomic<int> failed{0};

protected:
    long ReadSome(int fd, char* buffer, unsigned long size) override {
        long n = SerialPort::ReadSome(fd, buffer, size);
        if (n > 0 && toFail > 0) {
            --toFail;
            ++failed;
            errno = EIO;
            return -1;
        }
        return n;
    }
};

} // namespace

TEST_F(SwitchConsoleTest, TransferErrorsFromTheFourthGiveConnectFailed) {
    FaultyPort* port = nullptr;
    options.makePort = [&port] {
        auto made = std::make_unique<FaultyPort>();
        port = made.get();
        return made;
    };
    fake.SetSilent(true);
    StartConsole();
    ASSERT_TRUE(fake.WaitForLines([](const std::vector<std::string>& l) { return !l.empty(); }, 5000));
    port->toFail = 5;
    for (int error = 1; error <= 5; ++error) {
        fake.Write("noise\r\n");
        for (int i = 0; i < 200 && port->failed < error; ++i)
            Sleep(10);
        ASSERT_EQ(port->failed, error);
        if (error == 3) {
            Sleep(200);
            EXPECT_EQ(recorder.Count(SwitchSubject::ConnectSwitchFailedNotify), 0);
        }
        if (error >= 4) {
            ASSERT_TRUE(recorder.WaitFor(SwitchSubject::ConnectSwitchFailedNotify, error - 3));
        }
    }
    EXPECT_EQ(state.transferErrors, 5);
    // Each error reopened the line: it still carries the switch's answers.
    fake.SetSilent(false);
    fake.Write("\r\nlogin:");
    ASSERT_TRUE(fake.WaitForLines(
        [](const std::vector<std::string>& l) { return std::count(l.begin(), l.end(), "admin") > 0; }, 5000));
}

TEST_F(SwitchConsoleTest, KeepAliveSendsAReturnWhenIdle) {
    options.timings.keepAliveMs = 150;
    SwitchManagerImpl* console = LogIn();
    // Armed by the first send in the configuration mode.
    console->SendGetPortStatusCommand(1);
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::GetOnePortStatusNotify));
    size_t before = fake.Lines().size();
    ASSERT_TRUE(
        fake.WaitForLines([&](const std::vector<std::string>& l) { return l.size() >= before + 3; }, 5000));
    auto lines = fake.Lines();
    for (size_t i = before; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], "");
}

TEST_F(SwitchConsoleTest, BufferStaysBoundedWhenNothingMatches) {
    SwitchManagerImpl* console = LogIn();
    std::string noise;
    for (int i = 0; i < 1000; ++i)
        noise += "unmatched console chatter line\r\n";
    fake.Write(noise);
    Sleep(300);
    int length = 0;
    OnConsoleThread([&] { length = console->GetResponseLength(); });
    EXPECT_LE(length, 8192);
    // And the console still answers.
    console->SendGetPortStatusCommand(4);
    ASSERT_TRUE(recorder.WaitFor(SwitchSubject::GetOnePortStatusNotify));
    EXPECT_EQ(console->GetPort(4)->GetVlanId(), 104);
}
