#include <gtest/gtest.h>

#include <mutex>

#include "bench/FakeTelnetSwitch.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/net/TimeOutSocket.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/ProcessConfiguration.h"

namespace {

// Keeps the type and the en-/disabled port of every notification.
class RecordingObserver : public Observer {
public:
    void Update(Subject* subject) override {
        auto* manager = static_cast<ISwitchManager*>(static_cast<SwitchSubject*>(subject));
        SwitchPort* port = manager->GetEnDisabledPort();
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back({manager->GetNotifyType(), port ? port->GetPortNo() : 0});
    }
    std::mutex mutex;
    std::vector<std::pair<int, int>> seen;
};

struct TelnetFixture {
    explicit TelnetFixture(int portCount = 24, int trunk = 24, const char* password = "pw")
        : fake("admin", "pw", portCount) {
        started = fake.Start();
        config.Ip = "127.0.0.1";
        config.PortCount = portCount;
        config.TrunkPortNo = trunk;
        config.Login.User = "admin";
        config.Login.Password = password;
        manager = std::make_unique<SwitchManager2>(config, fake.GetTcpPort(), 300);
        manager->Attach(&observer);
    }
    ~TelnetFixture() { manager->Detach(&observer); }

    // The bytes the switch got on one connection, once that connection has ended.
    std::string Sent(int connection = 0) {
        EXPECT_TRUE(fake.WaitForServed(connection + 1));
        return fake.Received().at(connection);
    }

    template <class F> int ErrorOf(F call) {
        try {
            call();
        } catch (Throw_Error e) {
            return e;
        }
        return 0;
    }

    bench::FakeTelnetSwitch fake;
    bool started = false;
    SwitchConfig config;
    RecordingObserver observer;
    std::unique_ptr<SwitchManager2> manager;
};

const std::string kLogin = "admin\npw\nenable\npw\n";

std::string Commands(const char* format, const std::vector<int>& ports) {
    std::string out;
    char line[64];
    for (int p : ports) {
        snprintf(line, sizeof line, format, p);
        out += line;
    }
    return out;
}

std::vector<int> Range(int from, int to, int skip = 0) {
    std::vector<int> out;
    for (int p = from; p <= to; ++p)
        if (p != skip)
            out.push_back(p);
    return out;
}

} // namespace

TEST(SwitchManager, TelnetPortStatusSendsTheLoginAndReadsTheRecord) {
    TelnetFixture f;
    ASSERT_TRUE(f.started);
    f.fake.SetSwitchPort(5, {false, true, 305});
    SwitchPort* port = f.manager->GetPortStatus(5);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->GetPortNo(), 5);
    EXPECT_EQ(port->GetEnableState(), SwitchPort::Enable_Disabled);
    EXPECT_EQ(port->GetLinkState(), SwitchPort::Link_Up);
    EXPECT_EQ(port->GetVlanId(), 305);
    EXPECT_EQ(f.Sent(), kLogin + "show port 5\n");
}

TEST(SwitchManager, TelnetPortOutsideTheListIsRefusedWithoutAConnection) {
    TelnetFixture f;
    ASSERT_TRUE(f.started);
    EXPECT_EQ(f.manager->GetPortStatus(25), nullptr);
    EXPECT_EQ(f.manager->GetPortStatus(0), nullptr);
    EXPECT_EQ(f.manager->GetPortStatus(-3), nullptr);
    f.manager->EnablePort(25);
    f.manager->DisablePort(0);
    EXPECT_EQ(f.fake.ConnectionCount(), 0);
}

TEST(SwitchManager, TelnetReplyForAnotherPortChangesNothing) {
    TelnetFixture f;
    ASSERT_TRUE(f.started);
    f.fake.SetSwitchPort(3, {true, true, 303});
    f.fake.SetWrongPortReply(3, 4);
    SwitchPort* port = f.manager->GetPortStatus(3);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->GetEnableState(), SwitchPort::Enable_Unknown);
    EXPECT_EQ(port->GetVlanId(), -1);
}

TEST(SwitchManager, TelnetAllPortStatusUsesOneConnection) {
    TelnetFixture f(4, 4);
    ASSERT_TRUE(f.started);
    f.fake.SetSwitchPort(2, {true, true, 202});
    auto ports = f.manager->GetAllPortStatus();
    ASSERT_EQ(ports.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ports[i]->GetPortNo(), i + 1);
        EXPECT_EQ(ports[i]->GetEnableState(), SwitchPort::Enable_Enabled);
    }
    EXPECT_EQ(ports[1]->GetLinkState(), SwitchPort::Link_Up);
    EXPECT_EQ(ports[1]->GetVlanId(), 202);
    EXPECT_EQ(ports[0]->GetLinkState(), SwitchPort::Link_Down);
    EXPECT_EQ(f.Sent(), kLogin + Commands("show port %d\n", Range(1, 4)));
    EXPECT_EQ(f.fake.ConnectionCount(), 1);
}

