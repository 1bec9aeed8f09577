#include <gtest/gtest.h>

#include <string>

#include "corvay/app/TestFlags.h"
#include "corvay/settings/NicConfigDlg.h"
#include "engine/log/StringTable.h"
#include "engine/ping/NicMonitors.h"
#include "tests/corvay/settings/CardsFixture.h"

namespace {

using testsupport::kLanGuid;
using testsupport::kSpareGuid;
using testsupport::kWanGuid;
using testsupport::ReadCardRole;
using testsupport::SettingsDlgNicTest;
using testsupport::StoreCardRole;

// How often a line ends with the text in the log written after 'from'.
int Lines(const std::string& log, size_t from, const std::string& text) {
    int count = 0;
    for (size_t at = log.find(text + "\r\n", from); at != std::string::npos;
         at = log.find(text + "\r\n", at + 1))
        ++count;
    return count;
}

TEST_F(SettingsDlgNicTest, PreselectionByExactGuidOrTheFirstTwoCards) {
    struct Case {
        const char* label;
        CString lanName, lanGuid, wanName, wanGuid;
        int lan, wan;
    } cases[] = {
        {"configured", "spare0", kSpareGuid, "lan0", kLanGuid, 2, 0},
        {"not configured", "", "", "", "", 0, 1},
        {"description differs: not configured", "spare", kSpareGuid, "lan0", kLanGuid, 0, 1},
    };
    for (const Case& c : cases) {
        testsupport::ClearCardRoles();
        if (!c.lanName.IsEmpty()) {
            StoreCardRole("LAN", c.lanName, c.lanGuid);
            StoreCardRole("WAN", c.wanName, c.wanGuid);
        }
        InPc([&] {
            size_t from = testsupport::LogText().size();
            NicConfigDlg dlg(false);
            ASSERT_EQ(dlg.Cards().size(), 3u) << c.label;
            EXPECT_EQ(dlg.Cards()[0].description, "lan0");
            EXPECT_EQ(dlg.Cards()[1].guid, kWanGuid);
            EXPECT_EQ(dlg.m_Lan, c.lan) << c.label;
            EXPECT_EQ(dlg.m_Wan, c.wan) << c.label;
            std::string unknown = "网卡（Guid：" + std::string(kWanGuid) + " 描述：wan0）用途未知。";
            EXPECT_EQ(Lines(testsupport::LogText(), from, unknown), c.lan == 2 ? 1 : 0) << c.label;
        });
    }
}

TEST_F(SettingsDlgNicTest, SameCardIsRefusedAndTheHintNeedsAParent) {
    testsupport::ClearCardRoles();
    InPc([&] {
        for (bool parent : {false, true}) {
            size_t before = settings->prompts.Count();
            NicConfigDlg dlg(parent);
            dlg.m_Wan = 2;
            dlg.m_Lan = 2;
            DialogOutcome refused = dlg.OnOK();
            EXPECT_TRUE(refused.IsStayOpen());
            EXPECT_EQ(refused.stringId, NicConfigDlg::IDS_SAME_CARD);
            ASSERT_EQ(settings->prompts.Count(), before + 1);
            EXPECT_EQ(settings->prompts.Boxes().back().text, "WAN侧网卡和LAN侧网卡不能是同一块网卡。");
            EXPECT_EQ(ReadCardRole("WAN", "Guid"), "<missing>");

            dlg.m_Lan = 0;
            ASSERT_TRUE(dlg.OnOK().IsClose());
            EXPECT_EQ(ReadCardRole("WAN", "Name"), "spare0");
            EXPECT_EQ(ReadCardRole("WAN", "Guid"), kSpareGuid);
            EXPECT_EQ(ReadCardRole("LAN", "Name"), "lan0");
            EXPECT_EQ(ReadCardRole("LAN", "Guid"), kLanGuid);
            EXPECT_EQ(Configer::GetInstance()->GetWanNic()->m_InterfaceName, "spare0");
            ASSERT_EQ(settings->prompts.Count(), before + (parent ? 2 : 1)) << parent;
            if (parent) {
                EXPECT_EQ(settings->prompts.Boxes().back().text,
                          "如果修改了网卡配置，你需要重新启动本软件。");
            }
            testsupport::ClearCardRoles();
        }
    });
}

TEST_F(SettingsDlgNicTest, RunningMonitorsEndOnlyWithTheFlag) {
    testsupport::ClearCardRoles();
    StoreCardRole("LAN", "lan0", kLanGuid);
    StoreCardRole("WAN", "wan0", kWanGuid);
    for (bool flag : {false, true}) {
        InPc([&] {
            ASSERT_NE(LANic_Monitor::Instance(), nullptr);
            ASSERT_NE(WANic_Monitor::Instance(), nullptr);
            SetMonitorsStartedFlag(flag);
            size_t from = testsupport::LogText().size();
            NicConfigDlg dlg(false);
            dlg.m_Wan = 2; // the WAN role moves to spare0
            ASSERT_TRUE(dlg.OnOK().IsClose());
            std::string log = testsupport::LogText();
            EXPECT_EQ(Lines(log, from, "LANic_Monitor停止成功。"), flag ? 1 : 0) << flag;
            EXPECT_EQ(Lines(log, from, "WANic_Monitor停止成功。"), flag ? 1 : 0) << flag;
            EXPECT_FALSE(IsMonitorsStartedFlagSet());
            LANic_Monitor::DeleteInstance();
            WANic_Monitor::DeleteInstance();
        });
    }
}

} // namespace
