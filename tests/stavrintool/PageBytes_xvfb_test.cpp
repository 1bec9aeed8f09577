// A page's bytes on their way into a template through the windows, for a GBK page, a UTF-8
// page and a page with bytes that are not GBK: the version the locator's confirmation stores,
// and a captured multipart log-in through the log-in dialog and the function editor, each
// replayed by the engine's client against the same page on a loopback modem.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "bench/FakeModem.h"
#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"
#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/capture/CaptureDlgs.h"
#include "stavrintool/editor/CStavrinMng.h"
#include "stavrintool/editor/CTCFGMngDlg.h"
#include "stavrintool/locator/ParamInfoDlg.h"
#include "stavrintool/locator/VersionLocator.h"
#include "templates/TemplateStore.h"
#include "templates/TerminalClient.h"
#include "tests/stavrintool/ToolFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/UiTestDriver.h"

namespace {

using namespace testsupport;

struct Page {
    const char* name;
    const char* charset;
    std::string label;     // the version's label, in the page's charset
    std::string version;   // in the page's charset
    std::string user;      // in the page's charset
    const char* shownUser; // UTF-8, as the boxes show it; nullptr: not checked
};
void PrintTo(const Page& page, std::ostream* out) {
    *out << page.name;
}
const Page kPages[] = {
    {"gbk", "gb2312", "固件版本", "固件三号版", "管理员", u8"管理员"},
    {"utf8", "utf-8", u8"固件版本", u8"固件三号版", u8"管理员", u8"管理员"},
    {"notgbk", "gb2312", "固件版本", "FW-\xff\xff-3", "adm\xff\x80", nullptr},
};

// Every box answered as its default; the log-in dialog tells that the multipart body holds
// no "=user".
class QuietPrompts : public platform::PromptService {
public:
    int MessageBox(const CString&, const CString&, unsigned type) override {
        return platform::SafeAnswer(type);
    }
};

class PageBytes : public ::testing::TestWithParam<std::tuple<Page, const char*>> {
protected:
    void TearDown() override {
        platform::SetPromptService(nullptr);
        stavrin::SetToolStringSource({});
    }
};

TEST_P(PageBytes, ReachTheTemplateAndTheModemByteForByte) {
    const Page page = std::get<0>(GetParam());
    const std::string lang = std::get<1>(GetParam());
    UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack(lang, "StavrinToolLocalize_"));
    stavrin::SetToolStringSource(ui.Pack().StringLookup());
    QuietPrompts quiet;
    platform::SetPromptService(&quiet);

    const std::string source = std::string("<html><head><meta charset=\"") + page.charset +
                               "\"></head><body><table><tr><td>" + page.label + "</td><td>" + page.version +
                               "</td></tr></table></body></html>";
    TerminalRecord model = WebModemModel("20240600000009", "BYTES-1");
    const std::string body =
        "--XB\r\nContent-Disposition: form-data; name=\"user\"\r\n\r\n" + page.user + "\r\n--XB--\r\n";
    auto reference = std::make_unique<FunctionRecord>();
    reference->name = "direct";
    reference->urls.Add(CString("/form.cgi?u=" + page.user));
    reference->methods.Add("POST");
    reference->postData.Add(CString(body));
    reference->headers.Add("Content-Type: multipart/form-data; boundary=XB\r\n");
    model.functions.push_back(std::move(reference));
    bench::FakeModem modem(
        model, bench::FakeModemConfig{bench::ModemLogin::FormCookie, "tolva", "tolva", {}, false});
    modem.Server().Route("GET", "/version.htm",
                         bench::WebResponse::Ok(source, std::string("text/html; charset=") + page.charset));
    modem.Server().Route("POST", "/form.cgi", bench::WebResponse::Ok("ok"));
    modem.Server().KeepBodies(true);
    modem.Start();

    // The form's action carries the user too, as a query.
    const std::string action = "/form.cgi?u=" + page.user;
    CapturedRequest captured{action.c_str(), "Content-Type: multipart/form-data; boundary=XB\r\n",
                             CString(body), true};
    const std::vector<LocatorRecord> locators =
        VersionLocator::Analyse(CString(source), CString(page.version));
    ASSERT_FALSE(locators.empty());

