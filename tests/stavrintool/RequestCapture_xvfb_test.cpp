// The capture dialogs as an operator meets them, in both languages, against a fake modem on
// loopback: a GBK log-in form captured in the function browser (and sent on to the modem),
// submitted by the page's script and by a real click, parameterised in the log-in dialog and
// replayed by the engine's client; an upload form inside a frame found by its focused file
// control and its submission captured without reaching the modem.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <thread>

#include "bench/FakeModem.h"
#include "platform/prompt/Prompt.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Application.h"
#include "platform/ui/WindowPrompts.h"
#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/capture/CaptureDlgs.h"
#include "stavrintool/editor/FunctionEditorModel.h"
#include "templates/TemplateStore.h"
#include "templates/TerminalClient.h"
#include "tests/stavrintool/ToolFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/UiTestDriver.h"

namespace {

using namespace testsupport;

struct Language {
    const char* name;
    const char* appTitle; // the boxes' caption
};
void PrintTo(const Language& language, std::ostream* out) {
    *out << language.name;
}
const Language kLanguages[] = {{"cn", "StavrinTool"}, {"en", "StavrinTool"}};

// "用户名" and "密码" in GBK, the preset credentials in the fields.
const char* const kLogonPage =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head><body>"
    "<form method=\"post\" action=\"/login.cgi\">\xD3\xC3\xBB\xA7\xC3\xFB<input id=\"user\" name=\"user\" "
    "value=\"tolva\">"
    "\xC3\xDC\xC2\xEB<input name=\"pass\" type=\"password\" value=\"tolva\">"
    "<input id=\"go\" type=\"submit\" value=\"OK\"></form></body></html>";
const char* const kFramePage = "<html><frameset rows=\"30%,70%\"><frame src=\"/top.html\"><frame "
                               "src=\"/upframe.html\"></frameset></html>";
const char* const kUploadForm =
    "<html><body><form method=\"post\" enctype=\"multipart/form-data\" action=\"/upgrade.cgi\">"
    "<input type=\"file\" name=\"fw\"><input type=\"submit\"></form></body></html>";

// The modem's model, shown on its status page, by which the engine's client knows it.
const char* const kModelName = "CAP-1";

TerminalRecord ModemModel() {
    TerminalRecord model = WebModemModel("20240600000001", kModelName);
    auto shown = std::make_unique<ParameterRecord>(ParameterRecord{
        "Model", "/status.htm", "TRUE", "FALSE", {{"<b>", "</b>"}}, {}, "AND", {{"EQUAL", kModelName, 0}}});
    model.parameters.push_back(std::move(shown));
    model.uploadFunctions.push_back(std::make_unique<UploadFunctionRecord>(
        UploadFunctionRecord{"upgradefirmware", "/upgrade.html", "/upgrade.cgi", "fw"}));
    return model;
}

class RequestCaptureWindows : public ::testing::TestWithParam<Language> {
protected:
    void SetUp() override {
        modem = std::make_unique<bench::FakeModem>(
            ModemModel(),
            bench::FakeModemConfig{
                bench::ModemLogin::FormCookie, "tolva", "tolva", {{"Model", kModelName}}, false});
        modem->Server().Route("GET", "/logon.html",
                              bench::WebResponse::Ok(kLogonPage, "text/html; charset=gb2312"));
        modem->Server().Route("GET", "/frames.html", bench::WebResponse::Ok(kFramePage));
        modem->Server().Route("GET", "/top.html", bench::WebResponse::Ok("<html><body>top</body></html>"));
        modem->Server().Route("GET", "/upframe.html", bench::WebResponse::Ok(kUploadForm));
        modem->Start();
        base = "http://127.0.0.1:" + std::to_string(modem->Port());
    }
    void TearDown() override {
        stavrin::SetToolStringSource({});
        capture::SetDefaultModemUrl(capture::kDefaultModemUrl);
    }

    bool UsePacks(UiTestDriver& ui) {
        if (!ui.UsePack(GetParam().name, "StavrinToolLocalize_"))
            return false;
        stavrin::SetToolStringSource(ui.Pack().StringLookup());
        return true;
    }

