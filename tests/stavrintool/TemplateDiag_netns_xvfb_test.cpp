// The test dialog as an operator meets it, in both languages: the tool started on a saved
// file whose group names a fake modem at its factory address behind the PC's card, the dialog
// opened from the main dialog's "验证", a discovery through real clicks that finds the modem
// through a temporary address and lists its parameters, a function run that reaches it, and
// the tool closed, which removes the address. The tool runs in a child process inside the
// PC's namespace, with its X server there too.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <unistd.h>

#include "platform/net/Daemon.h"
#include "platform/net/Netlink.h"
#include "platform/prompt/Prompt.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Application.h"
#include "platform/ui/WindowPrompts.h"
#include "stavrintool/main/CStavrinDlg.h"
#include "tests/stavrintool/DiagFixture.h"
#include "tests/stavrintool/ToolFixture.h"
#include "tests/stavrintool/ToolWindow.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/UiTestDriver.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

struct Language {
    const char* name;
    const char* main; // captions, UTF-8
    const char* diag;
};

// Every control of the test dialog.
const int kControls[] = {1, 1010, 1098, 1003, 1004, 1005, 1006, 1099, 1100, 1013, 1071, 1018, 1017};

// The PC's addresses in the factory network.
int FactoryAddresses() {
    platform::Netlink netlink;
    std::vector<platform::Ipv4Address> rows;
    EXPECT_TRUE(netlink.ListAddresses(rows));
    return static_cast<int>(std::count_if(rows.begin(), rows.end(), [](const auto& row) {
        return platform::FormatIpv4(row.address).rfind("203.0.113.", 0) == 0;
    }));
}

// The test dialog's control of that number clicked where it is on the screen (the main dialog
// is the modal one, where the driver's clicks by number go); its output's line count.
struct DiagControls {
    UiTestDriver& ui;
    ToolWindow& tool;
    template <class F> auto OnDiag(F&& task) {
        return tool.OnDialog([&](CStavrinDlg& d) { return task(d.DiagDlg()); });
    }
    void Click(int id) {
        const auto [frame, control] =
            OnDiag([id](TemplateDiagDlg& d) { return std::pair(d.GetWindowRect(), d.Item(id).GetRect()); });
        ui.ClickAt(frame.left + control.left + control.Width() / 2,
                   frame.top + control.top + control.Height() / 2);
    }
    int OutputLines() {
        return OnDiag([](TemplateDiagDlg& d) { return d.Item(1010).GetCount(); });
    }
};

// The PC's card lan0 (192.0.2.1/24) with the fake modem at 203.0.113.1 behind it, the tool's
// directory with its packs, a saved file whose group names the modem and the language's
// Config.ini; the script runs with the tool in a child process inside the PC's namespace, the
// fake modem's calls handed back afterwards.
class DiagBench : public NetnsTest {
protected:
    void RunTool(const char* language,
                 const std::function<void(UiTestDriver&, ToolWindow&, DiagControls&)>& script,
                 const std::function<void(DiagModem&)>& after = nullptr) {
        NetNamespace& pc = AddNamespace();
        NetNamespace& modemNs = AddNamespace();
        AddVethPair(pc, "lan0", modemNs, "m0");
        pc.Ip("addr add 192.0.2.1/24 dev lan0");
        modemNs.Ip("addr add 203.0.113.1/24 dev m0");
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            ::unsetenv(name);
        RunInChild(
            pc,
            [&] {
                UiTestDriver ui;
                SKIP_WITHOUT_DISPLAY(ui);
                DiagModem fake;
                RunInside(modemNs, [&] { fake.modem->Start("203.0.113.1"); });
                TempDir dir("diag-window");
                for (const char* pack : {"StavrinToolLocalize_cn.so", "StavrinToolLocalize_en.so"})
                    fs::create_symlink(BuildProgramDir() / pack, dir / pack);
                WriteDiagTerminals(dir / "Terminals.dat", "203.0.113.1:255.255.255.0", fake.modem->Port());
                WriteFileBytes(dir / "Config.ini", std::string("[System]\r\nLanguage=") + language + "\r\n");
                ProgramDirScope programDir(dir.path());
                platform::ui::WindowPrompts prompts;
                platform::ScopedPromptService usePrompts(prompts);
                ToolWindow tool(dir.path());
                DiagControls diag{ui, tool};
                script(ui, tool, diag);
                if (after)
                    after(fake);
            },
            240);
    }
};

class TemplateDiagWindow : public DiagBench, public ::testing::WithParamInterface<Language> {};

