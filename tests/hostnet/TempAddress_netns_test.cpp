#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "hostnet/dunmore/Function.h"
#include "tests/hostnet/TempAddressBench.h"

using testsupport::RunInside;

namespace {

class TempAddressNet : public testsupport::TempAddressBench {
protected:
    // The list form inside the PC.
    int Add(CFunction& function, std::string address, std::string mask,
            const std::vector<std::string>& adapters) {
        CStringArray list;
        for (const auto& adapter : adapters)
            list.Add(adapter.c_str());
        int result = -1;
        RunInside(*pc, [&] { result = function.AddIpAddress(address.data(), mask.data(), list); });
        return result;
    }
    void Delete(CFunction& function) {
        RunInside(*pc, [&] { function.DeleteIpAddress(); });
    }
    void ClearLog() { testsupport::WriteFileBytes(dir / "info.log", ""); }
    size_t Occurrences(const std::string& text) const {
        std::string log = Log();
        size_t count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++count;
        return count;
    }
};

using Rows = std::vector<std::string>;

TEST_F(TempAddressNet, HostNumbersAvoidTheNetworkItsBroadcastTheCallerAndEarlierPicks) {
    struct Case {
        const char* what;
        const char* address;
        const char* mask;
        std::vector<unsigned> draws;
        std::string lanGets, wanGets;
    } cases[] = {
        {"/24 host 0, then the caller's own",
         "203.0.113.1",
         "255.255.255.0",
         {0},
         "203.0.113.2/24",
         "203.0.113.3/24"},
        {"/24 a .255 draws again, a draw beyond the network folds in",
         "203.0.113.9",
         "255.255.255.0",
         {254, 300},
         "203.0.113.254/24",
         "203.0.113.43/24"},
        {"/24 a fresh draw of an earlier pick below the top",
         "203.0.113.1",
         "255.255.255.0",
         {254, 254},
         "203.0.113.254/24",
         "203.0.113.2/24"},
        {"/16 the caller's own", "203.0.113.1", "255.255.0.0", {0x7101}, "203.0.113.2/16", "203.0.113.3/16"},
        {"/16 all ones draws again",
         "203.0.113.1",
         "255.255.0.0",
         {0xFFFF, 0x7105},
         "203.0.113.5/16",
         "203.0.113.6/16"},
        {"/16 a low byte of 255 draws again",
         "203.0.113.1",
         "255.255.0.0",
         {0x71FE, 0x17150},
         "203.0.113.254/16",
         "203.0.113.79/16"},
        {"/25 all ones", "203.0.113.1", "255.255.255.128", {127}, "203.0.113.2/25", "203.0.113.3/25"},
        {"/25 host 0 of the upper half",
         "203.0.113.130",
         "255.255.255.128",
         {128},
         "203.0.113.129/25",
         "203.0.113.131/25"},
        {"/25 the number below the top taken",
         "203.0.113.130",
         "255.255.255.128",
         {126},
         "203.0.113.254/25",
         "203.0.113.129/25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearLog();
        Draws(c.draws);
        auto waitedBefore = WaitedMs();
        CFunction function;
        EXPECT_EQ(Add(function, c.address, c.mask, {Index(lan), Index(wan)}), 1);
        EXPECT_EQ(WaitedMs() - waitedBefore, 1000); // one pass: both answered
        ASSERT_EQ(function.nteCount, 2);
        EXPECT_EQ(Added(), (Rows{"lan0 " + c.lanGets, "wan0 " + c.wanGets}));
        std::string lanLine = "AddIpAddress add ip:" + c.lanGets.substr(0, c.lanGets.find('/')) +
                              " Current ip=" + c.address,
                    wanLine = "AddIpAddress add ip:" + c.wanGets.substr(0, c.wanGets.find('/')) +
                              " Current ip=" + c.address;
        std::string log = Log();
        EXPECT_LT(log.find(lanLine), log.find(wanLine));
        EXPECT_NE(log.find(wanLine), std::string::npos);
        EXPECT_TRUE(Logged("AddIpAddress waited:0 ret=1"));
        // The contexts are kept in the order added: the first alone names lan0's address.
        CFunction first = function;
        first.nteCount = 1;
        Delete(first);
        EXPECT_EQ(Added(), (Rows{"wan0 " + c.wanGets}));
        Delete(function);
        EXPECT_EQ(function.nteCount, 0);
        EXPECT_EQ(Added(), Rows{});
    }
}

TEST_F(TempAddressNet, TriesGiveUpAfterTwoThousandWhenNoHostNumberIsLeft) {
    struct Case {
        const char* what;
        const char* mask;
        std::vector<std::string> adapters;
        int result;
        Rows added;
    } cases[] = {
        // Host numbers 1 and 2 only: the caller holds 1, lan0 takes 2, wan0 finds none.
        {"/30", "255.255.255.252", {Index(lan), Index(wan)}, 1, {"lan0 203.0.113.2/30"}},
        {"/31", "255.255.255.254", {Index(lan)}, 0, {}},
        {"/32", "255.255.255.255", {Index(lan)}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearLog();
        Draws({1});
        CFunction function;
        EXPECT_EQ(Add(function, "203.0.113.1", c.mask, c.adapters), c.result);
        EXPECT_EQ(Added(), c.added);
        EXPECT_EQ(Occurrences("[RLog]===>Not Find Valid Ip Address,Try :2000 ,ip="), 1u);
        EXPECT_EQ(Occurrences(", CurrentIP=203.0.113.1"), 1u);
        Delete(function);
    }
}

TEST_F(TempAddressNet, AdapterEntriesThatNameNoUsableCard) {
    pc->Ip("link add dn0 type veth peer name dn1"); // made down
    pc->Ip("link add gone0 type veth peer name gone1");
    const std::string down = Index(pc->IfIndex("dn0")), gone = Index(pc->IfIndex("gone0"));
    pc->Ip("link delete gone0");
    before = Addresses();
    const std::string invalid2 = "AddIpAddress Invalid net adapter index 2:";
    struct Case {
        const char* what;
        std::vector<std::string> adapters;
        const char* mask;
        int result;
        std::vector<std::string> lines;
        std::string absent; // in no line of the log
        size_t errors;      // "AddIpAddress Error." lines
        Rows added;
        long long waitedMs;
    } cases[] = {
        {"N/A alone",
         {"N/A"},
         "255.255.255.0",
         0,
         {"AddIpAddress Invalid net adapter index:N/A"},
         invalid2,
         0,
         {},
         0},
        {"blank alone",
         {" "},
         "255.255.255.0",
         0,
         {"AddIpAddress Invalid net adapter index: "},
         invalid2,
         0,
         {},
         0},
        {"n/a, then a card",
         {"n/a", Index(lan)},
         "255.255.255.0",
         1,
         {invalid2 + "n/a", "AddIpAddress add ip:203.0.113.10 Current ip=203.0.113.1",
          "AddIpAddress waited:0 ret=1"},
         "Error",
         0,
         {"lan0 203.0.113.10/24"},
         1000},
        {"loopback",
         {Index(lo)},
         "255.255.255.0",
         0,
         {invalid2 + Index(lo), "AddIpAddress waited:0 ret=0"},
         "Error",
         0,
         {},
         0},
        {"a down link", {down}, "255.255.255.0", 0, {invalid2 + down}, "Error", 0, {}, 0},
        {"a card that vanished",
         {gone},
         "255.255.255.0",
         0,
         {"AddIpAddress waited:0 ret=0"},
         invalid2,
         0,
         {},
         0},
        {"no number", {"eth0"}, "255.255.255.0", 0, {invalid2 + "eth0"}, "Error", 0, {}, 0},
        {"every entry refused",
         {Index(lo), "", gone, down},
         "255.255.255.0",
         0,
         {invalid2 + Index(lo) + "\r\n", invalid2 + "\r\n", invalid2 + down},
         invalid2 + gone + "\r\n",
         0,
         {},
         0},
        {"a mask that is no prefix",
         {Index(lan)},
         "255.0.255.0",
         0,
         {"AddIpAddress Invalid ip address:203.0.113.1 mask:255.0.255.0"},
         "Error",
         0, // refused before any card is tried
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearLog();
        Draws({10});
        auto waitedBefore = WaitedMs();
        CFunction function;
        EXPECT_EQ(Add(function, "203.0.113.1", c.mask, c.adapters), c.result);
        EXPECT_EQ(WaitedMs() - waitedBefore, c.waitedMs);
        for (const auto& line : c.lines)
            EXPECT_TRUE(Logged(line)) << line << "\nin:" << Log();
        EXPECT_EQ(Log().find(c.absent), std::string::npos) << Log();
        EXPECT_EQ(Occurrences("AddIpAddress Error."), c.errors);
        EXPECT_EQ(Added(), c.added);
        EXPECT_EQ(function.nteCount, static_cast<int>(c.added.size()));
        Delete(function);
    }
}

TEST_F(TempAddressNet, AnAddressTheCardHoldsIsRetriedWithTheNextHostNumber) {
    pc->Ip("addr add 203.0.113.10/24 dev wan0");
    before = Addresses();
    Draws({10});
    CFunction function;
    EXPECT_EQ(Add(function, "203.0.113.1", "255.255.255.0", {Index(wan)}), 1);
    EXPECT_TRUE(Logged("AddIpAddress Error. Addip=0XCB00710A result:17 File exists")) << Log();
    EXPECT_TRUE(Logged("AddIpAddress add ip:203.0.113.11 Current ip=203.0.113.1"));
    EXPECT_EQ(Added(), Rows{"wan0 203.0.113.11/24"});
    Delete(function);
    EXPECT_EQ(Added(), Rows{});
}

TEST_F(TempAddressNet, AllInterfacesAndTheOneCardThatLacksTheNetwork) {
    enum class Form { AllInterfaces, ExOnLan, ExOnLo };
    struct Case {
        const char* what;
        std::string setup; // an address the PC holds for this case
        Form form;
        const char* address;
        const char* mask;
        int result;
        Rows added;
        long long waitedMs;
    } cases[] = {
        {"all: lan0 is in the network, lo never",
         "",
         Form::AllInterfaces,
         "192.0.2.77",
         "255.255.255.0",
         1,
         {"wan0 192.0.2.10/24"},
         1000},
        {"all: /25 tells wan0's lower half from the caller's upper",
         "",
         Form::AllInterfaces,
         "198.51.100.200",
         "255.255.255.128",
         1,
         {"lan0 198.51.100.138/25", "wan0 198.51.100.139/25"},
         1000},
        {"all: every card already in the network",
         "198.51.100.250/24 dev lan0",
         Form::AllInterfaces,
         "198.51.100.77",
         "255.255.255.0",
         1,
         {},
         1000},
        {"all: no address", "", Form::AllInterfaces, "198.51.100", "255.255.255.0", 0, {}, 0},
        {"ex: the card holds one of the network",
         "203.0.113.5/24 dev lan0",
         Form::ExOnLan,
         "203.0.113.1",
         "255.255.255.0",
         1,
         {},
         0},
        {"ex: another network",
         "203.0.113.5/24 dev lan0",
         Form::ExOnLan,
         "198.51.100.77",
         "255.255.255.0",
         1,
         {"lan0 198.51.100.10/24"},
         1000},
        {"ex: /25 tells the card's lower half from the caller's upper",
         "203.0.113.5/24 dev lan0",
         Form::ExOnLan,
         "203.0.113.200",
         "255.255.255.128",
         1,
         {"lan0 203.0.113.138/25"},
         1000},
        {"ex: loopback", "", Form::ExOnLo, "203.0.113.1", "255.255.255.0", 0, {}, 0},
    };
    const Rows original = before;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.setup.empty())
            pc->Ip("addr add " + c.setup);
        before = Addresses();
        Draws({10});
        auto waitedBefore = WaitedMs();
        CFunction function;
        int result = -1;
        std::string address = c.address, mask = c.mask;
        RunInside(*pc, [&] {
            if (c.form == Form::AllInterfaces)
                result = function.AddIpAddress(address.data(), mask.data());
            else
                result = function.AddIpAddressEx(address.data(), mask.data(),
                                                 Index(c.form == Form::ExOnLan ? lan : lo).c_str());
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Added(), c.added);
        EXPECT_EQ(WaitedMs() - waitedBefore, c.waitedMs);
        Delete(function);
        if (!c.setup.empty())
            pc->Ip("addr del " + c.setup);
        before = original;
        EXPECT_EQ(Addresses(), original);
    }
}

// Both cards up with no IPv4 address: the address table lists loopback alone, which never
// takes one, so nothing is added and nothing can answer.
TEST_F(TempAddressNet, AllInterfacesFailsWhenNoCardCanTakeAnAddress) {
    pc->Ip("addr flush dev lan0");
    pc->Ip("addr flush dev wan0");
    before = Addresses();
    ASSERT_EQ(before, Rows{"lo 127.0.0.1/8"});
    Draws({10});
    CFunction function;
    int result = -1;
    char address[] = "203.0.113.1", mask[] = "255.255.255.0";
    RunInside(*pc, [&] { result = function.AddIpAddress(address, mask); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Added(), Rows{});
    EXPECT_EQ(function.nteCount, 0);
    EXPECT_EQ(WaitedMs(), 0);
    EXPECT_TRUE(Logged("AddIpAddress waited:0 ret=0")) << Log();
}

// A mask of no bits would make every address on-link, one with broken bits names no network:
// every form refuses them, adding nothing, even where a card already holds an address that
// such a mask would count as in the network.
TEST_F(TempAddressNet, MasksOfNoBitsOrBrokenBitsAreRefusedByEveryForm) {
    for (const char* text : {"0.0.0.0", "255.0.255.0", "255.255.255.1"}) {
        SCOPED_TRACE(text);
        Draws({10});
        CFunction function;
        std::string address = "192.0.2.7", mask = text;
        int list = -1, all = -1, one = -1;
        RunInside(*pc, [&] {
            CStringArray adapters;
            adapters.Add(Index(wan).c_str());
            list = function.AddIpAddress(address.data(), mask.data(), adapters);
            all = function.AddIpAddress(address.data(), mask.data());
            one = function.AddIpAddressEx(address.data(), mask.data(), CString(Index(lan).c_str()));
        });
        EXPECT_EQ(list, 0);
        EXPECT_EQ(all, 0);
        EXPECT_EQ(one, 0);
        EXPECT_EQ(Added(), Rows{});
        EXPECT_EQ(function.nteCount, 0);
        EXPECT_EQ(WaitedMs(), 0);
        Delete(function);
    }
}

TEST_F(TempAddressNet, CopiesRemoveWhatTheOriginalAddedOnce) {
    Draws({20});
    CFunction original;
    ASSERT_EQ(Add(original, "203.0.113.1", "255.255.255.0", {Index(lan), Index(wan)}), 1);
    ASSERT_EQ(Added(), (Rows{"lan0 203.0.113.20/24", "wan0 203.0.113.21/24"}));
    CFunction copy(original);
    CFunction assigned;
    assigned = original;
    Delete(copy);
    EXPECT_EQ(Added(), Rows{});
    EXPECT_EQ(copy.nteCount, 0);
    // Someone gives lan0 the same address again: neither the original nor another copy takes it.
    pc->Ip("addr add 203.0.113.20/24 dev lan0");
    Delete(original);
    Delete(assigned);
    EXPECT_EQ(Added(), Rows{"lan0 203.0.113.20/24"});
    EXPECT_EQ(original.nteCount, 0);
    pc->Ip("addr del 203.0.113.20/24 dev lan0");
}

TEST_F(TempAddressNet, AnObjectHoldsFiftyAddressesAndAddsNoMore) {
    auto next = std::make_shared<unsigned>(100);
    CFunction::SetHostNumberSource([next] { return (*next)++; });
    CFunction function;
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(Add(function, "198.51.100.1", "255.255.255.0", {Index(lan)}), 1) << i;
    ClearLog();
    EXPECT_EQ(Add(function, "198.51.100.1", "255.255.255.0", {Index(lan)}), 0);
    EXPECT_TRUE(Logged("[RLog]===>AddIpAddress add too many ip address:50")) << Log();
    EXPECT_EQ(function.nteCount, 50);
    EXPECT_EQ(Added().size(), 50u);
    Delete(function);
    EXPECT_EQ(Added(), Rows{});
}

// A clock whose waits run an action before they pass.
class HookedClock : public platform::ManualClock {
public:
    std::function<void(int)> onWait;
    int waits = 0;
    void SleepFor(std::chrono::milliseconds duration) override {
        ManualClock::SleepFor(duration);
        if (onWait)
            onWait(++waits);
    }
};

TEST_F(TempAddressNet, VerificationWaitsUntilTheAddressAnswers) {
    // The PC ignores pings to the new address until the third wait is over.
    ASSERT_EQ(
        pc->Shell("nft add table inet t && nft add chain inet t in '{ type filter hook input priority 0; }'"
                  " && nft add rule inet t in ip daddr 203.0.113.10 icmp type echo-request drop"),
        0);
    HookedClock hooked;
    hooked.onWait = [&](int waits) {
        if (waits == 3)
            pc->Shell("nft delete table inet t");
    };
    CFunction::SetAddressClock(&hooked);
    Draws({10});
    CFunction function;
    EXPECT_EQ(Add(function, "203.0.113.1", "255.255.255.0", {Index(lan)}), 1);
    EXPECT_EQ(hooked.waits, 3);
    EXPECT_TRUE(Logged("AddIpAddress waited:2 ret=1")) << Log();
    Delete(function);
}

} // namespace