    // Runs the script in the page of the panel on the UI thread.
    template <class Dlg> CString Script(Dlg& dlg, const std::string& script) {
        return platform::ui::CallOnUiThreadFor([&] {
            CString result;
            dlg.Panel().Browser().RunScript(script.c_str(), &result);
            return result;
        });
    }

    // The box of that string answered with OK.
    bool AnswerBox(UiTestDriver& ui, unsigned id) {
        const std::string text = GbkToUtf8(stavrin::ToolString(id));
        const bool shown = ui.WaitUntil(
            [&] { return ui.ActiveCaption() == GetParam().appTitle && ui.BoxText() == text; }, 30000);
        EXPECT_TRUE(shown) << "box " << id << " not shown; the active window: " << ui.ActiveCaption() << ": "
                           << ui.BoxText();
        return shown && ui.ClickAnswer(platform::kIdOk);
    }

    std::unique_ptr<bench::FakeModem> modem;
    std::string base;
};

std::string Utf8(unsigned id) {
    return GbkToUtf8(stavrin::ToolString(id));
}

// How the log-in form goes: by the page's own script, or by a real click on its button.
enum class Submit { ByScript, ByClick };
struct Submission {
    const char* name;
    Submit how;
};
const Submission kSubmissions[] = {{"by script", Submit::ByScript}, {"by a real click", Submit::ByClick}};

// The centre of the page's element of that id in the page's pixels, "x,y", once the page finds
// the element there itself; "" before. From then on the page notes what the pointer last moved
// over.
std::string CentreScript(const std::string& id) {
    return "(function(){var e=document.getElementById('" + id +
           "');if(!e)return '';var r=e.getBoundingClientRect();"
           "var x=Math.round(r.left+r.width/2),y=Math.round(r.top+r.height/2);"
           "if(r.width<=0||document.elementFromPoint(x,y)!==e)return '';"
           "if(!window.pointerNoted){window.pointerNoted=true;window.pointerOver='';"
           "document.addEventListener('mousemove',function(m){window.pointerOver=m.target.id;},true);}"
           "return x+','+y;})()";
}

// The template in a file of its own, beside a group of the modem's port with those accounts.
bool SaveForModemPort(TerminalRecord terminal, int port, std::span<const char* const> accounts,
                      const CString& file) {
    auto group = std::make_unique<GroupRecord>();
    group->name = "127.0.0.1:255.0.0.0";
    group->ports.Add(std::to_string(port).c_str());
    for (const char* account : accounts)
        group->accounts.Add(account);
    group->terminalIds.Add(terminal.id);
    TemplateStore store;
    store.Terminals().push_back(std::make_unique<TerminalRecord>(std::move(terminal)));
    store.Groups().push_back(std::move(group));
    return store.Save(file) == 1;
}

// Tried in this order, and only the last is the modem's: a "login" that kept the captured values
// would get in with the first.
const char* const kReplayAccounts[] = {"nobody:tolva", "tolva:wrong", "tolva:tolva"};

// The "login" made of the parameterised capture as the function editor stores it, in a template
// file beside a group of the modem's port and the accounts; then the engine's client identifies
// the modem through that file, which it can only once logged in. The account it logged in with,
// "" when it did not identify the modem.
std::string IdentifyThroughCapturedLogin(const CapturedRequest& result, int port, const TempDir& dir) {
    TerminalRecord terminal = ModemModel();
    std::erase_if(terminal.functions, [](const auto& f) { return f->name == "login"; });
    FunctionEditorModel editor(terminal, platform::Prompts());
    editor.AddCapturedFunction("login", result);
    const CString file = (dir / "Terminals.dat").string().c_str();
    if (!SaveForModemPort(std::move(terminal), port, kReplayAccounts, file))
        return "";
    TemplateStore engine;
    TerminalClient client(&engine);
    if (!client.IdentifyTerminal("127.0.0.1", file, 0) || client.GetTerminalName() != kModelName)
        return "";
    return client.GetAccount().str();
}

TEST_P(RequestCaptureWindows, LogInFormIsCapturedSentOnAndParameterised) {
    UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(UsePacks(ui));
    platform::ui::WindowPrompts prompts;
    platform::ScopedPromptService usePrompts{prompts};
    capture::SetDefaultModemUrl((base + "/logon.html").c_str());
    const std::string lang = GetParam().name;

    // A real click on the page's element of that id: its place in the page mapped through the
    // panel's on the screen; pressed once the page has seen the pointer over it.
    auto clickInPage = [&](FuncBrowserDlg& browser, const std::string& id) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int x = -1, y = -1;
        for (int nudge = 0; std::chrono::steady_clock::now() < deadline; ++nudge) {
            int pageX = 0, pageY = 0;
            if (std::sscanf(Script(browser, CentreScript(id)).str().c_str(), "%d,%d", &pageX, &pageY) != 2) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            const platform::ui::Rect panel =
                platform::ui::CallOnUiThreadFor([&] { return browser.Panel().GetWindowRect(); });
            // A pixel aside on every other try: the pointer moves, so the page hears of it.
            x = panel.left + pageX + nudge % 2;
            y = panel.top + pageY;
            ui.MoveTo(x, y);
            if (ui.WaitUntil([&] { return Script(browser, "window.pointerOver").str() == id; }, 1000))
                break;
            x = -1;
        }
        ASSERT_GE(x, 0) << "the page never saw the pointer over " << id;
        ui.ClickAt(x, y);
    };