TEST_P(TemplateDiagWindow, DiscoversTheBenchModemAndRunsAFunction) {
    const Language lang = GetParam();
    RunTool(
        lang.name,
        [&](UiTestDriver& ui, ToolWindow& tool, DiagControls& diag) {
            const std::string shot = std::string("TemplateDiag_") + lang.name;
            auto onDiag = [&](auto task) { return diag.OnDiag(task); };
            auto clickDiag = [&](int id) { diag.Click(id); };
            auto outputLines = [&] { return diag.OutputLines(); };

            ui.Run([&] {
                tool.Start();
                ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == lang.main; }))
                    << ui.ActiveCaption();
                ASSERT_TRUE(ui.Click(1097));
                ASSERT_TRUE(ui.WaitUntil(
                    [&] { return onDiag([](TemplateDiagDlg& d) { return d.IsWindowVisible(); }); }));
                ui.Settle(300);
                for (int id : kControls)
                    EXPECT_TRUE(onDiag([id](TemplateDiagDlg& d) { return d.Item(id).IsVisible(); })) << id;
                // Before any identification only the discovery, the output and the upload's
                // list, path and chooser are live.
                for (int id : {1003, 1004, 1005, 1006, 1099, 1100, 1017})
                    EXPECT_FALSE(onDiag([id](TemplateDiagDlg& d) { return d.Item(id).IsEnabled(); })) << id;
                for (int id : {1, 1010, 1098, 1013, 1071, 1018})
                    EXPECT_TRUE(onDiag([id](TemplateDiagDlg& d) { return d.Item(id).IsEnabled(); })) << id;
                ui.Screenshot(shot + "_start");

                // The discovery runs behind the window: its buttons are off until it ends.
                clickDiag(1);
                EXPECT_TRUE(ui.WaitUntil(
                    [&] { return !onDiag([](TemplateDiagDlg& d) { return d.Item(1).IsEnabled(); }); }, 2000));
                ASSERT_TRUE(ui.WaitUntil([&] { return outputLines() == 10; }, 60000)) << outputLines();
                ASSERT_TRUE(ui.WaitUntil(
                    [&] { return onDiag([](TemplateDiagDlg& d) { return d.Item(1).IsEnabled(); }); }));
                const std::vector<std::string> expected = DiagLines();
                for (int i = 0; i < 10; ++i)
                    EXPECT_EQ(onDiag([i](TemplateDiagDlg& d) { return d.Item(1010).GetItemText(i); }).str(),
                              expected[static_cast<size_t>(i)]);
                EXPECT_EQ(onDiag([](TemplateDiagDlg& d) { return d.Item(1003).GetCount(); }), 3);
                EXPECT_EQ(onDiag([](TemplateDiagDlg& d) { return d.Item(1013).GetCount(); }), 1);
                EXPECT_TRUE(onDiag([](TemplateDiagDlg& d) { return d.Item(1100).IsEnabled(); }));
                EXPECT_EQ(FactoryAddresses(), 1);
                ui.Settle(300);
                ui.Screenshot(shot + "_found");

                // "reboot" run: the box says it ran.
                onDiag([](TemplateDiagDlg& d) { return d.Item(1003).SetCurSel(1), 0; });
                clickDiag(1100);
                ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "StavrinTool"; }, 30000))
                    << ui.ActiveCaption();
                ui.Settle(300);
                ui.Screenshot(shot + "_ran");
                ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
                ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == lang.main; }))
                    << ui.ActiveCaption();

                // Closing the tool removes the address.
                onDiag([](TemplateDiagDlg& d) { return d.ShowWindow(false), 0; });
                ASSERT_TRUE(ui.Click(2));
                ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "StavrinTool"; }));
                ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
                EXPECT_TRUE(ui.WaitUntil([&] { return tool.ended.load(); }));
            });
        },
        [](DiagModem& fake) {
            const std::vector<std::string> calls = fake.modem->FunctionCalls();
            EXPECT_NE(std::find(calls.begin(), calls.end(), "POST /reboot.cgi"), calls.end());
            EXPECT_EQ(FactoryAddresses(), 0);
        });
}

INSTANTIATE_TEST_SUITE_P(
    TemplateDiag, TemplateDiagWindow,
    ::testing::Values(Language{"cn", u8"Tellvane Modem模板管理工具 V3.0", u8"Tellvane 模板测试工具"},
                      Language{"en", "Tellvane Modem Template Manager V3.0", "Tellvane Template Test"}),
    [](const auto& info) { return std::string(info.param.name); });

// SIGTERM while the dialog holds the temporary address of its identification: the tool ends as
// its close does, without its quit question, and the address goes with it.
using TemplateDiagSignal = DiagBench;

TEST_F(TemplateDiagSignal, SigtermRemovesTheTemporaryAddressBeforeTheToolEnds) {
    RunTool("cn", [&](UiTestDriver& ui, ToolWindow& tool, DiagControls& diag) {
        platform::ui::Application::EndOnSignals();
        ui.Run([&] {
            tool.Start();
            ASSERT_TRUE(ui.WaitUntil([&] {
                return ui.ActiveCaption() == u8"Tellvane Modem模板管理工具 V3.0";
            })) << ui.ActiveCaption();
            ASSERT_TRUE(ui.Click(1097));
            ASSERT_TRUE(ui.WaitUntil(
                [&] { return diag.OnDiag([](TemplateDiagDlg& d) { return d.IsWindowVisible(); }); }));
            ui.Settle(300);
            diag.Click(1);
            ASSERT_TRUE(ui.WaitUntil([&] { return diag.OutputLines() == 10; }, 60000)) << diag.OutputLines();
            ASSERT_EQ(FactoryAddresses(), 1);
            ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
            EXPECT_TRUE(platform::PollUntil([&] { return tool.ended.load(); }, std::chrono::seconds(60)))
                << ui.ActiveCaption();
            EXPECT_EQ(FactoryAddresses(), 0);
        });
    });
}

} // namespace