TEST(SwitchManager, TelnetDisableSkipsTheTrunkAndEnableCoversEveryPort) {
    for (int trunk : {24, 1}) {
        TelnetFixture f(24, trunk);
        ASSERT_TRUE(f.started);
        f.manager->DisableAllPortsExceptTrunk();
        EXPECT_EQ(f.Sent(0), kLogin + Commands("set port %d disable\n", Range(1, 24, trunk))) << trunk;
        for (int p = 1; p <= 24; ++p)
            EXPECT_EQ(f.fake.GetSwitchPort(p).enabled, p == trunk) << trunk << " port " << p;
        std::vector<std::pair<int, int>> expected;
        for (int p : Range(1, 24, trunk))
            expected.push_back({SwitchSubject::PortEnDisableNotify, p});
        EXPECT_EQ(f.observer.seen, expected);
        EXPECT_EQ(f.manager->GetEnDisabledPort()->GetEnableState(), SwitchPort::Enable_Disabled);

        f.manager->EnableAllPorts();
        EXPECT_EQ(f.Sent(1), kLogin + Commands("set port %d enable\n", Range(1, 24))) << trunk;
        for (int p = 1; p <= 24; ++p)
            EXPECT_TRUE(f.fake.GetSwitchPort(p).enabled);
    }
}

TEST(SwitchManager, TelnetSinglePortEnableAndDisable) {
    TelnetFixture f;
    ASSERT_TRUE(f.started);
    f.manager->DisablePort(7);
    EXPECT_FALSE(f.fake.GetSwitchPort(7).enabled);
    f.manager->EnablePort(7);
    EXPECT_TRUE(f.fake.GetSwitchPort(7).enabled);
    EXPECT_EQ(f.Sent(0), kLogin + "set port 7 disable\n");
    EXPECT_EQ(f.Sent(1), kLogin + "set port 7 enable\n");
    EXPECT_EQ(f.observer.seen, (std::vector<std::pair<int, int>>{{5, 7}, {5, 7}}));
    EXPECT_EQ(f.manager->GetLinkChangedPort(), nullptr);
    EXPECT_EQ(f.manager->IsLoggedIn(), 1);
}

TEST(SwitchManager, TelnetFailuresAreThrownAsTheirErrorValues) {
    using B = bench::FakeTelnetSwitch::Behaviour;
    struct Case {
        B behaviour;
        int error;
    } cases[] = {{B::TooManyClients, Error_TooManyClients},
                 {B::Silent, Error_SocketError},
                 {B::CloseAtOnce, Error_SocketError}};
    for (const auto& c : cases) {
        TelnetFixture f;
        ASSERT_TRUE(f.started);
        f.fake.SetBehaviour(c.behaviour);
        EXPECT_EQ(f.ErrorOf([&] { f.manager->GetPortStatus(1); }), c.error) << static_cast<int>(c.behaviour);
        EXPECT_EQ(f.ErrorOf([&] { f.manager->DisableAllPortsExceptTrunk(); }), c.error);
    }
    TelnetFixture f;
    f.fake.Stop();
    EXPECT_EQ(f.ErrorOf([&] { f.manager->EnableAllPorts(); }), Error_SocketError);
}

TEST(SwitchManager, TelnetThirdLoginPromptRefusesAndACorrectedPasswordThenWorks) {
    TelnetFixture f(24, 24, "wrong");
    ASSERT_TRUE(f.started);
    EXPECT_EQ(f.ErrorOf([&] { f.manager->GetPortStatus(1); }), Error_LoginFailed);
    EXPECT_EQ(f.Sent(), "admin\nwrong\nadmin\nwrong\nadmin\n");
    f.config.Login.Password = "pw";
    SwitchManager2 corrected(f.config, f.fake.GetTcpPort(), 300);
    EXPECT_NE(corrected.GetPortStatus(1), nullptr);
}

TEST(SwitchManager, TelnetLogInSendsThePasswordOfTheCurrentConfiguration) {
    TelnetFixture f(24, 24, "stale");
    ASSERT_TRUE(f.started);
    testsupport::ProcessConfiguration current("[Switch]\r\nLogin.User=admin\r\nLogin.Password=wrong\r\n");
    EXPECT_EQ(f.ErrorOf([&] { f.manager->GetPortStatus(1); }), Error_LoginFailed);
    EXPECT_EQ(f.Sent(0), "admin\nwrong\nadmin\nwrong\nadmin\n");
    // The same manager, the password corrected in the settings.
    current.SetSwitchPassword("pw");
    EXPECT_NE(f.manager->GetPortStatus(1), nullptr);
    EXPECT_EQ(f.Sent(1), kLogin + "show port 1\n");
}

TEST(SwitchManager, TelnetInstanceIsOneManagerUntilDeleted) {
    SwitchConfig config;
    config.Ip = "127.0.0.1";
    config.PortCount = 8;
    SwitchManager2* first = SwitchManager2::Instance(config, 1, 300);
    config.PortCount = 16;
    EXPECT_EQ(SwitchManager2::Instance(config), first);
    EXPECT_EQ(first->GetPortStatus(9), nullptr); // built from the first call's configuration
    SwitchManager2::DeleteInstance();
    SwitchManager2* second = SwitchManager2::Instance(config, 1, 300);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetPortStatus(17), nullptr);
    // Port 9 is one of its ports now: it is asked for, and nothing listens on port 1.
    EXPECT_THROW(second->GetPortStatus(9), Throw_Error);
    SwitchManager2::DeleteInstance();
}

TEST(SwitchManager, TelnetTextKeepsOnlyPrintableBytes) {
    CString text;
    platform::AppendPrintable(text, "\xFF\xFB\x01\xFF\xFD\x18\r\nSwitch\x07 \x1B[0mlogin:\x80", 26);
    EXPECT_EQ(text, "\r\nSwitch [0mlogin:");
}
