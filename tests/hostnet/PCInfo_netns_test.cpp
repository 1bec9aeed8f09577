// PCInfo over the host's own links, in a private namespace: a PC with a bridge that carries the
// LAN card's address (made first, so it comes first in ifindex order), lan0 up with two addresses
// (one leased) and a default route, wan0 down with IPv6 switched off.

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "engine/config/PcNICInfo.h"
#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PCInfo.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/net/CardGuid.h"
#include "platform/wmi/HostLinks.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"

namespace {

constexpr const char* kLanMac = "02:00:00:00:0a:01";
constexpr const char* kWanMac = "02:00:00:00:0b:01";
const std::string kLanGuid = platform::CardGuidFromMac({2, 0, 0, 0, 0x0a, 1});
const std::string kWanGuid = platform::CardGuidFromMac({2, 0, 0, 0, 0x0b, 1});

class PCInfoHost : public testsupport::NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped())
            return;
        platform::SetProgramDirectory(dir.str().c_str());
        platform::SetRegistryRoot(CString((dir / "registry").string()));
        pc = &AddNamespace();
        peer = &AddNamespace();
        pc->Ip("link add br0 type bridge");
        pc->Ip(std::string("link set br0 address ") + kLanMac);
        pc->Ip("link set br0 up");
        testsupport::AddVethPair(*pc, "lan0", *peer, "lanpeer", kLanMac);
        testsupport::AddVethPair(*pc, "wan0", *peer, "wanpeer", kWanMac);
        pc->Ip("addr add 10.1.0.1/24 dev lan0 valid_lft 600 preferred_lft 600");
        pc->Ip("addr add 10.1.1.1/32 dev lan0");
        pc->Ip("route add default via 10.1.0.254 dev lan0");
        pc->Ip("addr add 10.2.0.1/24 dev wan0");
        ASSERT_EQ(pc->Shell("sysctl -qw net.ipv6.conf.wan0.disable_ipv6=1"), 0);
        pc->Ip("link set wan0 down");
        platform::RegSetString(platform::Hive::LocalMachine,
                               CString(platform::wmi::kTcpipInterfacesKey) + kLanGuid.c_str(), "NameServer",
                               "192.0.2.53 192.0.2.54");
    }
    void TearDown() override {
        PcNICInfo::DeleteInstance();
        platform::SetRegistryRoot(CString());
        platform::SetProgramDirectory("");
    }
    std::string Index(const std::string& link) { return std::to_string(pc->IfIndex(link)); }

    testsupport::TempDir dir;
    testsupport::NetNamespace* pc = nullptr;
    testsupport::NetNamespace* peer = nullptr;
};

TEST_F(PCInfoHost, InventoryListsEachCardAsSetUp) {
    ASSERT_LT(pc->IfIndex("br0"), pc->IfIndex("lan0"));
    std::vector<std::string> expected = {
        "lan0|TRUE|FALSE|TRUE|True|[10.1.0.1][10.1.1.1]|[255.255.255.0][255.255.255.255]|[10.1.0.254]|"
        "[192.0.2.53][192.0.2.54]|FALSE|" +
            Index("lan0") + "|TRUE|02:00:00:00:0A:01",
        "wan0|FALSE|TRUE|TRUE|False|[10.2.0.1]|[255.255.255.0]|N/A|N/A|FALSE|" + Index("wan0") +
            "|FALSE|02:00:00:00:0B:01",
    };
    const int indexes[] = {pc->IfIndex("lan0"), pc->IfIndex("wan0")};
    testsupport::RunInside(*pc, [&] {
        PCInfo info;
        ASSERT_EQ(info.InitWMI(1), 1);
        CWordArray items;
        CPtrArray* texts = nullptr;
        ASSERT_EQ(info.NetCardInfoGet(items, &texts), 1);
        std::vector<std::string> rows;
        for (int i = 0; i < texts->GetSize(); ++i)
            (i % pellar::kCardOutputCount ? rows.back() += "|" : rows.emplace_back()) +=
                static_cast<const char*>(texts->GetAt(i));
        EXPECT_EQ(rows, expected);

        // The cards' GUIDs are the engine's.
        std::vector<NIC*> nics;
        PcNICInfo::Instance()->GetNicList(nics);
        const int settingId =
            PCInfo::SearchItemIndex(pellar::ItemNameTable, pellar::kCardItemCount, "SettingID");
        for (int card = 0; card < info.m_NetCardCount; ++card) {
            const char* name = static_cast<const char*>(texts->GetAt(card * pellar::kCardOutputCount));
            auto nic =
                std::find_if(nics.begin(), nics.end(), [&](NIC* n) { return n->m_Description == name; });
            ASSERT_NE(nic, nics.end()) << name;
            EXPECT_EQ((*nic)->m_AdapterName, info.m_NetCardInfo[card].GetAt(settingId)) << name;
        }
        EXPECT_EQ(info.m_NetCardInfo[0].GetAt(settingId), kLanGuid);
        // The device list: the cards only, numbered by ifindex, wan0 disabled.
        ASSERT_EQ(info.m_SetupCards.size(), 2u);
        for (int card = 0; card < 2; ++card) {
            const SetupCardRecord& record = *info.m_SetupCards[card];
            EXPECT_EQ(record.name, card == 0 ? "lan0" : "wan0");
            EXPECT_EQ(record.deviceIndex, indexes[card]);
            EXPECT_EQ(record.driverIndex, indexes[card]);
            EXPECT_EQ(record.disabled, card);
        }
        // The IP table holds the cards only.
        ASSERT_EQ(info.m_IpHlpCount, 2);
        EXPECT_EQ(info.m_IpHlpAdapters[0].mac, kLanMac);
        EXPECT_EQ(info.m_IpHlpAdapters[0].dhcpEnabled, 1u);
        EXPECT_EQ(info.m_IpHlpAdapters[1].adapterName, kWanGuid.c_str());
        EXPECT_EQ(info.m_IpHlpAdapters[1].dhcpEnabled, 0u);
    });
}

