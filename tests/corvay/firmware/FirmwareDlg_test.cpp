#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "corvay/firmware/CChoseVersionDlg.h"
#include "corvay/firmware/FirmwareDlg.h"
#include "corvay/firmware/FirmwareManageDlg.h"
#include "corvay/firmware/UpgradeRuleDlg.h"
#include "corvay/firmware/VersionUpgradeManageDlg.h"
#include "corvay/settings/DeviceDlg.h"
#include "engine/log/StringTable.h"
#include "platform/prompt/Prompt.h"
#include "tests/corvay/firmware/FirmwareFixture.h"

namespace {

class FirmwareDlgTest : public ::testing::Test, public testsupport::FirmwareDatabase {
protected:
    // The box shown last, which must be string 'id'.
    void ExpectLastBox(unsigned id) {
        static const std::map<unsigned, const char*> texts = {
            {123, "请选择一行记录"},           {125, "请输入版本名"},     {126, "请输入版本文件路径"},
            {140, "请选择一个或多个升级版本"}, {141, "请输入旧版本特征"}, {142, "记录重复"},
            {144, "请选择一个版本"},
        };
        ASSERT_GT(prompts.Count(), 0u);
        EXPECT_EQ(prompts.Boxes().back().text, texts.at(id)) << id;
    }

    platform::RecordingPromptService prompts;
    platform::ScopedPromptService scoped{prompts};
};

TEST_F(FirmwareDlgTest, FirmwareFieldsAreCheckedNameFirst) {
    struct Case {
        const char* name;
        const char* path;
        unsigned refused; // 0: accepted
    } cases[] = {
        {"", "", FirmwareDlg::IDS_NO_NAME},
        {"", "/fw/a.bin", FirmwareDlg::IDS_NO_NAME},
        {"V1", "", FirmwareDlg::IDS_NO_PATH},
        {" ", " ", 0},
        {"V1", "/fw/a.bin", 0},
    };
    for (const Case& c : cases) {
        Firmware record;
        record.ID = 42;
        record.Remark = "kept";
        FirmwareDlg dlg(record);
        dlg.m_Name = c.name;
        dlg.m_Path = c.path;
        DialogOutcome outcome = dlg.OnOK();
        if (c.refused) {
            EXPECT_TRUE(outcome.IsStayOpen()) << c.name << "|" << c.path;
            EXPECT_EQ(outcome.stringId, c.refused);
            ExpectLastBox(c.refused);
            EXPECT_EQ(dlg.Record().VersionName, "");
        } else {
            ASSERT_TRUE(outcome.IsClose());
            EXPECT_EQ(dlg.Record().ID, 42);
            EXPECT_EQ(dlg.Record().VersionName, c.name);
            EXPECT_EQ(dlg.Record().Path, c.path);
            EXPECT_EQ(dlg.Record().Remark, "kept");
        }
    }
    FirmwareDlg browse;
    browse.OnFileChosen("/srv/firmware/new.bin");
    EXPECT_EQ(browse.m_Path, "/srv/firmware/new.bin");
}

TEST_F(FirmwareDlgTest, ManageAddsEditsAndDeletesAfterConfirmation) {
    std::filesystem::path file = dir / "v1.bin";
    testsupport::WriteFileBytes(file, "firmware image");
    FirmwareManageDlg manage;
    EXPECT_EQ(manage.m_List.Count(), 0);

    // Add through the firmware dialog; a cancelled one adds nothing.
    for (int result : {kDialogCancel, kDialogOk}) {
        DialogOutcome outcome = manage.OnAdd();
        ASSERT_TRUE(outcome.IsRunDialog());
        EXPECT_EQ(outcome.dialogId, FirmwareDlg::IDD);
        auto* child = dynamic_cast<FirmwareDlg*>(manage.Child());
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->m_Name, "");
        child->m_Name = "固件一";
        child->m_Path = file.c_str();
        child->m_Remark = "首版";
        if (result == kDialogOk) {
            ASSERT_TRUE(child->OnOK().IsClose());
        }
        manage.ChildEnded(result);
        EXPECT_EQ(manage.Child(), nullptr);
    }
    ASSERT_EQ(manage.m_List.Count(), 1);
    std::vector<Firmware> stored = Db().GetAllFirmware();
    ASSERT_EQ(stored.size(), 1u);
    CString id;
    id.Format("%i", stored[0].ID);
    EXPECT_EQ(manage.m_List.rows[0], (std::vector<CString>{id, "固件一", file.c_str(), "首版"}));