    // Outside the script: a dialog a failed check leaves open ends after it.
    std::unique_ptr<FuncBrowserDlg> browser;
    std::unique_ptr<LoginFuncDlg> login;
    std::unique_ptr<FunctionDlg> confirm;
    std::atomic<int> browserEnd{-100}, loginEnd{-100}, confirmEnd{-100};
    ui.Run([&] {
        CapturedRequest captured;
        for (const Submission& submission : kSubmissions) {
            SCOPED_TRACE(submission.name);
            const int loginsBefore = modem->Logins();
            browserEnd = -100;
            platform::ui::RunOnUiThread([&] {
                browser = std::make_unique<FuncBrowserDlg>();
                browser->SetFunctionKind(0);
                browserEnd = browser->DoModal();
            });
            const std::string caption = Utf8(stavrin::kIdsCaptureCaption) + "login";
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == caption; }, 30000))
                << ui.ActiveCaption();
            ASSERT_TRUE(
                ui.WaitUntil([&] { return ui.Text(FuncBrowserDlg::IDC_URL) == base + "/logon.html"; }, 30000))
                << ui.Text(FuncBrowserDlg::IDC_URL);
            ASSERT_TRUE(
                ui.WaitUntil([&] { return Script(*browser, "document.forms.length").str() == "1"; }, 30000));
            if (submission.how == Submit::ByScript)
                ui.Screenshot("RequestCapture_FuncBrowserDlg_" + lang);

            if (submission.how == Submit::ByClick) {
                // As an operator goes: into the form first, so that the page holds the keyboard
                // focus when the check box is clicked.
                clickInPage(*browser, "user");
                if (HasFatalFailure())
                    return;
                ASSERT_TRUE(ui.WaitUntil(
                    [&] { return Script(*browser, "document.activeElement.id").str() == "user"; }));
            }
            ASSERT_TRUE(ui.Click(FuncBrowserDlg::IDC_CAPTURE));
            ASSERT_TRUE(ui.IsChecked(FuncBrowserDlg::IDC_CAPTURE));
            if (submission.how == Submit::ByScript)
                Script(*browser, "document.getElementById('go').click(); 1");
            else
                clickInPage(*browser, "go");
            if (HasFatalFailure())
                return;
            ASSERT_TRUE(AnswerBox(ui, stavrin::kIdsRequestCaptured));
            ASSERT_TRUE(ui.WaitUntil([&] { return browserEnd.load() != -100; }, 30000));
            EXPECT_EQ(browserEnd.load(), 1);
            // Sent on: the modem took the log-in.
            EXPECT_TRUE(ui.WaitUntil([&] { return modem->Logins() == loginsBefore + 1; }, 30000));

