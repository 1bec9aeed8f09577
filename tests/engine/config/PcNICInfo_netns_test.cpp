#include <gtest/gtest.h>

#include "engine/config/PcNICInfo.h"
#include "platform/net/CardGuid.h"
#include "platform/net/Netlink.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PrivateLog.h"

namespace {

// Name-based GUIDs of the two fixed MAC addresses, worked out apart from the code.
constexpr const char* kLanGuid = "{B5F0CC2C-D7E4-514C-B3A1-DFA5C72ECE84}"; // 02:00:00:00:0a:01
constexpr const char* kWanGuid = "{3F032EC6-C1D5-50F9-A55F-48B099789599}"; // 02:00:00:00:0b:01

class FixedWifiIdentity : public WifiIdentity {
public:
    explicit FixedWifiIdentity(CString guid) : m_guid(std::move(guid)) {}
    CString FirstWirelessInterfaceGuid() override { return m_guid; }
    CString m_guid;
};

class FixedInventory : public CardInventory {
public:
    bool ReadCardMacs(CStringArray& macs) override {
        ++calls;
        if (failures-- > 0)
            return false;
        macs.RemoveAll();
        for (const auto& mac : list)
            macs.Add(mac);
        return true;
    }
    std::vector<CString> list;
    int failures = 0;
    int calls = 0;
};

class PcNICInfoTest : public testsupport::PcBenchTest {
protected:
    void TearDown() override {
        PcNICInfo::DeleteInstance();
        PcNICInfo::SetWifiIdentity(nullptr);
        PcNICInfo::SetCardInventory(nullptr);
    }
};

TEST(PcNICInfo, CardGuidIsOfTheFirstSixBytesOfTheAddress) {
    EXPECT_EQ(platform::CardGuidFromMac({2, 0, 0, 0, 0x0a, 1}), kLanGuid);
    EXPECT_EQ(platform::CardGuidFromMac({2, 0, 0, 0, 0x0a, 1, 0x77, 0x88}), kLanGuid);
    EXPECT_EQ(platform::CardGuidFromMac({}), "");
}

TEST_F(PcNICInfoTest, ListsEthernetCardsInIfindexOrderWithStableGuids) {
    testsupport::RunInside(*pc, [&] {
        PcNICInfo* info = PcNICInfo::Instance();
        std::vector<NIC*> cards;
        info->GetNicList(cards);
        ASSERT_EQ(cards.size(), 2u); // no loopback
        EXPECT_EQ(cards[0]->m_Description, "lan0");
        EXPECT_EQ(cards[0]->m_AdapterName, kLanGuid);
        EXPECT_EQ(cards[0]->m_Mac.GetText(), "02:00:00:00:0a:01");
        EXPECT_EQ(cards[0]->m_IfIndex, pc->IfIndex("lan0"));
        EXPECT_EQ(cards[1]->m_Description, "wan0");
        EXPECT_EQ(cards[1]->m_AdapterName, kWanGuid);
        EXPECT_EQ(cards[1]->m_Mac.GetText(), "02:00:00:00:0b:01");
        EXPECT_LT(cards[0]->m_Instance, cards[1]->m_Instance);
        EXPECT_EQ(info, PcNICInfo::Instance());

        // The list is made once; a rebuild finds the same cards under the same GUIDs.
        ASSERT_TRUE(info->GetWireNicCount());
        info->GetNicList(cards);
        ASSERT_EQ(cards.size(), 2u);
        EXPECT_EQ(cards[0]->m_AdapterName, kLanGuid);
    });
}

TEST_F(PcNICInfoTest, FindByGuidIsExact) {
    testsupport::RunInside(*pc, [&] {
        PcNICInfo* info = PcNICInfo::Instance();
        ASSERT_NE(info->FindByGuid(kLanGuid), nullptr);
        EXPECT_EQ(info->FindByGuid(kLanGuid)->m_Description, "lan0");
        EXPECT_EQ(info->FindByGuid(kWanGuid)->m_Description, "wan0");
        CString lower = kLanGuid;
        const char* misses[] = {lower.MakeLower().GetString(), "B5F0CC2C-D7E4-514C-B3A1-DFA5C72ECE84",
                                "{B5F0CC2C-D7E4-514C-B3A1-DFA5C72ECE8}", "", "lan0"};
        for (const char* miss : misses)
            EXPECT_EQ(info->FindByGuid(miss), nullptr) << miss;
    });
}

TEST_F(PcNICInfoTest, WifiCardPassingForEthernetIsLeftOutByItsExactGuid) {
    struct Case {
        CString identity;
        size_t cards;
    } cases[] = {
        {kWanGuid, 1},
        {CString(kWanGuid).MakeLower(), 1}, // the identity is compared upper-cased
        {"", 2},                            // no Wi-Fi service: nothing is left out
        {"3F032EC6", 2},                    // a part of a GUID is no match
        {"{3F032EC6-C1D5-50F9-A55F-48B09978959}", 2},
    };
    testsupport::RunInside(*pc, [&] {
        for (const Case& c : cases) {
            FixedWifiIdentity identity(c.identity);
            PcNICInfo::SetWifiIdentity(&identity);
            PcNICInfo* info = PcNICInfo::Instance();
            ASSERT_TRUE(info->GetWireNicCount());
            std::vector<NIC*> cards;
            info->GetNicList(cards);
            EXPECT_EQ(cards.size(), c.cards) << c.identity.GetString();
            EXPECT_EQ(cards[0]->m_Description, "lan0");
            PcNICInfo::SetWifiIdentity(nullptr);
        }
    });
}

TEST_F(PcNICInfoTest, FindLanNicIndexMatchesTheLanCardsMacInTheInventory) {
    testsupport::RunInside(*pc, [&] {
        FixedInventory inventory;
        PcNICInfo::SetCardInventory(&inventory);
        PcNICInfo* info = PcNICInfo::Instance();

        // Unknown LAN GUID: logged, index stays -1.
        inventory.list = {"02:00:00:00:0B:01", "02:00:00:00:0A:01"};
        info->FindLanNicIndex("{00000000-0000-0000-0000-000000000000}");
        EXPECT_EQ(info->GetLanNicIndex(), -1);

        // Two failed reads give up; one failure is read again.
        inventory.failures = 2;
        info->FindLanNicIndex(kLanGuid);
        EXPECT_EQ(info->GetLanNicIndex(), -1);
        inventory.failures = 1;
        inventory.list = {"aa:bb:cc:dd:ee:ff", "02:00:00:00:0a:01", "02:00:00:00:0A:01"};
        info->FindLanNicIndex(kLanGuid);
        EXPECT_EQ(info->GetLanNicIndex(), 1);
        inventory.calls = 0; // found once, never searched again
        info->FindLanNicIndex(kWanGuid);
        EXPECT_EQ(info->GetLanNicIndex(), 1);
        EXPECT_EQ(inventory.calls, 0);

        // The kernel's own inventory lists lan0 first.
        PcNICInfo::DeleteInstance();
        PcNICInfo::SetCardInventory(nullptr);
        PcNICInfo::Instance()->FindLanNicIndex(kWanGuid);
        EXPECT_EQ(PcNICInfo::Instance()->GetLanNicIndex(), 1);
    });
}

TEST_F(PcNICInfoTest, ClearArpTableLeavesNoLearntNeighbour) {
    pc->Ip("addr add 10.1.0.1/24 dev lan0");
    pc->Ip("addr add 10.2.0.1/24 dev wan0");
    bench->Ip("addr add 10.1.0.2/24 dev lanpeer");
    pc->Ip("neigh add 10.1.0.7 lladdr 02:00:00:00:00:07 nud permanent dev lan0");
    pc->Ip("neigh add 10.1.0.8 lladdr 02:00:00:00:00:08 nud stale dev lan0");
    pc->Ip("neigh add 10.2.0.8 lladdr 02:00:00:00:00:18 nud reachable dev wan0");
    ASSERT_EQ(pc->Shell("ping -c 1 -W 2 10.1.0.2 >/dev/null"), 0); // a neighbour learnt from the wire
    testsupport::RunInside(*pc, [&] {
        platform::Netlink netlink;
        std::vector<platform::Neighbour> neighbours;
        ASSERT_TRUE(netlink.ListNeighbours(neighbours));
        EXPECT_EQ(neighbours.size(), 4u);
        ClearArpTable();
        ASSERT_TRUE(netlink.ListNeighbours(neighbours));
        ASSERT_EQ(neighbours.size(), 1u);
        EXPECT_TRUE(neighbours[0].IsPermanent());
    });
}

} // namespace