    // Edit and delete need a selected row.
    for (DialogOutcome outcome : {manage.OnEdit(), manage.OnDelete()}) {
        EXPECT_TRUE(outcome.IsStayOpen());
        EXPECT_EQ(outcome.stringId, FirmwareManageDlg::IDS_SELECT_ROW);
        ExpectLastBox(FirmwareManageDlg::IDS_SELECT_ROW);
    }
    manage.m_List.Select(0);
    ASSERT_TRUE(manage.OnEdit().IsRunDialog());
    auto* edit = dynamic_cast<FirmwareDlg*>(manage.Child());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->m_Name, "固件一");
    edit->m_Remark = "改过";
    ASSERT_TRUE(edit->OnOK().IsClose());
    manage.ChildEnded(kDialogOk);
    stored = Db().GetAllFirmware();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Remark, "改过");
    EXPECT_EQ(manage.m_List.rows[0][3], "改过");

    // No keeps the row; Yes deletes it; the file on disk stays either way.
    manage.m_List.Select(0);
    size_t before = prompts.Count();
    prompts.QueueAnswer(platform::kIdNo);
    EXPECT_TRUE(manage.OnDelete().IsStayOpen());
    ASSERT_EQ(prompts.Count(), before + 1);
    platform::RecordingPromptService::Shown question = prompts.Boxes().back();
    EXPECT_EQ(question.text, "确认要删除此记录吗？注意，不会删除磁盘上的版本文件。");
    EXPECT_EQ(question.caption, "请确认");
    EXPECT_EQ(question.type & 0xF, platform::kMbYesNo);
    EXPECT_EQ(Db().GetAllFirmware().size(), 1u);
    EXPECT_EQ(manage.m_List.Count(), 1);
    manage.m_List.Select(0);
    prompts.QueueAnswer(platform::kIdYes);
    manage.OnDelete();
    EXPECT_TRUE(Db().GetAllFirmware().empty());
    EXPECT_EQ(manage.m_List.Count(), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(file), "firmware image");
}

TEST_F(FirmwareDlgTest, DeleteActsOnTheLastSelectedRow) {
    Add("A", "/a");
    Firmware b = Add("B", "/b");
    Add("C", "/c");
    Firmware d = Add("D", "/d");
    FirmwareManageDlg manage;
    manage.m_List.Select(0);
    manage.m_List.Select(2);
    prompts.QueueAnswer(platform::kIdYes);
    manage.OnDelete();
    std::vector<Firmware> left = Db().GetAllFirmware();
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[1].ID, b.ID);
    EXPECT_EQ(left[2].ID, d.ID);
}

TEST_F(FirmwareDlgTest, FirstColumnIsTheDatabaseIdOrARunningNumber) {
    Firmware first = Add("V1", "/fw/1");
    Firmware second = Add("V2", "/fw/2");
    Firmware third = Add("V3", "/fw/3");
    ASSERT_TRUE(Db().DeleteFirmware(first.ID));
    ASSERT_TRUE(Db().AddUpgradeRule(Rule("OLD-A", second)));
    ASSERT_TRUE(Db().AddUpgradeRule(Rule("OLD-B", third)));

    FirmwareManageDlg manage;
    ASSERT_EQ(manage.m_List.Count(), 2);
    CString id;
    id.Format("%d", second.ID);
    EXPECT_EQ(manage.m_List.rows[0][0], id);
    EXPECT_NE(manage.m_List.rows[0][0], "1");

    VersionUpgradeManageDlg rules;
    ASSERT_EQ(rules.m_List.Count(), 2);
    EXPECT_EQ(rules.m_List.rows[0], (std::vector<CString>{"1", "OLD-A", "V2", "/fw/2", ""}));
    EXPECT_EQ(rules.m_List.rows[1][0], "2");

    CChoseVersionDlg chooser;
    chooser.SetVersions({{"V2", "/fw/2"}, {"V3", "/fw/3"}});
    EXPECT_EQ(chooser.m_List.rows[0], (std::vector<CString>{"1", "V2", "/fw/2"}));
    EXPECT_EQ(chooser.m_List.rows[1], (std::vector<CString>{"2", "V3", "/fw/3"}));

    UpgradeRuleDlg rule(rules.Rules());
    ASSERT_EQ(rule.m_List.Count(), 2);
    EXPECT_EQ(rule.m_List.rows[1][0], CString(std::to_string(third.ID)));
}

