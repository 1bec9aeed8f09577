// The version locator as an operator meets it, in both languages: the template editor's
// "自动查找版本定位参数" opens the locator window on a modem's status page (GBK, the version
// in a table inside a frame), the version is selected, "自动定位" shows the confirmation and
// its OK writes "Firmware_Version" into the template; the markers read that page's version.

#include <gtest/gtest.h>

#include <atomic>

#include "bench/FakeWebServer.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Application.h"
#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/capture/CaptureModels.h"
#include "stavrintool/editor/CStavrinMng.h"
#include "stavrintool/locator/MyBrowerDlg.h"
#include "templates/RuleEvaluator.h"
#include "templates/TemplateStore.h"
#include "tests/support/UiTestDriver.h"

namespace {

using namespace testsupport;

struct Language {
    const char* name;
    const char* locatorCaption; // UTF-8
    const char* confirmCaption;
};
void PrintTo(const Language& language, std::ostream* out) {
    *out << language.name;
}
const Language kLanguages[] = {{"cn", u8"版本信息定位工具", u8"请确认"},
                               {"en", "Version locator", "Please confirm"}};

const char* const kStatusPage =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n"
    "<title>状态</title></head><body>\r\n"
    "<table><tr><td>设备型号</td><td>DSL-100</td></tr>\r\n"
    "<tr><td>软件版本</td>\r\n<td id=\"ver\">V1.2.3</td></tr>\r\n"
    "</table></body></html>\r\n";

class VersionLocatorWindow : public ::testing::TestWithParam<Language> {
protected:
    void TearDown() override {
        stavrin::SetToolStringSource({});
        capture::SetDefaultModemUrl(capture::kDefaultModemUrl);
    }
};

TEST_P(VersionLocatorWindow, SelectedVersionBecomesTheTemplatesVersionParameter) {
    const Language lang = GetParam();
    UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack(lang.name, "StavrinToolLocalize_"));
    stavrin::SetToolStringSource(ui.Pack().StringLookup());

    bench::FakeWebServer modem;
    modem.Route("GET", "/",
                bench::WebResponse::Ok("<html><frameset rows=\"30,*\"><frame src=\"/top.htm\">"
                                       "<frame src=\"/status.htm\"></frameset></html>"));
    modem.Route("GET", "/top.htm", bench::WebResponse::Ok("<html><body>top</body></html>"));
    modem.Route("GET", "/status.htm", bench::WebResponse::Ok(kStatusPage, "text/html; charset=gb2312"));
    modem.Start();
    const std::string base = "http://127.0.0.1:" + std::to_string(modem.Port()) + "/";
    capture::SetDefaultModemUrl(base.c_str());

    TemplateStore store;
    std::unique_ptr<CStavrinMng> editor;
    std::atomic<int> editorResult{0};
    const std::string shot = std::string("VersionLocator_") + lang.name;