    TemplateStore store;
    std::unique_ptr<CStavrinMng> editor;
    CapturedRequest result;
    std::atomic<int> ended{0};
    ui.Run([&] {
        // The locator's confirmation, OK as proposed.
        platform::ui::RunOnUiThread([&] {
            editor = std::make_unique<CStavrinMng>(store);
            ASSERT_TRUE(editor->SetTemplate(-1));
            ParamInfoDlg confirm;
            confirm.SetLocators(locators);
            confirm.SetPage("/version.htm");
            confirm.SetVersion(CString(page.version));
            confirm.SetCharset(page.charset);
            confirm.SetEditor(editor.get());
            ended = confirm.DoModal();
        });
        ASSERT_TRUE(ui.WaitUntil([&] { return !ui.Text(1096).empty(); }));
        ui.Settle(200);
        if (page.shownUser) {
            EXPECT_EQ(ui.Text(1096), u8"固件三号版");
            EXPECT_EQ(ui.CellText(1054, 0, 0), u8"<td>固件版本</td>");
        }
        ui.Screenshot("PageBytes_confirm_" + std::string(page.name) + "_" + lang);
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(ui.WaitUntil([&] { return ended == 1; }));

        // The log-in dialog, OK with the captured body kept.
        ended = 0;
        platform::ui::RunOnUiThread([&] {
            LoginFuncDlg dlg;
            dlg.SetRequest(captured);
            ended = dlg.DoModal();
            result = dlg.GetResult();
        });
        ASSERT_TRUE(ui.WaitUntil([&] { return !ui.Text(1116).empty(); }));
        ui.Settle(200);
        if (page.shownUser) {
            EXPECT_NE(ui.Text(1115).find(page.shownUser), std::string::npos) << ui.Text(1115);
            EXPECT_NE(ui.Text(1116).find(page.shownUser), std::string::npos) << ui.Text(1116);
        }
        ui.Screenshot("PageBytes_login_" + std::string(page.name) + "_" + lang);
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(ui.WaitUntil([&] { return ended == 1; }));
        model.functions.push_back(std::make_unique<FunctionRecord>());
        FunctionRecord& sent = *model.functions.back();
        sent.name = "setuser";
        sent.urls.Add(result.action);
        sent.methods.Add("POST");
        sent.postData.Add(result.postData);
        sent.headers.Add(result.headers);

        // The function editor: the step chosen, then added again from what its boxes hold.
        ended = 0;
        platform::ui::RunOnUiThread([&] { ended = CTCFGMngDlg(model, nullptr).DoModal(); });
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.IsShown(1010); }));
        ASSERT_TRUE(ui.Select(1010, 2));
        ASSERT_TRUE(ui.WaitUntil([&] { return !ui.Text(1116).empty(); }));
        if (page.shownUser) {
            EXPECT_NE(ui.Text(1116).find(page.shownUser), std::string::npos) << ui.Text(1116);
            EXPECT_EQ(ui.Items(1001).at(0), std::string("/form.cgi?u=") + page.shownUser);
        }
        ASSERT_TRUE(ui.Click(1007));
        ui.Screenshot("PageBytes_functions_" + std::string(page.name) + "_" + lang);
        ASSERT_TRUE(ui.Click(1020));
        ASSERT_TRUE(ui.WaitUntil([&] { return ended != 0; }));
    });

    ASSERT_TRUE(editor && editor->Model().Record());
    ASSERT_EQ(editor->Model().Record()->parameters.size(), 1u);
    model.parameters.push_back(std::make_unique<ParameterRecord>(*editor->Model().Record()->parameters[0]));
    const FunctionRecord& sent = *model.functions.back();
    ASSERT_EQ(sent.postData.GetSize(), 2);
    EXPECT_EQ(sent.postData[1].str(), body);
    EXPECT_EQ(sent.urls[1].str(), action);

    TempDir dir("page-bytes");
    auto group = std::make_unique<GroupRecord>();
    group->name = "127.0.0.1:255.0.0.0";
    group->ports.Add(std::to_string(modem.Port()).c_str());
    group->accounts.Add("tolva:tolva");
    group->terminalIds.Add(model.id);
    TemplateStore saving;
    saving.Terminals().push_back(std::make_unique<TerminalRecord>(std::move(model)));
    saving.Groups().push_back(std::move(group));
    const CString file = (dir / "Terminals.dat").string().c_str();
    ASSERT_EQ(saving.Save(file), 1);

    // The engine knows the modem by the stored version and sends the body as it was captured.
    TemplateStore engine;
    TerminalClient client(&engine);
    ASSERT_TRUE(client.IdentifyTerminal("127.0.0.1", file, 0))
        << "the stored version does not match the page";
    EXPECT_EQ(client.GetTerminalName(), "BYTES-1");
    // What the engine sends for the captured body itself, then for the stored one.
    auto sentBodies = [&](const char* function) {
        modem.Server().ClearRequests();
        EXPECT_EQ(client.RunFunction(function, CStringArray()), 1) << function;
        std::vector<std::string> bodies;
        for (const bench::WebRequest& request : modem.Server().Requests())
            if (request.path == "/form.cgi")
                bodies.push_back(request.target + "\n" + request.body);
        return bodies;
    };
    const std::vector<std::string> direct = sentBodies("direct");
    ASSERT_EQ(direct.size(), 1u);
    EXPECT_EQ(sentBodies("setuser"), std::vector<std::string>(2, direct[0]));
}

INSTANTIATE_TEST_SUITE_P(Pages, PageBytes,
                         ::testing::Combine(::testing::ValuesIn(kPages), ::testing::Values("cn", "en")),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param);
                         });

} // namespace