            captured = platform::ui::CallOnUiThreadFor([&] {
                CapturedRequest request = browser->GetCapturedRequest();
                browser.reset();
                return request;
            });
            EXPECT_EQ(captured.action, "/login.cgi");
            EXPECT_EQ(captured.postData, "user=tolva&pass=tolva");
            EXPECT_TRUE(captured.isPost);
        }

        platform::ui::RunOnUiThread([&] {
            login = std::make_unique<LoginFuncDlg>();
            login->SetRequest(captured);
            loginEnd = login->DoModal();
        });
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.HasActiveWindow() && ui.Text(1116) != ""; }, 30000));
        EXPECT_EQ(ui.Text(LoginFuncDlg::IDC_USER), "tolva");
        EXPECT_EQ(ui.Text(1115), "user=tolva&pass=tolva");
        EXPECT_EQ(ui.Text(1116), "user=<username>&pass=<userpassword>");
        EXPECT_TRUE(ui.IsChecked(LoginFuncDlg::IDC_POST));
        EXPECT_TRUE(ui.IsEnabled(LoginFuncDlg::IDC_GET));
        ui.Screenshot("RequestCapture_LoginFuncDlg_" + lang);
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(ui.WaitUntil([&] { return loginEnd.load() != -100; }));
        EXPECT_EQ(loginEnd.load(), 1);
        const CapturedRequest result = platform::ui::CallOnUiThreadFor([&] { return login->GetResult(); });
        EXPECT_EQ(result.postData, "user=<username>&pass=<userpassword>");
        EXPECT_TRUE(result.isPost);

        platform::ui::RunOnUiThread([&] {
            confirm = std::make_unique<FunctionDlg>();
            confirm->SetRequest(captured);
            confirmEnd = confirm->DoModal();
        });
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.HasActiveWindow() && ui.Text(1112) == "POST"; }, 30000));
        EXPECT_EQ(ui.Text(1012), "/login.cgi");
        ui.Screenshot("RequestCapture_FunctionDlg_" + lang);
        ASSERT_TRUE(ui.Click(2));
        ASSERT_TRUE(ui.WaitUntil([&] { return confirmEnd.load() == 2; }));
        platform::ui::CallOnUiThreadFor([&] {
            login.reset();
            confirm.reset();
            return 0;
        });

        // Replayed: the stored "login" logs the engine's client in with each account's values in
        // turn, refused until the modem's own.
        const int logins = modem->Logins();
        TempDir dir("capture-replay");
        EXPECT_EQ(IdentifyThroughCapturedLogin(result, modem->Port(), dir), "tolva:tolva");
        EXPECT_EQ(modem->Logins(), logins + 1);
        EXPECT_EQ(modem->FailedLogins(), 2);
    });
}

