#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <pcap/pcap.h>
#include <thread>

#include "engine/config/Configer.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/net/CardGuid.h"
#include "tests/support/CardRoles.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/TempDir.h"

namespace {

using platform::Hive;

using testsupport::StoreCardRole;
const CString kLanGuid = testsupport::CardGuid({2, 0, 0, 0, 0x0a, 1});
const CString kWanGuid = testsupport::CardGuid({2, 0, 0, 0, 0x0b, 1});

// The PC namespace holds lan0, wan0 and two decoys whose names hold a card's name; the
// bench namespace holds the peers. Every body runs in a child that lives in the PC namespace,
// so the capture library sees exactly its cards and each child starts without singletons.
class ConfigerNetnsTest : public testsupport::PcBenchTest {
protected:
    void SetUp() override {
        PcBenchTest::SetUp();
        if (IsSkipped())
            return;
        testsupport::AddVethPair(*pc, "lan01", *bench, "decoy1", "02:00:00:00:0c:01");
        testsupport::AddVethPair(*pc, "xwan0", *bench, "decoy2", "02:00:00:00:0d:01");
        platform::SetProgramDirectory((dir.str() + "/").c_str());
        std::filesystem::create_directory(dir / "registry");
        platform::SetRegistryRoot((dir / "registry").c_str());
    }
    void TearDown() override {
        platform::SetProgramDirectory("");
        platform::SetRegistryRoot("");
    }
    void InPc(const std::function<void()>& body) { testsupport::RunInChild(*pc, body); }

    testsupport::TempDir dir{"corvay-configer-netns"};
};

TEST_F(ConfigerNetnsTest, CheckNicConfiguredNeedsBothRolesExactly) {
    struct Case {
        const char* label;
        CString lanName, lanGuid, wanName, wanGuid;
        bool configured;
    } cases[] = {
        {"both roles", "lan0", kLanGuid, "wan0", kWanGuid, true},
        {"no LAN role", "", "", "wan0", kWanGuid, false},
        {"wrong description", "lan0", kLanGuid, "wan1", kWanGuid, false},
        {"description is part of another", "lan", kLanGuid, "wan0", kWanGuid, false},
        {"lower-case GUID", "lan0", CString(kLanGuid).MakeLower(), "wan0", kWanGuid, false},
        {"unknown card", "lan0", "{00000000-0000-0000-0000-000000000000}", "wan0", kWanGuid, false},
    };
    for (const Case& c : cases) {
        platform::RegDeleteKey(Hive::LocalMachine, "Software\\Tellvane");
        if (!c.lanName.IsEmpty())
            StoreCardRole("LAN", c.lanName, c.lanGuid);
        StoreCardRole("WAN", c.wanName, c.wanGuid);
        InPc([&] {
            Configer* config = Configer::GetInstance();
            EXPECT_EQ(config->CheckNicConfigured(), c.configured) << c.label;
            // Bound at construction only when configured.
            EXPECT_EQ(config->GetLanNic() != nullptr && config->GetWanNic() != nullptr, c.configured)
                << c.label;
        });
    }
}

TEST_F(ConfigerNetnsTest, BindPcapDevicesTakesTheDevicesNamedAfterTheCards) {
    StoreCardRole("LAN", "lan0", kLanGuid);
    StoreCardRole("WAN", "wan0", kWanGuid);
    InPc([&] {
        Configer* config = Configer::GetInstance();
        ASSERT_NE(config->GetAllDevices(), nullptr);
        NIC* lan = config->GetLanNic();
        NIC* wan = config->GetWanNic();
        ASSERT_TRUE(lan && wan);
        ASSERT_TRUE(lan->GetDevice() && wan->GetDevice());
        EXPECT_STREQ(lan->GetDevice()->name, "lan0");
        EXPECT_STREQ(wan->GetDevice()->name, "wan0");
        EXPECT_EQ(lan->m_Mac.GetText(), kLanMac);

        // The card dialog swaps the roles: the binding follows.
        NicConfig swapped = config->GetNicConfig();
        std::swap(swapped.LAN_Name, swapped.WAN_Name);
        std::swap(swapped.LAN_Guid, swapped.WAN_Guid);
        ASSERT_TRUE(config->SetNicConfig(swapped));
        EXPECT_STREQ(config->GetLanNic()->GetDevice()->name, "wan0");
        EXPECT_STREQ(config->GetWanNic()->GetDevice()->name, "lan0");
        EXPECT_EQ(config->FindAllPcapDevices(), 0); // read once per process
    });
    CString lanName;
    platform::RegGetString(Hive::LocalMachine, "Software\\Tellvane\\LAN", "Name", lanName);
    EXPECT_EQ(lanName, "wan0");
}

TEST_F(ConfigerNetnsTest, IsNicConnectedFollowsTheCarrierOfTheCard) {
    StoreCardRole("LAN", "lan0", kLanGuid);
    StoreCardRole("WAN", "wan0", kWanGuid);
    auto waitFor = [](const NIC* nic, bool connected) {
        for (int i = 0; i < 300; ++i) {
            if (Configer::IsNicConnected(nic) == connected)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    InPc([&] {
        Configer* config = Configer::GetInstance();
        ASSERT_TRUE(config->GetLanNic() && config->GetWanNic());
        EXPECT_TRUE(waitFor(config->GetLanNic(), true));
        EXPECT_TRUE(waitFor(config->GetWanNic(), true));
        bench->Ip("link set lanpeer down");
        EXPECT_TRUE(waitFor(config->GetLanNic(), false)); // admin up, no carrier
        EXPECT_TRUE(Configer::IsNicConnected(config->GetWanNic()));
        bench->Ip("link set lanpeer up");
        EXPECT_TRUE(waitFor(config->GetLanNic(), true));
        pc->Ip("link set wan0 down");
        EXPECT_TRUE(waitFor(config->GetWanNic(), false));
        EXPECT_FALSE(Configer::IsNicConnected(nullptr));
    });
}

} // namespace
