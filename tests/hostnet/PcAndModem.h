#pragma once
// A "pc" namespace with two cards and a "modem" namespace behind them, all on documentation
// addresses: lan0 192.0.2.1/24 <-> m0 192.0.2.2/24 (plus the answering addresses below) and
// wan0 198.51.100.1/24 <-> m1 198.51.100.2/24.

#include <memory>
#include <string>

#include "tests/support/NetNamespace.h"

namespace testsupport {

struct PcAndModem {
    // The modem also answers on 192.0.2.10 ... 192.0.2.(10 + count - 1).
    explicit PcAndModem(int answeringCount = 0)
        : pc(std::make_unique<NetNamespace>()), modem(std::make_unique<NetNamespace>()) {
        AddVethPair(*pc, "lan0", *modem, "m0");
        AddVethPair(*pc, "wan0", *modem, "m1");
        pc->Ip("addr add 192.0.2.1/24 dev lan0");
        pc->Ip("addr add 198.51.100.1/24 dev wan0");
        modem->Ip("addr add 192.0.2.2/24 dev m0");
        modem->Ip("addr add 198.51.100.2/24 dev m1");
        for (int i = 0; i < answeringCount; ++i)
            modem->Ip("addr add " + Answering(i) + "/32 dev m0");
        // Unanswered neighbour lookups give up quickly, so silent addresses cost little.
        pc->Shell("sysctl -qw net.ipv4.neigh.lan0.mcast_solicit=1 net.ipv4.neigh.lan0.retrans_time_ms=100");
    }
    static std::string Answering(int i) { return "192.0.2." + std::to_string(10 + i); }
    // On the modem's subnet, owned by nobody.
    static std::string Silent(int i) { return "192.0.2." + std::to_string(100 + i); }

    std::unique_ptr<NetNamespace> pc;
    std::unique_ptr<NetNamespace> modem;
};

} // namespace testsupport