TEST_P(RequestCaptureWindows, UploadInAFrameIsCapturedWithoutReachingTheModem) {
    UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(UsePacks(ui));
    platform::ui::WindowPrompts prompts;
    platform::ScopedPromptService usePrompts{prompts};
    capture::SetDefaultModemUrl((base + "/frames.html").c_str());
    const std::string lang = GetParam().name;

    std::unique_ptr<UpgradeBrowserDlg> browser;
    std::atomic<int> browserEnd{-100};
    ui.Run([&] {
        platform::ui::RunOnUiThread([&] {
            browser = std::make_unique<UpgradeBrowserDlg>();
            browserEnd = browser->DoModal();
        });
        ASSERT_TRUE(
            ui.WaitUntil([&] { return ui.Text(UpgradeBrowserDlg::IDC_URL) == base + "/frames.html"; }, 30000))
            << ui.Text(UpgradeBrowserDlg::IDC_URL);
        EXPECT_FALSE(ui.IsShown(UpgradeBrowserDlg::IDC_CAPTURE));
        // Nothing focused yet: the boxes stay empty and the dialog usable.
        platform::ui::CallOnUiThreadFor([&] { return browser->Panel().FindFileControl(); });
        EXPECT_EQ(ui.Text(UpgradeBrowserDlg::IDC_CONTROL), "");
        EXPECT_FALSE(ui.IsShown(UpgradeBrowserDlg::IDC_CAPTURE));

        const char* focus = "(function(){var f=window.frames[1];var d=f&&f.document;var "
                            "i=d&&d.querySelector('input[type=file]');"
                            "if(!i)return '';i.focus();return d.activeElement===i?'1':'';})()";
        ASSERT_TRUE(ui.WaitUntil([&] { return Script(*browser, focus).str() == "1"; }, 30000));
        // The button's own action: a real click on a wx button is not delivered once the page
        // has taken the focus by script.
        platform::ui::RunOnUiThread([&] { browser->FindFileControl(); });
        ASSERT_TRUE(AnswerBox(ui, stavrin::kIdsFileControlFound));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.Text(UpgradeBrowserDlg::IDC_CONTROL) == "fw"; }));
        EXPECT_EQ(ui.Text(UpgradeBrowserDlg::IDC_PAGE), "/upframe.html");
        EXPECT_TRUE(ui.IsShown(UpgradeBrowserDlg::IDC_CAPTURE));
        EXPECT_TRUE(ui.IsChecked(UpgradeBrowserDlg::IDC_CAPTURE));
        ui.Screenshot("RequestCapture_UpgradeBrowserDlg_" + lang);

        // Submitted once the script has returned: the frame's document goes with the submission.
        Script(*browser, "setTimeout(function () { window.frames[1].document.forms[0].submit(); }, 0); 1");
        ASSERT_TRUE(AnswerBox(ui, stavrin::kIdsRequestCaptured));
        ASSERT_TRUE(ui.WaitUntil([&] { return browserEnd.load() != -100; }, 30000));
        EXPECT_EQ(browserEnd.load(), 1);
        FunctionCapture::Upload upload;
        platform::ui::CallOnUiThreadFor([&] {
            EXPECT_EQ(browser->GetTargetAction(), "/upgrade.cgi");
            EXPECT_TRUE(browser->BodyNamesFileControl());
            upload = {FunctionCapture::Upload::kCaptured, browser->GetUploadPage(),
                      browser->GetTargetAction(), browser->GetFileControlName(),
                      browser->BodyNamesFileControl()};
            browser.reset();
            return 0;
        });
        EXPECT_TRUE(modem->Uploads().empty());

        // The editor stores it as the template's "upgradefirmware" in place of the old one, the
        // template file keeps it, and a terminal client uploads a firmware file with it.
        TerminalRecord stored = ModemModel();
        stored.uploadFunctions.clear();
        stored.uploadFunctions.push_back(std::make_unique<UploadFunctionRecord>(
            UploadFunctionRecord{"upgradefirmware", "/old.html", "/old.cgi", "old"}));
        FunctionEditorModel editor(stored, prompts);
        editor.AddCapturedUpload(upload);
        ASSERT_EQ(stored.uploadFunctions.size(), 1u);
        EXPECT_EQ(stored.uploadFunctions[0]->action, "/upgrade.cgi");

        TempDir dir("request-capture");
        const char* const accounts[] = {"tolva:tolva"};
        ASSERT_TRUE(SaveForModemPort(std::move(stored), modem->Port(), accounts,
                                     (dir / "Terminals.dat").string().c_str()));
        TemplateStore store;
        ASSERT_EQ(store.Load((dir / "Terminals.dat").string().c_str()), 1);
        // Zero bytes and every other byte value, as a firmware image has them.
        std::string firmware;
        for (int i = 0; i < 3000; ++i)
            firmware += char(i * 7 % 256);
        WriteFileBytes(dir / "fw.bin", firmware);
        std::string received;
        modem->SetUploadHook([&](const std::string& body) { received = body; });
        TerminalClient client(&store);
        ASSERT_EQ(client.FindDevice("127.0.0.1"), 1);
        ASSERT_EQ(client.RunUploadFunction("upgradefirmware", (dir / "fw.bin").string().c_str()), 1);
        ASSERT_EQ(modem->Uploads().size(), 1u);
        EXPECT_NE(received.find("name=\"fw\""), std::string::npos);
        EXPECT_NE(received.find(firmware), std::string::npos)
            << "the firmware's bytes did not reach the modem whole";
        modem->SetUploadHook({});
    });
}

INSTANTIATE_TEST_SUITE_P(Languages, RequestCaptureWindows, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
