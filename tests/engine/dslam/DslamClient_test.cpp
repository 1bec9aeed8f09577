#include <gtest/gtest.h>

#include "bench/FakeDslam.h"
#include "engine/dslam/DslamClient.h"
#include "engine/switch/ThrowError.h"
#include "tests/support/PrivateLog.h"

namespace {

const char* kPassword = "s3cret";

class DslamFixture {
public:
    explicit DslamFixture(const char* prompt) : fake(prompt, "admin", kPassword) { started = fake.Start(); }

    DslamClient Client(const char* password = kPassword) {
        DslamClient client("127.0.0.1", "admin", password);
        client.SetTelnetPort(fake.GetTcpPort());
        client.SetGuardMs(300);
        return client;
    }

    // What the query threw, or 0 when it succeeded.
    int QueryError(DslamClient client, DslamClient::Model model, ModemResult& result) {
        try {
            client.Query(model, 1, 5, result);
        } catch (Throw_Error e) {
            return e;
        }
        return 0;
    }

    bench::FakeDslam fake;
    bool started = false;
};

const char* kLogin = "\n\r\nadmin\r\ns3cret\r\nenable\r\ns3cret\r\n";

} // namespace

TEST(DslamClient, AlderQuerySendsTheDialogueAndReadsTheRow) {
    DslamFixture f("Alder");
    ASSERT_TRUE(f.started);
    f.fake.SetRow(3, 5, "3/5  ADSL2+  up  4064  512");
    ModemResult r;
    r.FirmwareVersion = "kept";
    f.Client().QueryAlder(3, 5, r);
    EXPECT_EQ(r.DslStatus, 1);
    EXPECT_EQ(r.DownRate, 4064);
    EXPECT_EQ(r.UpRate, 512);
    EXPECT_EQ(r.FirmwareVersion, "kept");
    ASSERT_TRUE(f.fake.WaitForServed(1));
    EXPECT_EQ(f.fake.Received()[0], std::string(kLogin) + "show interface 3/5 port-status\r\n");
}

// A command and its CR LF leave in one send, so one segment each: three small sends per line
// made the exchange wait on acknowledgements.
TEST(DslamClient, EachLineGoesOutInOneSegment) {
    DslamFixture f("Alder");
    ASSERT_TRUE(f.started);
    f.fake.SetRow(3, 5, "3/5  ADSL2+  up  4064  512");
    ModemResult r;
    f.Client().QueryAlder(3, 5, r);
    ASSERT_TRUE(f.fake.WaitForServed(1));
    const std::string sent = f.fake.Received()[0];
    int lines = 0;
    for (size_t at = sent.find("\r\n"); at != std::string::npos; at = sent.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, 6); // Enter, user, password, enable, password, the query
    EXPECT_EQ(f.fake.DataSegmentsReceived(), std::vector<int>{lines});
}

TEST(DslamClient, BirchQueryFollowsThePager) {
    DslamFixture f("Birch");
    ASSERT_TRUE(f.started);
    f.fake.SetRow(1, 30, "1/30  VDSL  UP  20000  N/A");
    f.fake.SetPaging(4, 2); // eight lines, three pager prompts, one right after the dashes
    ModemResult r;
    f.Client().QueryBirch(1, 30, r);
    EXPECT_EQ(r.DslStatus, 1);
    EXPECT_EQ(r.DownRate, 20000);
    EXPECT_EQ(r.UpRate, 0);
    ASSERT_TRUE(f.fake.WaitForServed(1));
    EXPECT_EQ(f.fake.Received()[0],
              std::string(kLogin) + "show interface 1/30 port-status\r\n" + "\n\r\n\n\r\n\n\r\n");
}

TEST(DslamClient, ReplyRowsForBothModels) {
    struct Case {
        const char* row;
        int state, down, up;
    } cases[] = {
        {"1/5  ADSL2+  up  4064  512", 1, 4064, 512},
        {"1/5 ADSL2+ UP 8128kbps 1024", 1, 8128, 1024},
        {"1/5  ADSL2+  down  N/A  n/a", 2, 0, 0},
        {"1/5  ADSL2+  training  300  100", 0, 300, 100},
        {"1/5  ADSL2+", 0, 0, 0},
        {"1/5  ADSL2+  up  --  x12", 1, 0, 0},
    };
    for (const char* prompt : {"Alder", "Birch"}) {
        DslamFixture f(prompt);
        ASSERT_TRUE(f.started);
        const auto model =
            std::string(prompt) == "Birch" ? DslamClient::Model_Birch : DslamClient::Model_Alder;
        for (const auto& c : cases) {
            f.fake.SetRow(1, 5, c.row);
            ModemResult r;
            ASSERT_EQ(f.QueryError(f.Client(), model, r), 0) << prompt << ": " << c.row;
            EXPECT_EQ(r.DslStatus, c.state) << prompt << ": " << c.row;
            EXPECT_EQ(r.DownRate, c.down) << prompt << ": " << c.row;
            EXPECT_EQ(r.UpRate, c.up) << prompt << ": " << c.row;
        }
    }
}

