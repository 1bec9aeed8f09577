// The tool on the simulated bench's own program directory: the bench's template unbound from
// its group, a copy of it bound in its place and the file saved through real clicks; then
// corvay-headless in the PC's namespace recognises the modem through the saved file.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "bench/NetNamespace.h"
#include "bench/SimulatedBench.h"
#include "platform/prompt/Prompt.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Application.h"
#include "platform/ui/WindowPrompts.h"
#include "stavrintool/app/CStavrinApp.h"
#include "stavrintool/main/CStavrinDlg.h"
#include "templates/TemplateStore.h"
#include "tests/stavrintool/ToolFixture.h"
#include "tests/stavrintool/ToolWindow.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/UiTestDriver.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

using StavrinAppBench = NetnsTest;

TEST_F(StavrinAppBench, StavrinAppSavedFileStillRecognisesTheBenchModem) {
    UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    bench::SimulatedBenchConfig config;
    config.modems = std::vector<bench::BenchModemSpec>(1);
    config.waitModemConnectMs = 20000;
    config.standTestPeriodMs = 2000;
    auto simulated = std::make_unique<bench::SimulatedBench>(config);
    simulated->Build();
    const fs::path dir = simulated->Directory();
    for (const char* pack : {"StavrinToolLocalize_cn.so", "StavrinToolLocalize_en.so"})
        fs::create_symlink(BuildProgramDir() / pack, dir / pack);

    std::string model;
    {
        ProgramDirScope programDir(dir);
        platform::ui::WindowPrompts prompts;
        platform::ScopedPromptService usePrompts(prompts);
        ToolWindow tool(dir);
        ui.Run([&] {
            tool.Start();
            const std::string caption = u8"Tellvane Modem模板管理工具 V3.0";
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == caption; })) << ui.ActiveCaption();
            ASSERT_EQ(tool.OnDialog([](CStavrinDlg& d) { return d.Item(1020).GetCount(); }), 1);
            model = tool.OnDialog([](CStavrinDlg& d) { return d.Item(1020).GetItemText(0); }).str();
            ASSERT_TRUE(ui.Select(1020, 0));
            ASSERT_TRUE(ui.Click(1023));
            ASSERT_TRUE(ui.Select(1022, 0));
            ASSERT_TRUE(ui.Click(1021));
            ASSERT_TRUE(ui.Click(1024));
            ui.Settle();
            EXPECT_EQ(tool.OnDialog([](CStavrinDlg& d) { return d.Item(1020).GetItemText(0); }),
                      model + " `copy");
            ui.Screenshot("StavrinApp_bench_bound");
            ASSERT_TRUE(ui.Click(1));
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "StavrinTool"; }));
            ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == caption; }));
            ASSERT_TRUE(ui.Click(2));
            ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "StavrinTool"; }));
            ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
            EXPECT_TRUE(ui.WaitUntil([&] { return tool.ended.load(); }));
        });
    }
    ASSERT_FALSE(model.empty());

    // The file reads back with the copy alone bound to the group.
    TemplateStore saved;
    ASSERT_TRUE(saved.Load((dir / "Terminals.dat").string().c_str()));
    ASSERT_EQ(saved.Terminals().size(), 2u);
    ASSERT_EQ(saved.Groups().size(), 1u);
    ASSERT_EQ(saved.Groups()[0]->terminalIds.GetSize(), 1);
    EXPECT_EQ(saved.Groups()[0]->terminalIds[0], saved.Terminals()[1]->id);

    // corvay-headless finds the modem by the copy's name.
    const char* binary = std::getenv("CORVAY_BINARY_DIR");
    const std::string command = "ip netns exec " + simulated->Pc().Name() + " " +
                                std::string(binary ? binary : ".") + "/bin/corvay-headless --mode 0 --dir " +
                                dir.string() + " --time-scale 100 2>&1";
    std::string output;
    ASSERT_EQ(bench::RunCommandLine(command, &output), 0) << output;
    EXPECT_NE(output.find("port 1\t" + GbkToUtf8(CString((model + " `copy").c_str())) + "\t"),
              std::string::npos)
        << output;
}

} // namespace

namespace {

// The programs themselves, in the bench PC's namespace with a lock directory of their own.
TEST_F(StavrinAppBench, StavrinAppSecondProgramSaysSoBesideTheFirstAndCorvay) {
    if (std::system("command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v "
                    "import >/dev/null") != 0)
        GTEST_SKIP() << "Xvfb, xdotool or ImageMagick missing";
    const char* source = std::getenv("CORVAY_SOURCE_DIR");
    const char* binary = std::getenv("CORVAY_BINARY_DIR");
    ASSERT_TRUE(source && binary);
    const fs::path build(binary);
    const fs::path dir = build / "stavrin-instances";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::create_directories(build / "screenshots");
    const std::string script =
        (fs::path(source) / "tests/stavrintool/fixtures/tool-beside-corvay.sh").string();
    const std::string command = "env -u DISPLAY timeout 480 unshare --mount --propagation private sh -c "
                                "'mount -t tmpfs stavrin-lock /run/lock && exec \"$0\" \"$@\"' '" +
                                (build / "bin/corvay-bench").string() + "' --modems 1 --dir '" +
                                dir.string() + "' -- '" + script + "' {dir} '" + build.string() + "' 2>&1";
    std::string output;
    EXPECT_EQ(bench::RunCommandLine(command, &output), 0) << output;
    EXPECT_NE(output.find("first runs on beside corvay"), std::string::npos) << output;
}

} // namespace
