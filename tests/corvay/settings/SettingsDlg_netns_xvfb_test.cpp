// The card dialog as a real window over the cards of a private namespace.

#include <gtest/gtest.h>

#include <string>

#include "corvay/settings/NicConfigDlg.h"
#include "tests/corvay/WindowFixture.h"
#include "tests/corvay/settings/CardsFixture.h"

namespace {

using testsupport::kLanGuid;
using testsupport::kSpareGuid;
using testsupport::kWanGuid;
using testsupport::ReadCardRole;
using testsupport::SettingsDlgNicTest;

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
