// The main window on the simulated bench over telnet: real keys start the standard test and
// stop a burn-in, a double click opens a port's result, F11 opens the upgrade chooser.

#include <gtest/gtest.h>

#include <memory>

#include "bench/FakeTelnetSwitch.h"
#include "bench/SimulatedBench.h"
#include "corvay/app/CorvayPrompts.h"
#include "corvay/firmware/CChoseVersionDlg.h"
#include "corvay/view/CorvayViewBinding.h"
#include "engine/config/Configer.h"
#include "engine/log/StringTable.h"
#include "engine/ping/PingFrames.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Application.h"
#include "platform/ui/WindowPrompts.h"
#include "tests/corvay/view/ViewFrame.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PackText.h"
#include "tests/support/UiTestDriver.h"

namespace {

using platform::ui::CallOnUiThread;
using platform::ui::CallOnUiThreadFor;

using testsupport::Utf8;

class CorvayViewBench : public testsupport::NetnsTest {
protected:
    // The bench built with short waits, the program's directory and registry on it, and this
    // thread, where the window, the view and its jobs live, in the PC's namespace.
    void Enter(bench::SimulatedBenchConfig config) {
        config.rebootMs = 400;
        config.waitModemConnectMs = 3000;
        sim = std::make_unique<bench::SimulatedBench>(config);
        sim->Build();
        platform::SetProgramDirectory((sim->Directory() + "/").c_str());
        platform::SetRegistryRoot((sim->Directory() + "/registry").c_str());
        ASSERT_TRUE(bench::EnterNamespace(sim->Pc()));
        Configer::GetInstance();
        SwitchManager2::DeleteInstance();
    }
    // The program's singletons go before the bench does.
    void TearDown() override {
        SwitchManager2::DeleteInstance();
        Configer::DeleteInstance();
    }
    std::unique_ptr<bench::SimulatedBench> sim;
};

TEST_F(CorvayViewBench, KeysRunAndStopTestsWithLiveRows) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    bench::SimulatedBenchConfig config;
    config.modems.assign(2, {});
    config.standTestPeriodMs = 3000;
    config.longPingTestPeriodMs = 60000;
    ASSERT_NO_FATAL_FAILURE(Enter(config));
    CCorvayView::Options options;
    options.timeScale = 10;
    platform::ui::Frame frame;
    CorvayViewBinding binding(frame, options);
    platform::ui::WindowPrompts prompts;
    ui.Run([&] {
        platform::SetPromptService(&prompts);
        ASSERT_TRUE(CallOnUiThreadFor([&] { return OpenViewFrame(frame, binding); }));
        ui.Settle(200);
        CallOnUiThread([&] { binding.View().OnInitialUpdate(); });
        auto& list = binding.List();
        ASSERT_EQ(CallOnUiThreadFor([&] { return list.GetItemCount(); }), sim->PortCount() - 1);

        // F3: the standard test, its phases in the title, to its end.
        ui.Key(0x72);
        const std::string title = "Corvay-" + Utf8(37);
        ASSERT_TRUE(
            ui.WaitUntil([&] { return ui.ActiveCaption().rfind(Utf8(46)) != std::string::npos; }, 10000))
            << ui.ActiveCaption();
        ui.Screenshot("CorvayView_bench_waiting");
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == title + ":" + Utf8(40); }, 15000))
            << ui.ActiveCaption();
        ASSERT_TRUE(ui.WaitUntil(
            [&] { return !CallOnUiThreadFor([&] { return list.GetItemText(0, 1); }).IsEmpty(); }, 30000));
        ui.Screenshot("CorvayView_bench_testing");
        ASSERT_TRUE(ui.WaitUntil([&] { return !IsTestingFlagSet(); }, 60000));
        ui.Settle(300);
        ui.Screenshot("CorvayView_bench_finished");
        EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk)) << ui.BoxText();
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == title; }, 30000))
            << ui.ActiveCaption() << " / " << ui.BoxText();
        EXPECT_EQ(CallOnUiThreadFor([&] { return list.GetItemImage(0); }), 5);
        EXPECT_EQ(GbkToUtf8(CallOnUiThreadFor([&] { return list.GetItemText(0, 2); })), Utf8(28));

        // A double click opens that port's result.
        platform::ui::Rect row = CallOnUiThreadFor([&] { return list.GetItemRect(1); });
        ui.ClickAt(row.left + 20, (row.top + row.bottom) / 2, 1, true);
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == u8"测试结果"; })) << ui.ActiveCaption();
        EXPECT_EQ(ui.Text(1019), "2");
        ui.Screenshot("CorvayView_bench_result");
        ASSERT_TRUE(ui.Click(2));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == title; }));

        // F5 then F10 in the ping phase: stopped by the user, every port enabled again.
        ui.Key(0x74);
        ASSERT_TRUE(
            ui.WaitUntil([&] { return binding.View().GetTestInfo(1)->Get().Ping.State == 1; }, 30000));
        ui.Settle(500);
        ui.Key(0x79);
        ASSERT_TRUE(ui.WaitUntil([&] { return !IsTestingFlagSet(); }, 40000));
        ui.Settle(300);
        ui.Screenshot("CorvayView_bench_stopped");
        EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk));
        for (int p = 1; p <= sim->PortCount(); ++p)
            EXPECT_TRUE(sim->TelnetSwitch().GetSwitchPort(p).enabled) << p;
        EXPECT_EQ(binding.View().GetTestInfo(1)->Get().EndState, 1);

        // F12 on the second row: only its port on, the factory address answers, its pages open.
        CallOnUiThread([&] { list.SetSelectedItem(1); });
        ui.Key(0x7B);
        ASSERT_TRUE(
            ui.WaitUntil([&] { return ui.ActiveCaption() == "Modem Web Admin-http://192.168.1.1"; }, 20000))
            << ui.ActiveCaption();
        EXPECT_FALSE(sim->TelnetSwitch().GetSwitchPort(1).enabled);
        EXPECT_TRUE(sim->TelnetSwitch().GetSwitchPort(2).enabled);
        ui.Settle(3000);
        ui.Screenshot("CorvayView_bench_web");
        ui.Key(27);
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "Corvay-" + Utf8(38); }))
            << ui.ActiveCaption();
        for (int p = 1; p <= sim->PortCount(); ++p)
            EXPECT_TRUE(sim->TelnetSwitch().GetSwitchPort(p).enabled) << p;
        platform::SetPromptService(nullptr);
    });
}

