// The version locator's confirmation and source dialogs as an operator meets them, in both
// languages: the result shown, a row's markers chosen by a click, the proposed include value
// edited, and OK writing "Firmware_Version" into the editor's template; the source viewer.

#include <gtest/gtest.h>

#include <atomic>

#include "platform/text/Gbk.h"
#include "platform/ui/Application.h"
#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/editor/CStavrinMng.h"
#include "stavrintool/locator/HtmlCodeDlg.h"
#include "stavrintool/locator/ParamInfoDlg.h"
#include "templates/TemplateStore.h"
#include "tests/support/UiTestDriver.h"

namespace {

using namespace testsupport;

struct Language {
    const char* name;
    const char* confirmCaption; // UTF-8
    const char* sourceCaption;
};
void PrintTo(const Language& language, std::ostream* out) {
    *out << language.name;
}
const Language kLanguages[] = {{"cn", u8"请确认", u8"页面源代码"}, {"en", "Please confirm", "Page source"}};

class LocatorDialogs : public ::testing::TestWithParam<Language> {
protected:
    void TearDown() override { stavrin::SetToolStringSource({}); }
};

TEST_P(LocatorDialogs, ConfirmationShowsTheResultAndOkWritesTheVersionParameter) {
    const Language lang = GetParam();
    UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack(lang.name, "StavrinToolLocalize_"));
    stavrin::SetToolStringSource(ui.Pack().StringLookup());
    TemplateStore store;
    std::unique_ptr<CStavrinMng> editor;
    std::atomic<int> result{0};
    const std::vector<LocatorRecord> locators = {{"<td>软件版本</td>", ""}, {"<td>&nbsp;", "</td>"}};

    ui.Run([&] {
        platform::ui::RunOnUiThread([&] {
            editor = std::make_unique<CStavrinMng>(store);
            ASSERT_TRUE(editor->SetTemplate(-1));
            ParamInfoDlg dlg;
            dlg.SetLocators(locators);
            dlg.SetPage("/status.htm");
            dlg.SetVersion("V1.2.3");
            dlg.SetEditor(editor.get());
            result = dlg.DoModal();
        });
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == lang.confirmCaption; }))
            << ui.ActiveCaption();
        ui.Settle(200);
        EXPECT_EQ(ui.Text(1032), "/status.htm");
        EXPECT_EQ(ui.Text(1096), "V1.2.3");
        EXPECT_EQ(ui.Text(1029), "Firmware_Version");
        EXPECT_TRUE(ui.IsChecked(1064));
        EXPECT_FALSE(ui.IsEnabled(1064));
        EXPECT_EQ(ui.Text(1095), "V1.");
        ASSERT_EQ(ui.RowCount(1054), 2);
        EXPECT_EQ(ui.CellText(1054, 0, 0), u8"<td>软件版本</td>");
        ASSERT_TRUE(ui.ClickRow(1054, 1));
        EXPECT_TRUE(ui.WaitUntil([&] { return ui.Text(1048) == "<td>&nbsp;"; })) << ui.Text(1048);
        EXPECT_EQ(ui.Text(1049), "</td>");
        ui.Screenshot(std::string("ParamInfoDlg_") + lang.name);
        ASSERT_TRUE(ui.Click(1));
        EXPECT_TRUE(ui.WaitUntil([&] { return result != 0; }));
    });
    EXPECT_EQ(result, 1);
    ASSERT_TRUE(editor && editor->Model().Record());
    const auto& parameters = editor->Model().Record()->parameters;
    ASSERT_EQ(parameters.size(), 1u);
    EXPECT_EQ(parameters[0]->name, "Firmware_Version");
    EXPECT_EQ(parameters[0]->page, "/status.htm");
    ASSERT_EQ(parameters[0]->englishLocators.size(), 2u);
    EXPECT_EQ(parameters[0]->englishLocators[1].head, "<td>&nbsp;");
    ASSERT_EQ(parameters[0]->rules.size(), 1u);
    EXPECT_EQ(parameters[0]->rules[0].op, "INCLUDE");
    EXPECT_EQ(parameters[0]->rules[0].setValue, "V1.");
}

TEST_P(LocatorDialogs, SourceViewerShowsThePageInItsCharset) {
    const Language lang = GetParam();
    UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack(lang.name, "StavrinToolLocalize_"));
    std::atomic<int> result{0};
    std::string page = "<html><body>\n<table><tr><td>软件版本</td><td>V1.2.3</td></tr></table>\n";
    for (int i = 0; i < 40; ++i)
        page += "<p>第" + std::to_string(i) +
                "行 a long line that needs the horizontal scroll bar to be read whole</p>\n";

    ui.Run([&] {
        platform::ui::RunOnUiThread([&] { result = HtmlCodeDlg(CString(page)).DoModal(); });
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == lang.sourceCaption; }))
            << ui.ActiveCaption();
        ui.Settle(200);
        EXPECT_NE(ui.Text(1094).find(u8"<td>软件版本</td>"), std::string::npos);
        ui.Screenshot(std::string("HtmlCodeDlg_") + lang.name);
        ASSERT_TRUE(ui.Click(1));
        EXPECT_TRUE(ui.WaitUntil([&] { return result != 0; }));
    });
    EXPECT_EQ(result, 1);
}

INSTANTIATE_TEST_SUITE_P(ParamInfoDlgWindow, LocatorDialogs, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
