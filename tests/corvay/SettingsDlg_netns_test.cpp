#include <gtest/gtest.h>

#include <string>

#include "corvay/NicConfigDlg.h"
#include "corvay/TestFlags.h"
#include "engine/log/StringTable.h"
#include "engine/ping/NicMonitors.h"
#include "tests/corvay/SettingsFixture.h"
#include "tests/corvay/WindowFixture.h"
#include "tests/support/CardRoles.h"
#include "tests/support/NetNamespace.h"

namespace {

using testsupport::ReadCardRole;
using testsupport::StoreCardRole;
const CString kLanGuid = testsupport::CardGuid({2, 0, 0, 0, 0x0a, 1});
const CString kWanGuid = testsupport::CardGuid({2, 0, 0, 0, 0x0b, 1});
const CString kSpareGuid = testsupport::CardGuid({2, 0, 0, 0, 0x0c, 1});

// How often a line ends with the text in the log written after 'from'.
int Lines(const std::string& log, size_t from, const std::string& text) {
    int count = 0;
    for (size_t at = log.find(text + "\r\n", from); at != std::string::npos;
         at = log.find(text + "\r\n", at + 1))
        ++count;
    return count;
}

// The PC namespace holds lan0, wan0 and spare0 (in that ifindex order); each body runs in a
// child inside it, so the cards are exactly these and every child starts without singletons.
class SettingsDlgNicTest : public testsupport::PcBenchTest {
protected:
    void SetUp() override {
        PcBenchTest::SetUp();
        if (IsSkipped())
            return;
        testsupport::AddVethPair(*pc, "spare0", *bench, "sparepeer", "02:00:00:00:0c:01");
        settings = std::make_unique<testsupport::SettingsFixture>();
    }
    void TearDown() override { settings.reset(); }
    void InPc(const std::function<void()>& body) { testsupport::RunInChild(*pc, body); }

    std::unique_ptr<testsupport::SettingsFixture> settings;
};

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
            if (parent)
                EXPECT_EQ(settings->prompts.Boxes().back().text,
                          "如果修改了网卡配置，你需要重新启动本软件。");
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

// The window over the namespace's cards: the dialog and its rules work on a thread inside the
// PC namespace, the window on the UI thread; the restart hint comes as a real box.
TEST_F(SettingsDlgNicTest, WindowListsTheCardsAndSavesTheRoles) {
    testsupport::WindowFixture window;
    SKIP_WITHOUT_DISPLAY(window.ui);
    testsupport::StoreCardRole("LAN", "lan0", kLanGuid);
    testsupport::StoreCardRole("WAN", "wan0", kWanGuid);
    window.ui.Run([&] {
        testsupport::RunInside(*pc, [&] {
            NicConfigDlg dlg(true);
            testsupport::RunningDialog running(window.ui, dlg);
            ASSERT_TRUE(running.Open());
            EXPECT_EQ(window.ui.ActiveCaption(), u8"网卡配置");
            auto selected = [&](int id) {
                return running.OnUi([id](platform::ui::Dialog& w) { return w.Item(id).GetCurSel(); });
            };
            EXPECT_EQ(selected(NicConfigDlg::IDC_LAN_NIC), 0);
            EXPECT_EQ(selected(NicConfigDlg::IDC_WAN_NIC), 1);
            EXPECT_EQ(running.OnUi([](platform::ui::Dialog& w) {
                return std::string(w.Item(NicConfigDlg::IDC_WAN_NIC).GetItemText(2));
            }),
                      "spare0");
            ASSERT_TRUE(window.ui.Select(NicConfigDlg::IDC_WAN_NIC, 2));
            window.ui.Screenshot("SettingsDlg_cards");
            ASSERT_TRUE(window.ui.Click(1));
            ASSERT_TRUE(window.WaitForCaption("Corvay"));
            window.ui.Screenshot("SettingsDlg_cards_restart_hint");
            ASSERT_TRUE(window.ui.ClickAnswer(platform::kIdOk));
            EXPECT_EQ(running.Result(), 1);
        });
    });
    EXPECT_EQ(ReadCardRole("WAN", "Name"), "spare0");
    EXPECT_EQ(ReadCardRole("WAN", "Guid"), kSpareGuid);
    EXPECT_EQ(ReadCardRole("LAN", "Guid"), kLanGuid);
}

} // namespace