// The upgrade job through the program's own prompt service: two matching rules open the
// chooser with each version and its file, and the modem comes back with the one chosen.
TEST_F(CorvayViewBench, UpgradeChooserOpensAndTheChosenVersionIsFlashed) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    bench::SimulatedBenchConfig config;
    config.modems.assign(1, {});
    config.rules = {{"V1.0", "V2.0"}, {"V1.0", "V3.0"}};
    config.autoUpgrade = true;
    ASSERT_NO_FATAL_FAILURE(Enter(config));
    CCorvayView::Options options;
    options.timeScale = 10;
    platform::ui::Frame frame;
    CorvayViewBinding binding(frame, options);
    CorvayPrompts prompts;
    ui.Run([&] {
        platform::SetPromptService(&prompts);
        ASSERT_TRUE(CallOnUiThreadFor([&] { return OpenViewFrame(frame, binding); }));
        ui.Settle(200);
        CallOnUiThread([&] { binding.View().OnInitialUpdate(); });
        // F11: the upgrade job.
        ui.Key(0x7A);
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == u8"请选择一个升级版本"; }, 30000))
            << ui.ActiveCaption();
        EXPECT_EQ(ui.Text(CChoseVersionDlg::IDC_CURRENT_VERSION), "V1.0");
        ASSERT_EQ(ui.RowCount(CChoseVersionDlg::IDC_LIST), 2);
        for (int row = 0; row < 2; ++row) {
            const std::string version = row == 0 ? "V2.0" : "V3.0";
            EXPECT_EQ(ui.CellText(CChoseVersionDlg::IDC_LIST, row, 0), std::to_string(row + 1));
            EXPECT_EQ(ui.CellText(CChoseVersionDlg::IDC_LIST, row, 1), version);
            EXPECT_EQ(ui.CellText(CChoseVersionDlg::IDC_LIST, row, 2),
                      sim->Directory() + "/firmware/" + version + ".bin");
        }
        // The second row, chosen with the keys.
        ui.Click(CChoseVersionDlg::IDC_LIST);
        ui.Key(317);
        ui.Key(317);
        ui.Screenshot("CorvayView_bench_chooser");
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(ui.WaitUntil([&] { return !IsTestingFlagSet(); }, 60000));
        ui.Settle(300);
        EXPECT_TRUE(ui.ClickAnswer(platform::kIdOk));
        EXPECT_EQ(sim->Uploads(1), 1);
        const TestInfo::Data d = binding.View().GetTestInfo(1)->Get();
        EXPECT_EQ(d.Modem.FirmwareVersion, "V3.0");
        EXPECT_EQ(d.Modem.Status, 1);
        EXPECT_EQ(GbkToUtf8(CallOnUiThreadFor([&] { return binding.List().GetItemText(0, 2); })),
                  u8"升级成功");
        platform::SetPromptService(nullptr);
    });
}

} // namespace
