#include <gtest/gtest.h>

#include <chrono>

#include "engine/jobs/BaseModemTester.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PrivateLog.h"

using namespace std::chrono;

class ModemTestArp : public testsupport::NetnsTest {};

// The table no longer holds the modem (cleared between the scan and the look-up): it is asked
// again, and an address nobody answers for gives "" after a bounded wait.
TEST_F(ModemTestArp, MissingEntryIsResolvedAndSilenceIsBounded) {
    auto& pc = AddNamespace();
    auto& modem = AddNamespace();
    testsupport::AddVethPair(pc, "lan0", modem, "eth0", "02:00:00:00:0a:01", "02:00:00:00:0c:02");
    pc.Ip("addr add 192.168.1.100/24 dev lan0");
    modem.Ip("addr add 192.168.1.1/24 dev eth0");
    testsupport::RunInside(pc, [&] {
        pc.Ip("neigh flush dev lan0");
        EXPECT_EQ(GetMacByArp("192.168.1.1"), "02-00-00-00-0c-02");
        const auto start = steady_clock::now();
        EXPECT_EQ(GetMacByArp("192.168.1.77"), "");
        EXPECT_LT(steady_clock::now() - start, seconds(3));
    });
    EXPECT_NE(testsupport::LogText().find("GetMacByArp(192.168.1.77): no ARP answer"), std::string::npos);
}