TEST(DslamClient, ReplyWithoutDashesGivesNoData) {
    ModemResult r;
    r.DslStatus = 1, r.DownRate = 5, r.UpRate = 6;
    // Long enough that a parse from the 65th character would find a plausible row.
    DslamClient::ParseReply(CString(std::string(70, 'x')) + "\r\n1/5 ADSL up 4064 512\r\nAlder# ", r);
    EXPECT_EQ(r.DslStatus, 0);
    EXPECT_EQ(r.DownRate, 0);
    EXPECT_EQ(r.UpRate, 0);
    DslamClient::ParseReply(CString(std::string(65, '-')) + "\r\n\r\n  \r\n1/5 ADSL up 4064 512\r\n", r);
    EXPECT_EQ(r.DslStatus, 0); // the first non-empty line holds only blanks
}

TEST(DslamClient, FailuresAreThrownAsTheirErrorValues) {
    using B = bench::FakeDslam::Behaviour;
    struct Case {
        B behaviour;
        int error;
    } cases[] = {
        {B::TooManyClients, Error_TooManyClients},
        {B::Silent, Error_SocketError},
        {B::CloseAtOnce, Error_SocketError},
        {B::SilentAfterLogin, Error_SocketError},
    };
    for (const auto& c : cases) {
        DslamFixture f("Alder");
        ASSERT_TRUE(f.started);
        f.fake.SetBehaviour(c.behaviour);
        ModemResult r;
        EXPECT_EQ(f.QueryError(f.Client(), DslamClient::Model_Alder, r), c.error)
            << static_cast<int>(c.behaviour);
    }
    // Nobody listening at all.
    DslamFixture f("Alder");
    f.fake.Stop();
    ModemResult r;
    EXPECT_EQ(f.QueryError(f.Client(), DslamClient::Model_Alder, r), Error_SocketError);
}

TEST(DslamClient, ThirdLoginPromptRefusesAndACorrectedPasswordThenWorks) {
    DslamFixture f("Alder");
    ASSERT_TRUE(f.started);
    ModemResult r;
    EXPECT_EQ(f.QueryError(f.Client("wrong"), DslamClient::Model_Alder, r), Error_LoginFailed);
    ASSERT_TRUE(f.fake.WaitForServed(1));
    EXPECT_EQ(f.fake.Received()[0], "\n\r\nadmin\r\nwrong\r\nadmin\r\nwrong\r\nadmin\r\n");
    EXPECT_EQ(f.QueryError(f.Client(), DslamClient::Model_Alder, r), 0);
}

TEST(DslamClient, PortAddressForBothModels) {
    struct Case {
        int port;
        std::optional<DslamPortAddress> alder, birch;
    } cases[] = {
        {1, DslamPortAddress{2, 1}, DslamPortAddress{1, 1}},
        {24, DslamPortAddress{2, 24}, DslamPortAddress{1, 24}},
        {25, DslamPortAddress{3, 1}, DslamPortAddress{1, 25}},
        {30, DslamPortAddress{3, 6}, DslamPortAddress{1, 30}},
        {48, DslamPortAddress{3, 24}, DslamPortAddress{1, 48}},
        {49, std::nullopt, DslamPortAddress{1, 49}},
        {0, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        for (const char* model : {"Torvex Alder", "Torvex Birch"}) {
            DslamConfig dslam;
            dslam.Model = model;
            dslam.Switch1to24 = 2;
            dslam.Switch25to48 = 3;
            auto got = GetDslamPortAddress(dslam, c.port);
            auto want = std::string(model) == "Torvex Birch" ? c.birch : c.alder;
            ASSERT_EQ(got.has_value(), want.has_value()) << model << " " << c.port;
            if (got) {
                EXPECT_EQ(got->slot, want->slot) << model << " " << c.port;
                EXPECT_EQ(got->port, want->port) << model << " " << c.port;
            }
        }
    }
}
