#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "bench/LoopbackServer.h"
#include "platform/net/TimeOutSocket.h"

namespace {

// A device that answers each line as many do: the echo in one write, the rest of the reply and
// the prompt in another, Nagle on. The second write leaves only once the client has
// acknowledged the first.
class PiecewisePeer : public bench::LoopbackServer {
public:
    ~PiecewisePeer() override { Stop(); }

private:
    void Serve(Connection& c) override {
        std::string line;
        while (c.ReadLine(line, '\n', '\r')) {
            c.Write(line + "\r\n");
            c.Write("status of " + line + ": up\r\n> ");
        }
    }
};

} // namespace

// A delayed acknowledgement (40 ms and more) before every reply's second piece would make the
// exchanges take 20 times that; answered at once they take about a millisecond each.
TEST(TimeOutSocket, PiecewiseRepliesAreNotHeldByADelayedAcknowledgement) {
    PiecewisePeer peer;
    ASSERT_TRUE(peer.Start());
    platform::TimeOutSocket socket(2000);
    ASSERT_TRUE(socket.Connect("127.0.0.1", peer.GetTcpPort()));
    constexpr int kExchanges = 20;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kExchanges; ++i) {
        const std::string command = "show " + std::to_string(i);
        ASSERT_TRUE(socket.Send((command + "\n").c_str(), static_cast<int>(command.size() + 1)));
        const std::string expected = command + "\r\nstatus of " + command + ": up\r\n> ";
        std::string reply;
        while (reply.size() < expected.size()) {
            char buffer[256];
            int n = socket.Receive(buffer, sizeof buffer);
            ASSERT_GT(n, 0) << "exchange " << i;
            reply.append(buffer, n);
        }
        ASSERT_EQ(reply, expected);
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(took.count(), 300) << kExchanges << " exchanges";
}