    ui.Run([&] {
        // Whatever the steps leave, the editor's modal run ends and the windows go on the UI thread.
        struct EndEditor {
            UiTestDriver& ui;
            std::unique_ptr<CStavrinMng>& editor;
            std::atomic<int>& result;
            ~EndEditor() {
                platform::ui::RunOnUiThread([&] {
                    if (editor && result == 0)
                        editor->EndDialog(2);
                });
                ui.WaitUntil([&] { return result != 0; });
            }
        } end{ui, editor, editorResult};
        platform::ui::RunOnUiThread([&] {
            editor = std::make_unique<CStavrinMng>(store);
            ASSERT_TRUE(editor->SetTemplate(-1));
            editorResult = editor->DoModal();
        });
        ASSERT_TRUE(ui.WaitUntil([&] { return editor && editor->HasWindow() && editor->Locator(); }));
        ui.Settle(300);
        MyBrowerDlg& locator = *editor->Locator();
        EXPECT_FALSE(locator.IsWindowVisible());
        ASSERT_TRUE(ui.Click(CStavrinMng::IDC_FIND_VERSION));
        ASSERT_TRUE(ui.WaitUntil([&] { return locator.IsWindowVisible(); }));
        EXPECT_EQ(locator.GetWindowText().str(), Utf8ToGbk(lang.locatorCaption).str());
        // Centred over the editor where the editor stands when it is shown.
        const auto [outer, inner] = platform::ui::CallOnUiThreadFor([&] {
            return std::pair{editor->GetWindowRect(), locator.GetWindowRect()};
        });
        EXPECT_NEAR((inner.left + inner.right) / 2, (outer.left + outer.right) / 2, 2)
            << "locator at " << inner.left << "," << inner.top << ", editor at " << outer.left << ","
            << outer.top;
        EXPECT_NEAR((inner.top + inner.bottom) / 2, (outer.top + outer.bottom) / 2, 2);
        // The panel shows the frame set once the status frame has come through the proxy.
        const char* const select = "(function () {"
                                   "  var w = window.frames[1]; if (!w) return '';"
                                   "  var d = w.document, td = d.getElementById('ver'); if (!td) return '';"
                                   "  var r = d.createRange(); r.selectNodeContents(td);"
                                   "  var s = w.getSelection(); s.removeAllRanges(); s.addRange(r);"
                                   "  return String(s);"
                                   "})()";
        ASSERT_TRUE(ui.WaitUntil(
            [&] {
                CString selected;
                locator.Panel().Browser().RunScript(select, &selected);
                return selected == "V1.2.3";
            },
            20000));
        // The locator stands beside the modal editor, so it is reached on the UI thread and by
        // the pointer at its button.
        EXPECT_EQ(platform::ui::CallOnUiThreadFor(
                      [&] { return locator.GetDlgItemText(MyBrowerDlg::IDC_URL).str(); }),
                  base);
        ui.Screenshot(shot + "_window");
        const platform::ui::Rect button = platform::ui::CallOnUiThreadFor([&] {
            const platform::ui::Rect window = locator.GetWindowRect(),
                                     item = locator.Item(MyBrowerDlg::IDC_LOCATE).GetRect();
            const platform::ui::Size client = locator.GetClientSize();
            // The client area sits inside the frame's borders and below its caption.
            const int dx = (window.Width() - client.cx) / 2, dy = window.Height() - client.cy - dx;
            return platform::ui::Rect{window.left + dx + item.left, window.top + dy + item.top,
                                      window.left + dx + item.right, window.top + dy + item.bottom};
        });
        ui.ClickAt((button.left + button.right) / 2, (button.top + button.bottom) / 2);
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == lang.confirmCaption; }))
            << ui.ActiveCaption();
        ui.Settle(200);
        EXPECT_EQ(ui.Text(1032), "/status.htm");
        EXPECT_EQ(ui.Text(1096), "V1.2.3");
        EXPECT_EQ(ui.Text(1095), "V1.");
        EXPECT_GE(ui.RowCount(1054), 2);
        ui.Screenshot(shot + "_confirm");
        ASSERT_TRUE(ui.Click(1));
        EXPECT_TRUE(ui.WaitUntil([&] { return !locator.IsWindowVisible(); }));
    });

    ASSERT_TRUE(editor && editor->Model().Record());
    const auto& parameters = editor->Model().Record()->parameters;
    ASSERT_EQ(parameters.size(), 1u);
    const ParameterRecord& version = *parameters[0];
    EXPECT_EQ(version.name, "Firmware_Version");
    EXPECT_EQ(version.page, "/status.htm");
    ASSERT_EQ(version.rules.size(), 1u);
    EXPECT_EQ(version.rules[0].setValue, "V1.");
    CString value;
    ASSERT_EQ(RuleEvaluator::ExtractValue(kStatusPage, version.englishLocators, "FALSE", value), 1);
    EXPECT_EQ(value, "V1.2.3");
    EXPECT_EQ(RuleEvaluator::EvaluateRuleList(version, value), 1);
}

INSTANTIATE_TEST_SUITE_P(VersionLocatorWindows, VersionLocatorWindow, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
