// The firmware and upgrade-rule dialogs as real windows over a database of the test's own:
// each opened through the window layer, a value changed, OK, and the result read back.

#include <gtest/gtest.h>

#include <future>

#include "corvay/app/CorvayPrompts.h"
#include "corvay/firmware/CChoseVersionDlg.h"
#include "corvay/firmware/FirmwareDlg.h"
#include "corvay/firmware/FirmwareManageDlg.h"
#include "corvay/firmware/UpgradeRuleDlg.h"
#include "corvay/firmware/VersionUpgradeManageDlg.h"
#include "corvay/settings/DeviceDlg.h"
#include "platform/ui/ListControl.h"
#include "tests/corvay/WindowFixture.h"
#include "tests/corvay/firmware/FirmwareFixture.h"

namespace {

using platform::ui::Dialog;
using platform::ui::ListControl;
using testsupport::RunningDialog;

struct FirmwareWindows : testsupport::FirmwareDatabase, testsupport::WindowFixture {
    explicit FirmwareWindows(const char* pack = "cn") : WindowFixture(pack) {}
};

int Rows(RunningDialog& window, int list) {
    return window.OnUi([list](Dialog& w) { return ListControl(w.Item(list)).GetItemCount(); });
}
void SelectRow(RunningDialog& window, int list, int row) {
    window.OnUi([list, row](Dialog& w) {
        ListControl(w.Item(list)).Select(row, true);
        return 0;
    });
}
// Typed into the edit as a user would: a click into it, then the keys.
void TypeInto(testsupport::UiTestDriver& ui, int id, const std::string& text) {
    ui.Click(id);
    ui.Type(text);
}

TEST(FirmwareDlgWindow, ManageAddsEditsAndDeletesAndItsListFollowsTheSize) {
    FirmwareWindows f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    f.ui.Run([&] {
        FirmwareManageDlg dlg;
        RunningDialog window(f.ui, dlg);
        ASSERT_TRUE(window.Open());
        EXPECT_EQ(f.ui.ActiveCaption(), u8"固件版本管理");
        auto childOpen = [&] { return f.ui.Text(FirmwareDlg::IDC_BROWSE) == "..."; };

        // Add: the name is asked for first.
        ASSERT_TRUE(f.ui.Click(FirmwareManageDlg::IDC_ADD));
        ASSERT_TRUE(f.ui.WaitUntil(childOpen));
        ASSERT_TRUE(f.ui.Click(1));
        ASSERT_TRUE(f.WaitForCaption("Corvay"));
        f.ui.Screenshot("FirmwareDlg_no_name");
        ASSERT_TRUE(f.ui.ClickAnswer(platform::kIdOk));
        ASSERT_TRUE(f.ui.WaitUntil(childOpen));
        TypeInto(f.ui, FirmwareDlg::IDC_VERSION_NAME, "V9.1");
        TypeInto(f.ui, FirmwareDlg::IDC_PATH, "/srv/fw/v9.bin");
        f.ui.Screenshot("FirmwareDlg_firmware");
        ASSERT_TRUE(f.ui.Click(1));
        ASSERT_TRUE(f.ui.WaitUntil([&] { return Rows(window, FirmwareManageDlg::IDC_LIST) == 1; }));
        std::vector<Firmware> stored = f.Db().GetAllFirmware();
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_EQ(stored[0].VersionName, "V9.1");
        EXPECT_EQ(stored[0].Path, "/srv/fw/v9.bin");

        // Edit the selected row's remark.
        SelectRow(window, FirmwareManageDlg::IDC_LIST, 0);
        ASSERT_TRUE(f.ui.Click(FirmwareManageDlg::IDC_EDIT));
        ASSERT_TRUE(f.ui.WaitUntil(childOpen));
        EXPECT_EQ(f.ui.Text(FirmwareDlg::IDC_VERSION_NAME), "V9.1");
        TypeInto(f.ui, FirmwareDlg::IDC_REMARK, "beta");
        ASSERT_TRUE(f.ui.Click(1));
        ASSERT_TRUE(f.ui.WaitUntil([&] { return !childOpen(); }));
        EXPECT_EQ(f.Db().GetAllFirmware().at(0).Remark, "beta");
        f.ui.Screenshot("FirmwareDlg_manage");

        // Larger: the list grows with the window and the last column takes the rest.
        auto geometry = [&] {
            return window.OnUi([](Dialog& w) {
                ListControl list(w.Item(FirmwareManageDlg::IDC_LIST));
                platform::ui::Rect close = w.Item(FirmwareManageDlg::IDC_CLOSE).GetRect();
                platform::ui::Size client = w.GetClientSize();
                return std::vector<int>{list.GetClientWidth(), list.GetColumnWidth(3),
                                        client.cx - close.right, client.cy - close.bottom,
                                        w.Item(FirmwareManageDlg::IDC_LIST).GetRect().Width()};
            });
        };
        std::vector<int> before = geometry();
        f.ui.ResizeActive(1000, 600);
        window.OnUi([](Dialog& w) { // the whole window on the screen, for the clicks below
            platform::ui::Rect r = w.GetWindowRect();
            w.MoveWindow({0, 0, r.Width(), r.Height()});
            return 0;
        });
        ASSERT_TRUE(f.ui.WaitUntil([&] { return geometry()[4] > before[4] + 100; }));
        std::vector<int> after = geometry();
        EXPECT_EQ(after[1], after[0] - 450);
        EXPECT_EQ(after[2], before[2]); // "关闭" keeps its distance to the corner
        EXPECT_EQ(after[3], before[3]);
        f.ui.Screenshot("FirmwareDlg_manage_resized");

        // Delete asks first; No keeps the row.
        SelectRow(window, FirmwareManageDlg::IDC_LIST, 0);
        ASSERT_TRUE(f.ui.Click(FirmwareManageDlg::IDC_DELETE));
        ASSERT_TRUE(f.WaitForCaption(u8"请确认"));
        f.ui.Screenshot("FirmwareDlg_confirm_delete");
        ASSERT_TRUE(f.ui.ClickAnswer(platform::kIdNo));
        ASSERT_TRUE(f.WaitForCaption(u8"固件版本管理"));
        EXPECT_EQ(f.Db().GetAllFirmware().size(), 1u);
        SelectRow(window, FirmwareManageDlg::IDC_LIST, 0);
        ASSERT_TRUE(f.ui.Click(FirmwareManageDlg::IDC_DELETE));
        ASSERT_TRUE(f.WaitForCaption(u8"请确认"));
        ASSERT_TRUE(f.ui.ClickAnswer(platform::kIdYes));
        ASSERT_TRUE(f.ui.WaitUntil([&] { return Rows(window, FirmwareManageDlg::IDC_LIST) == 0; }));
        EXPECT_TRUE(f.Db().GetAllFirmware().empty());
        ASSERT_TRUE(f.ui.Click(FirmwareManageDlg::IDC_CLOSE));
        EXPECT_EQ(window.Result(), 1);
    });
}

TEST(FirmwareDlgWindow, RulesAreAddedWithCheckedRowsAndDeletedFromTheirList) {
    FirmwareWindows f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    Firmware a = f.Add("固件A", "/srv/fw/a.bin", "稳定");
    Firmware b = f.Add("固件B", "/srv/fw/b.bin");
    f.ui.Run([&] {
        {
            UpgradeRuleDlg dlg(f.Db().GetUpgradeRules());
            RunningDialog window(f.ui, dlg);
            ASSERT_TRUE(window.Open());
            EXPECT_EQ(f.ui.ActiveCaption(), u8"版本升级规则");
            EXPECT_EQ(Rows(window, UpgradeRuleDlg::IDC_LIST), 2);
            TypeInto(f.ui, UpgradeRuleDlg::IDC_OLD_VERSION, "RTX-1.0");
            window.OnUi([](Dialog& w) {
                ListControl list(w.Item(UpgradeRuleDlg::IDC_LIST));
                list.SetCheck(0, true);
                list.SetCheck(1, true);
                return 0;
            });
            f.ui.Screenshot("FirmwareDlg_rule");
            ASSERT_TRUE(f.ui.Click(1));
            EXPECT_EQ(window.Result(), 1);
        }
        EXPECT_EQ(f.RulePairs(),
                  (std::vector<std::pair<std::string, int>>{{"RTX-1.0", a.ID}, {"RTX-1.0", b.ID}}));

        VersionUpgradeManageDlg dlg;
        RunningDialog window(f.ui, dlg);
        ASSERT_TRUE(window.Open());
        EXPECT_EQ(f.ui.ActiveCaption(), u8"版本升级规则管理");
        EXPECT_EQ(Rows(window, VersionUpgradeManageDlg::IDC_LIST), 2);
        f.ui.Screenshot("FirmwareDlg_rules");
        // "增加" opens the rule dialog; Escape leaves it.
        ASSERT_TRUE(f.ui.Click(VersionUpgradeManageDlg::IDC_ADD));
        ASSERT_TRUE(f.WaitForCaption(u8"版本升级规则"));
        f.ui.Key(27);
        ASSERT_TRUE(f.WaitForCaption(u8"版本升级规则管理"));
        SelectRow(window, VersionUpgradeManageDlg::IDC_LIST, 1);
        ASSERT_TRUE(f.ui.Click(VersionUpgradeManageDlg::IDC_DELETE));
        ASSERT_TRUE(f.WaitForCaption(u8"请确认"));
        ASSERT_TRUE(f.ui.ClickAnswer(platform::kIdYes));
        ASSERT_TRUE(f.ui.WaitUntil([&] { return Rows(window, VersionUpgradeManageDlg::IDC_LIST) == 1; }));
        EXPECT_EQ(f.RulePairs().size(), 1u);
        ASSERT_TRUE(f.ui.Click(VersionUpgradeManageDlg::IDC_CLOSE));
        EXPECT_EQ(window.Result(), 1);
    });
}

// A job thread asks the prompt service to choose; the chooser shows on the UI thread while
// the job waits, and the job gets the chosen row's pair.
class FirmwareDlgWindowChooser : public ::testing::TestWithParam<const char*> {};

TEST_P(FirmwareDlgWindowChooser, AskedByAJobThreadAnswersWithThePair) {
    const std::string pack = GetParam();
    const std::string caption = pack == "cn" ? u8"请选择一个升级版本" : "Choose an upgrade version";
    FirmwareWindows f(pack.c_str());
    SKIP_WITHOUT_DISPLAY(f.ui);
    CorvayPrompts prompts;
    platform::SetPromptService(&prompts);
    const std::vector<VersionPair> candidates = {{"V2", "/srv/fw/2.bin"}, {"V3", "/srv/fw/3.bin"}};
    f.ui.Run([&] {
        std::future<VersionPair> job = std::async(std::launch::async, [&] {
            CStringArray items;
            for (const VersionPair& pair : candidates)
                items.Add(pair.first + "\t" + pair.second);
            int index = platform::Prompts().ChooseItem("RTX-1.0.3", "Corvay", items);
            return index >= 0 ? candidates.at(size_t(index)) : VersionPair();
        });
        ASSERT_TRUE(f.WaitForCaption(caption));
        EXPECT_EQ(f.ui.Text(CChoseVersionDlg::IDC_CURRENT_VERSION), "RTX-1.0.3");
        // OK without a row: string 144, the dialog stays.
        ASSERT_TRUE(f.ui.Click(1));
        ASSERT_TRUE(f.WaitForCaption("Corvay"));
        ASSERT_TRUE(f.ui.ClickAnswer(platform::kIdOk));
        ASSERT_TRUE(f.WaitForCaption(caption));
        // Into the list, then down twice with the keys: the second row.
        f.ui.Click(CChoseVersionDlg::IDC_LIST);
        f.ui.Key(317);
        f.ui.Key(317);
        f.ui.Screenshot("FirmwareDlg_chooser_" + pack);
        EXPECT_EQ(job.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
        ASSERT_TRUE(f.ui.Click(1));
        ASSERT_EQ(job.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_EQ(job.get(), candidates[1]);
    });
    platform::SetPromptService(nullptr);
}

INSTANTIATE_TEST_SUITE_P(FirmwareDlgWindow, FirmwareDlgWindowChooser, ::testing::Values("cn", "en"));

TEST(FirmwareDlgWindow, DeviceListColumnAndButtons) {
    FirmwareWindows f;
    SKIP_WITHOUT_DISPLAY(f.ui);
    f.ui.Run([&] {
        for (int button : {DeviceDlg::IDC_CANCEL, DeviceDlg::IDC_OK}) {
            DeviceDlg dlg;
            RunningDialog window(f.ui, dlg);
            ASSERT_TRUE(window.Open());
            EXPECT_EQ(f.ui.ActiveCaption(), u8"终端管理");
            auto widths = window.OnUi([](Dialog& w) {
                ListControl list(w.Item(DeviceDlg::IDC_LIST));
                return std::pair{list.GetClientWidth(), list.GetColumnWidth(0)};
            });
            EXPECT_EQ(widths.second, DeviceDlg::ColumnWidth(widths.first));
            EXPECT_GT(widths.second, 100);
            ASSERT_TRUE(f.ui.Click(DeviceDlg::IDC_ADD)); // does nothing
            ASSERT_TRUE(f.ui.Click(DeviceDlg::IDC_DELETE));
            EXPECT_EQ(f.ui.ActiveCaption(), u8"终端管理");
            if (button == DeviceDlg::IDC_OK)
                f.ui.Screenshot("FirmwareDlg_devices");
            ASSERT_TRUE(f.ui.Click(button));
            EXPECT_EQ(window.Result(), button == DeviceDlg::IDC_OK ? 1 : 2);
        }
    });
}

} // namespace
