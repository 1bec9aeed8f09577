#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "hostnet/dunmore/Function.h"
#include "tests/hostnet/TempAddressBench.h"

using namespace std::chrono_literals;
using testsupport::RunInside;

namespace {

CStringArray List(const std::vector<std::string>& items) {
    CStringArray list;
    for (const auto& item : items)
        list.Add(item.c_str());
    return list;
}

class FindModemIPNet : public testsupport::TempAddressBench {
protected:
    struct Found {
        std::string address;
        unsigned long interfaceIndex;
    };
    Found Find(const std::vector<std::string>& addresses, const std::vector<std::string>& masks,
               const std::vector<std::string>& ports, const std::vector<std::string>& adapters = {},
               const std::vector<std::string>& flags = {}) {
        CStringArray a = List(addresses), m = List(masks), p = List(ports), d = List(adapters),
                     f = List(flags);
        Found found{"unset", 7};
        RunInside(*pc, [&] {
            CFunction function;
            found.address = function.FindModemIP(a, m, p, d, f, found.interfaceIndex, 300).str();
            EXPECT_EQ(function.nteCount, 0);
        });
        return found;
    }
    // A port nothing listens on.
    static constexpr const char* kClosed = "9";
};

TEST_F(FindModemIPNet, ModemReachableDirectlyIsFoundWithoutAnAddress) {
    std::string port = Serve(*modem, "192.0.2.2");
    modem->Ip("addr add 192.0.2.3/24 dev m0"); // answers pings, but serves nothing
    Found found =
        Find({"203.0.113.1", "192.0.2.3", "192.0.2.2"}, {"255.255.255.0", "255.255.255.0", "255.255.255.0"},
             {port, port, std::string(kClosed) + "," + port});
    EXPECT_EQ(found.address, "192.0.2.2");
    EXPECT_EQ(found.interfaceIndex, static_cast<unsigned long>(lan));
    EXPECT_EQ(Log().find("AddIpAddress"), std::string::npos) << Log();
    EXPECT_EQ(WaitedMs(), 0);
}

TEST_F(FindModemIPNet, ModemBehindATemporaryAddressOnTheCardsAllowed) {
    modem->Ip("addr add 203.0.113.1/24 dev m0");
    std::string port = Serve(*modem, "203.0.113.1");
    struct Case {
        const char* what;
        std::vector<std::string> adapters, flags;
        bool decoy; // a second modem at the same address behind wan0
        int through;
    } cases[] = {
        {"every card", {}, {}, false, lan},
        {"one blank adapter", {" "}, {}, false, lan},
        {"the first card flagged false", {Index(wan), Index(lan)}, {"false", "TRUE"}, true, lan},
        {"FALSE, and no flag for the second", {Index(wan), Index(lan)}, {"FALSE"}, true, lan},
        {"both allowed: the first wins", {Index(wan), Index(lan)}, {"TRUE", "True"}, true, wan},
    };
    std::string decoyPort;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.decoy && decoyPort.empty()) {
            far->Ip("addr add 203.0.113.1/24 dev f0");
            decoyPort = Serve(*far, "203.0.113.1");
        }
        std::string ports = port + (decoyPort.empty() ? "" : "," + decoyPort);
        Found found = Find({"192.0.2.3", "203.0.113.1"}, {"255.255.255.0", "255.255.255.0"}, {ports, ports},
                           c.adapters, c.flags);
        EXPECT_EQ(found.address, "203.0.113.1");
        EXPECT_EQ(found.interfaceIndex, static_cast<unsigned long>(c.through));
        EXPECT_TRUE(Logged("AddIpAddress add ip:")) << Log();
        EXPECT_EQ(Added(), std::vector<std::string>{});
    }
}

TEST_F(FindModemIPNet, NotFoundGivesNoAddressAndNoInterface) {
    std::string port = Serve(*modem, "192.0.2.2");
    modem->Ip("addr add 203.0.113.1/24 dev m0");
    std::string atModem = Serve(*modem, "203.0.113.1");
    const std::string mask = "255.255.255.0";
    struct Case {
        const char* what;
        std::vector<std::string> addresses, masks, ports;
    } cases[] = {
        {"answers pings, no listener on its ports", {"192.0.2.2"}, {mask}, {kClosed}},
        {"empty lists", {}, {}, {}},
        {"the modem has no mask", {"192.0.2.2", "203.0.113.1"}, {mask}, {kClosed, atModem}},
        {"the modem has no port list", {"192.0.2.2", "203.0.113.1"}, {mask, mask}, {kClosed}},
        {"no candidate address", {}, {mask}, {atModem}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Found found = Find(c.addresses, c.masks, c.ports);
        EXPECT_EQ(found.address, "");
        EXPECT_EQ(found.interfaceIndex, 0xFFFFFFFFUL);
        EXPECT_EQ(Added(), std::vector<std::string>{});
    }
    // Lists longer than the addresses take part up to the shortest.
    Found found = Find({"203.0.113.1"}, {mask, mask}, {atModem, port});
    EXPECT_EQ(found.address, "203.0.113.1");
}

} // namespace
