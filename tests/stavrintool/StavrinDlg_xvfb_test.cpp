// The tool as an operator meets it, under an X server of the test's own, in both languages:
// started in a program directory of its own on the fixture's Terminals.dat, a group chosen, a
// template copied and bound to it and the file saved through real clicks, then closed; the
// file read back holds exactly that.

#include <gtest/gtest.h>

#include <atomic>

#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"
#include "platform/ui/WindowPrompts.h"
#include "stavrintool/app/CStavrinApp.h"
#include "stavrintool/main/CStavrinDlg.h"
#include "templates/TemplateStore.h"
#include "tests/stavrintool/ToolFixture.h"
#include "tests/stavrintool/ToolWindow.h"
#include "tests/support/TempDir.h"
#include "tests/support/UiTestDriver.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

// Every control of the main dialog.
const int kControls[] = {1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013,
                         1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 1023, 1024, 1025,
                         1026, 1027, 1065, 1070, 1074, 1075, 1078, 1079, 1097, 1,    2};

struct Language {
    const char* name;
    const char* caption; // UTF-8
    const char* about;
};

class StavrinDlgWindow : public ::testing::TestWithParam<Language> {};

TEST_P(StavrinDlgWindow, CopiesBindsAndSavesThroughRealClicks) {
    const Language lang = GetParam();
    UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    TempDir dir("stavrin-window");
    for (const char* pack : {"StavrinToolLocalize_cn.so", "StavrinToolLocalize_en.so"})
        fs::create_symlink(BuildProgramDir() / pack, dir / pack);
    WriteFileBytes(dir / "Terminals.dat", TerminalsFile(ToolFixture()));
    WriteFileBytes(dir / "Config.ini", std::string("[System]\r\nLanguage=") + lang.name + "\r\n");
    ProgramDirScope programDir(dir.path());
    platform::ui::WindowPrompts prompts;
    platform::ScopedPromptService usePrompts(prompts);
    ToolWindow tool(dir.path());
    const std::string shot = std::string("StavrinDlg_") + lang.name;

    ui.Run([&] {
        tool.Start();
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == lang.caption; })) << ui.ActiveCaption();
        ui.Settle(300);
        for (int id : kControls)
            EXPECT_TRUE(tool.OnDialog([id](CStavrinDlg& d) { return d.Item(id).IsVisible(); })) << id;
        EXPECT_FALSE(tool.OnDialog([](CStavrinDlg& d) { return d.DiagDlg().IsWindowVisible(); }));
        ui.Screenshot(shot + "_start");

        // The second group, then the first template copied and bound to it.
        ASSERT_TRUE(ui.Select(1002, 1));
        ASSERT_TRUE(ui.Select(1022, 0));
        ASSERT_TRUE(ui.Click(1021));
        ui.Settle();
        EXPECT_EQ(tool.OnDialog([](CStavrinDlg& d) { return d.Item(1022).GetCurSel(); }), 3);
        ASSERT_TRUE(ui.Click(1024));
        ui.Settle();
        EXPECT_EQ(tool.OnDialog([](CStavrinDlg& d) { return d.Item(1020).GetCount(); }), 2);
        EXPECT_EQ(tool.OnDialog([](CStavrinDlg& d) { return d.Item(1020).GetItemText(1); }), "A1 `copy");
        ui.Screenshot(shot + "_bound");

        // Saved: the box says so and the dialog stays.
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "StavrinTool"; }));
        ui.Screenshot(shot + "_saved");
        ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == lang.caption; }));

        // The about box from the dialog's context menu (a right click on a blank spot).
        const platform::ui::Rect frame = tool.OnDialog([](CStavrinDlg& d) { return d.GetWindowRect(); });
        const int x = frame.left + frame.Width() * 3 / 4, y = frame.bottom - 150;
        ui.ClickAt(x, y, 3);
        ui.Settle(300);
        ui.Screenshot(shot + "_menu");
        ui.ClickAt(x + 30, y + 12); // the menu's one item opens below the pointer
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == lang.about; })) << ui.ActiveCaption();
        ui.Screenshot(shot + "_about");
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == lang.caption; }));

        // The test dialog comes up beside it.
        ASSERT_TRUE(ui.Click(1097));
        EXPECT_TRUE(ui.WaitUntil(
            [&] { return tool.OnDialog([](CStavrinDlg& d) { return d.DiagDlg().IsWindowVisible(); }); }));
        ui.Settle();
        ui.Screenshot(shot + "_verify");
        tool.OnDialog([](CStavrinDlg& d) { return d.DiagDlg().ShowWindow(false), 0; });

        // Leaving asks first; Cancel keeps it, OK ends the program.
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == lang.caption; }));
        ui.Key(27);
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "StavrinTool"; }));
        ui.Screenshot(shot + "_quit");
        ASSERT_TRUE(ui.ClickAnswer(platform::kIdCancel));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == lang.caption; }));
        ASSERT_TRUE(ui.Click(2));
        ASSERT_TRUE(ui.WaitUntil([&] { return ui.ActiveCaption() == "StavrinTool"; }));
        ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
        EXPECT_TRUE(ui.WaitUntil([&] { return tool.ended.load(); }));
    });
    EXPECT_EQ(tool.app.GetStage(), CStavrinApp::kDialogClosed);

    // The file holds the copy, bound to the second group, and everything else as it was.
    TemplateStore saved;
    ASSERT_TRUE(saved.Load((dir / "Terminals.dat").string().c_str()));
    ASSERT_EQ(saved.Terminals().size(), 4u);
    const TerminalRecord& copy = *saved.Terminals()[3];
    EXPECT_EQ(copy.name, "A1 `copy");
    EXPECT_EQ(saved.Groups()[1]->terminalIds.GetSize(), 2);
    EXPECT_EQ(saved.Groups()[1]->terminalIds[1], copy.id);
    std::unique_ptr<TerminalRecord> restored = CopyTerminalRecord(copy);
    restored->id = saved.Terminals()[0]->id;
    restored->name = saved.Terminals()[0]->name;
    ASSERT_EQ(saved.ExportTerminal((dir / "a.tpl").string().c_str(), *saved.Terminals()[0]), 1);
    ASSERT_EQ(saved.ExportTerminal((dir / "b.tpl").string().c_str(), *restored), 1);
    EXPECT_EQ(ReadFileBytes(dir / "a.tpl"), ReadFileBytes(dir / "b.tpl"));
    FixtureFile expected = ToolFixture();
    expected.groups[1].terminalIds.push_back(copy.id.str());
    TemplateStore original;
    WriteFileBytes(dir / "expected.dat", TerminalsFile(expected));
    ASSERT_TRUE(original.Load((dir / "expected.dat").string().c_str()));
    original.Terminals().push_back(CopyTerminalRecord(copy));
    ASSERT_EQ(original.Save((dir / "expected-saved.dat").string().c_str()), 1);
    EXPECT_EQ(ReadFileBytes(dir / "Terminals.dat"), ReadFileBytes(dir / "expected-saved.dat"));
}

INSTANTIATE_TEST_SUITE_P(
    StavrinDlg, StavrinDlgWindow,
    ::testing::Values(Language{"cn", u8"Tellvane Modem模板管理工具 V3.0", u8"关于 模板管理工具"},
                      Language{"en", "Tellvane Modem Template Manager V3.0", "About Template Manager"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