TEST_F(PCInfoHost, BindingsCarryEveryCardAndIpv6UnlessSwitchedOff) {
    testsupport::RunInside(*pc, [&] {
        CBindwell bindwell;
        ProtocolBindingStruct* records = nullptr;
        ASSERT_EQ(bindwell.EnumNetProtocolBindings(&records), 2);
        struct Expected {
            const char* protocol;
            int lanBound, wanBound;
        } expected[] = {{"TCPIP", 1, 1}, {"TCPIP6", 1, 0}};
        for (int p = 0; p < 2; ++p) {
            EXPECT_EQ(NarrowText(records[p].chBindingName), expected[p].protocol);
            ASSERT_EQ(records[p].nNetCardCount, 2) << expected[p].protocol;
            NetCardBindingStruct* lan = records[p].pNetCards[0];
            NetCardBindingStruct* wan = records[p].pNetCards[1];
            EXPECT_EQ(NarrowText(lan->chCardName), "lan0");
            EXPECT_EQ(NarrowText(lan->chToken), "lan0");
            EXPECT_EQ(GuidToString(lan->guidInstance), kLanGuid.c_str());
            EXPECT_EQ(GuidToString(wan->guidInstance), kWanGuid.c_str());
            EXPECT_EQ(lan->Binded, expected[p].lanBound) << expected[p].protocol;
            EXPECT_EQ(wan->Binded, expected[p].wanBound) << expected[p].protocol;
        }

        // The exact lookup wants the whole name, the like form a part of it.
        PCInfo info;
        GUID wan{};
        ASSERT_TRUE(GuidFromString(kWanGuid.substr(1, 36).c_str(), wan));
        NetCardBindingStruct entry{};
        ProtocolBindingStruct* found = nullptr;
        int count = 0;
        EXPECT_EQ(info.FindNetCardProtocolBinding(u"tcpip6", &wan, &entry, &found, nullptr, &count), 1);
        EXPECT_EQ(NarrowText(found->chBindingName), "TCPIP6");
        EXPECT_EQ(entry.Binded, 0);
        EXPECT_EQ(count, 2);
        EXPECT_EQ(info.FindNetCardProtocolBinding(u"TCP", &wan, &entry, &found, nullptr, nullptr), 0);
        EXPECT_EQ(info.FindNetCardProtocolBindingLike(u"TCP", &wan, &entry, &found, nullptr, nullptr), 1);
        EXPECT_EQ(NarrowText(found->chBindingName), "TCPIP");
        EXPECT_EQ(info.FindNetCardProtocolBindingLike(u"PPPOE", &wan, &entry, &found, nullptr, nullptr), 0);
    });
}

TEST_F(PCInfoHost, FindLanNicIndexCountsCardsOnlyNotTheBridge) {
    testsupport::RunInside(*pc, [&] {
        PcNICInfo::Instance()->FindLanNicIndex(kLanGuid.c_str());
        EXPECT_EQ(PcNICInfo::Instance()->GetLanNicIndex(), 0);
        // The bridge comes first in ifindex order; counted, it would make wan0 the third.
        PcNICInfo::DeleteInstance();
        PcNICInfo::Instance()->FindLanNicIndex(kWanGuid.c_str());
        EXPECT_EQ(PcNICInfo::Instance()->GetLanNicIndex(), 1);
    });
}

} // namespace