TEST_F(FirmwareDlgTest, UpgradeRuleChecksThenAddsOneRulePerCheckedRow) {
    Firmware a = Add("A", "/a");
    Firmware b = Add("B", "/b");
    Firmware c = Add("C", "/c");
    ASSERT_TRUE(Db().AddUpgradeRule(Rule("V1.0", b)));
    struct Case {
        const char* oldVersion;
        std::vector<int> checked;
        unsigned refused;
    } refusals[] = {
        {"", {0}, UpgradeRuleDlg::IDS_NO_OLD_VERSION},
        {" \t ", {0}, UpgradeRuleDlg::IDS_NO_OLD_VERSION},
        {"V1.0", {}, UpgradeRuleDlg::IDS_NO_FIRMWARE},
    };
    for (const Case& r : refusals) {
        UpgradeRuleDlg dlg(Db().GetUpgradeRules());
        dlg.m_OldVersion = r.oldVersion;
        for (int row : r.checked)
            dlg.m_List.checked[row] = true;
        DialogOutcome outcome = dlg.OnOK();
        EXPECT_TRUE(outcome.IsStayOpen()) << r.oldVersion;
        EXPECT_EQ(outcome.stringId, r.refused);
        ExpectLastBox(r.refused);
    }
    EXPECT_EQ(RulePairs().size(), 1u);

    // Through the manage dialog: an existing pair is refused once, the others still go in.
    VersionUpgradeManageDlg manage;
    ASSERT_TRUE(manage.OnAdd().IsRunDialog());
    auto* dlg = dynamic_cast<UpgradeRuleDlg*>(manage.Child());
    ASSERT_NE(dlg, nullptr);
    dlg->m_OldVersion = "  V1.0 ";
    dlg->m_List.checked = {true, true, true};
    size_t before = prompts.Count();
    ASSERT_TRUE(dlg->OnOK().IsClose());
    ASSERT_EQ(prompts.Count(), before + 1);
    ExpectLastBox(UpgradeRuleDlg::IDS_DUPLICATE);
    manage.ChildEnded(kDialogOk);
    std::vector<std::pair<std::string, int>> expected = {{"V1.0", a.ID}, {"V1.0", b.ID}, {"V1.0", c.ID}};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(RulePairs(), expected);
    EXPECT_EQ(manage.m_List.Count(), 3);

    // A different old version with two rows checked: two rules.
    ASSERT_TRUE(manage.OnAdd().IsRunDialog());
    dlg = dynamic_cast<UpgradeRuleDlg*>(manage.Child());
    dlg->m_OldVersion = "V0.9";
    dlg->m_List.checked = {true, false, true};
    ASSERT_TRUE(dlg->OnOK().IsClose());
    manage.ChildEnded(kDialogOk);
    EXPECT_EQ(RulePairs().size(), 5u);
    EXPECT_EQ(manage.m_List.Count(), 5);
}

TEST_F(FirmwareDlgTest, RuleDeletionAsksFirst) {
    Firmware a = Add("A", "/a");
    Firmware b = Add("B", "/b");
    ASSERT_TRUE(Db().AddUpgradeRule(Rule("X", a)));
    ASSERT_TRUE(Db().AddUpgradeRule(Rule("X", b)));
    VersionUpgradeManageDlg manage;
    DialogOutcome none = manage.OnDelete();
    EXPECT_EQ(none.stringId, FirmwareManageDlg::IDS_SELECT_ROW);
    manage.m_List.Select(1);
    prompts.QueueAnswer(platform::kIdNo);
    manage.OnDelete();
    EXPECT_EQ(RulePairs().size(), 2u);
    manage.m_List.Select(1);
    prompts.QueueAnswer(platform::kIdYes);
    manage.OnDelete();
    EXPECT_EQ(RulePairs(), (std::vector<std::pair<std::string, int>>{{"X", a.ID}}));
    EXPECT_EQ(Db().GetAllFirmware().size(), 2u); // the firmware rows stay
}

TEST_F(FirmwareDlgTest, ColumnWidthRules) {
    struct Case {
        int width;
        std::vector<int> firmware, rules;
    } cases[] = {
        {300, {50, 200, 200, 100}, {50, 50, 50, 50, 50}},
        {450, {50, 200, 200, 100}, {50, 50, 50, 50, 50}}, // (450 - 50) / 4 is not above 100
        {454, {50, 200, 200, 100}, {50, 101, 101, 101, 101}},
        {549, {50, 200, 200, 100}, {50, 124, 124, 124, 124}},
        {550, {50, 200, 200, 100}, {50, 125, 125, 125, 125}},
        {800, {50, 200, 200, 350}, {50, 187, 187, 187, 187}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FirmwareManageDlg::ColumnWidths(c.width), c.firmware) << c.width;
        EXPECT_EQ(VersionUpgradeManageDlg::ColumnWidths(c.width), c.rules) << c.width;
    }
    struct Device {
        int client, column;
    } devices[] = {{0, 100}, {30, 100}, {31, 1}, {400, 370}};
    for (const Device& d : devices)
        EXPECT_EQ(DeviceDlg::ColumnWidth(d.client), d.column) << d.client;
}

TEST_F(FirmwareDlgTest, ChooserNeedsARowAndTakesTheLastSelected) {
    CChoseVersionDlg dlg;
    dlg.SetText("RTX-1.0.3");
    dlg.SetVersions({{"V2", "/fw/2"}, {"V3", "/fw/3"}, {"V4", "/fw/4"}});
    EXPECT_EQ(dlg.m_Text, "RTX-1.0.3");
    DialogOutcome outcome = dlg.OnOK();
    EXPECT_TRUE(outcome.IsStayOpen());
    EXPECT_EQ(outcome.stringId, CChoseVersionDlg::IDS_SELECT_VERSION);
    ExpectLastBox(CChoseVersionDlg::IDS_SELECT_VERSION);
    EXPECT_EQ(dlg.ChosenIndex(), -1);
    dlg.m_List.Select(0);
    dlg.m_List.Select(1);
    ASSERT_TRUE(dlg.OnOK().IsClose());
    EXPECT_EQ(dlg.GetChosenVersion(), (VersionPair{"V3", "/fw/3"}));
    EXPECT_EQ(dlg.ChosenIndex(), 1);
}

} // namespace
