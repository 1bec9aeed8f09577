// The main-window parts of the layer with real windows: menus, tool bar, status panes,
// accelerators, commands routed view -> frame -> application with their enabling, the report
// list with its clicks, and the X server's screen saver.

#include <gtest/gtest.h>

#include <future>

#include "engine/log/StringTable.h"
#include "platform/ui/Application.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Frame.h"
#include "platform/ui/ListControl.h"
#include "platform/ui/ReportList.h"
#include "platform/ui/ScreenSaver.h"
#include "tests/support/UiTestDriver.h"

namespace {

using namespace platform::ui;

const char* kFrameXrc = u8R"(<?xml version="1.0" encoding="UTF-8"?>
<resource xmlns="http://www.wxwidgets.org/wxxrc" version="2.5.3.0">
  <object class="wxMenuBar" name="7128">
    <object class="wxMenu"><label>文件(&amp;F)</label>
      <object class="wxMenuItem" name="57665"><label>退出(&amp;X)</label></object>
    </object>
    <object class="wxMenu"><label>测试</label>
      <object class="wxMenuItem" name="32808"><label>刷新端口(F2)</label></object>
      <object class="wxMenuItem" name="32826"><label>启动标准测试(F3)</label></object>
      <object class="wxMenuItem" name="32783"><label>停止(F10)</label></object>
    </object>
  </object>
  <object class="wxMenuBar" name="7004">
    <object class="wxMenu"><label>右键</label>
      <object class="wxMenuItem" name="32835"><label>启动Web管理</label></object>
    </object>
  </object>
  <object class="wxToolBar" name="7128">
    <style>wxTB_FLAT|wxTB_HORIZONTAL|wxTB_TEXT</style>
    <object class="tool" name="32808"><bitmap>memory:program.xpm</bitmap><label>刷新</label></object>
    <object class="tool" name="32826"><bitmap>memory:program.xpm</bitmap><label>标准</label></object>
  </object>
</resource>)";

struct View : CommandTarget {
    int refreshed = 0;
    bool testing = false;
    bool OnCommand(int id) override {
        if (id != 32808)
            return false;
        ++refreshed;
        return true;
    }
    bool OnUpdateCommand(CommandUI& ui) override {
        if (ui.Id() == 32783) {
            ui.Enable(testing);
            return true;
        }
        if (ui.Id() == 32808 || ui.Id() == 32826) {
            ui.Enable(!testing);
            return true;
        }
        return false;
    }
};

struct MainFrame : Frame {
    int started = 0;
    bool OnCommand(int id) override {
        if (id != 32826)
            return false;
        ++started;
        return true;
    }
};

struct App : CommandTarget {
    int exits = 0, webs = 0;
    bool OnCommand(int id) override {
        exits += id == 57665;
        webs += id == 32835;
        return id == 57665 || id == 32835;
    }
};

TEST(UiLayer, FrameCommandsRouteViewFrameApplicationAndTheListTakesClicks) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    ASSERT_TRUE(Application::AddResourceDocument("frame.xrc", kFrameXrc));
    MainFrame frame;
    View view;
    App app;
    ReportList list;
    std::vector<int> doubleClicked, rightClicked;
    ui.Run([&] {
        ASSERT_TRUE(CallOnUiThreadFor([&] {
            bool ok = frame.Create("Corvay", 7128, 640, 400) && frame.CreateToolBar(7128) &&
                      frame.CreateStatusBar({LoadStringId(57345), "CAP", "NUM", "SCRL"}) &&
                      list.Create(frame);
            frame.SetAccelerators({{0, 0x71, 32808}, {Accelerator::Ctrl, 'Q', 57665}});
            frame.SetView(&view);
            Frame::SetApplicationTarget(&app);
            list.SetImages({"program.xpm"});
            list.InsertColumn(0, LoadStringId(133), 60);
            list.InsertColumn(1, LoadStringId(134), 220);
            list.InsertColumn(2, LoadStringId(135), 300);
            for (int port = 1; port <= 3; ++port) {
                CString n;
                n.Format("%d", port);
                list.InsertItem(port - 1, n, 0);
                list.SetItemText(port - 1, 1, "固件版本：V1.0\r\nIP地址：192.168.1.1");
                list.SetItemText(port - 1, 2, LoadStringId(108));
            }
            list.OnDoubleClick = [&](int item) { doubleClicked.push_back(item); };
            list.OnRightClick = [&](int item, int, int) { rightClicked.push_back(item); };
            frame.ShowWindow(true);
            return ok;
        }));
        ui.Settle(300);
        // Command routing.
        frame.SendCommand(32826);
        frame.SendCommand(57665);
        frame.SendCommand(32808);
        EXPECT_EQ(frame.started, 1);
        EXPECT_EQ(app.exits, 1);
        EXPECT_EQ(view.refreshed, 1);
        // An accelerator, pressed for real, reaches the view.
        ui.Key(0x71); // F2
        EXPECT_TRUE(ui.WaitUntil([&] { return view.refreshed == 2; })) << view.refreshed;
        // Enabling as the update handlers say.
        CallOnUiThread([&] { frame.UpdateCommands(); });
        EXPECT_FALSE(CallOnUiThreadFor([&] { return frame.IsCommandEnabled(32783); }));
        EXPECT_TRUE(CallOnUiThreadFor([&] { return frame.IsCommandEnabled(32826); }));
        CallOnUiThread([&] { view.testing = true; });
        CallOnUiThread([&] { frame.UpdateCommands(); });
        EXPECT_TRUE(CallOnUiThreadFor([&] { return frame.IsCommandEnabled(32783); }));
        EXPECT_FALSE(CallOnUiThreadFor([&] { return frame.IsCommandEnabled(32826); }));
        EXPECT_EQ(std::string(CallOnUiThreadFor([&] { return frame.GetStatusText(0); })), "就绪");
        // The list: real double and right clicks on a row.
        Rect row = CallOnUiThreadFor([&] { return list.GetItemRect(1); });
        ASSERT_GT(row.Height(), 0);
        ui.Screenshot("UiLayer_frame_list");
        ui.ClickAt(row.left + 30, row.top + row.Height() / 2, 1, true);
        EXPECT_TRUE(ui.WaitUntil([&] { return !doubleClicked.empty(); }));
        EXPECT_EQ(doubleClicked, std::vector<int>{1});
        EXPECT_EQ(CallOnUiThreadFor([&] { return list.GetSelectedItem(); }), 1);
        Rect last = CallOnUiThreadFor([&] { return list.GetItemRect(2); });
        ui.ClickAt(last.left + 30, last.top + last.Height() / 2, 3);
        EXPECT_TRUE(ui.WaitUntil([&] { return !rightClicked.empty(); }));
        EXPECT_EQ(rightClicked, std::vector<int>{2});
        EXPECT_EQ(std::string(CallOnUiThreadFor([&] { return list.GetItemText(0, 1); })),
                  "固件版本：V1.0 IP地址：192.168.1.1");
        EXPECT_EQ(CallOnUiThreadFor([&] { return list.GetItemImage(0); }), 0);
        CallOnUiThread([&] {
            Frame::SetApplicationTarget(nullptr);
            frame.DestroyWindow();
        });
    });
}

TEST(UiLayer, TheScreenSaverIsTurnedOffAndPutBackAsFound) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ScreenSaver::SetTimeout(600));
    ASSERT_TRUE(ScreenSaver::TurnOff());
    int seconds = -1;
    ASSERT_TRUE(ScreenSaver::GetTimeout(seconds));
    EXPECT_EQ(seconds, 0);
    // A second turn-off keeps the first saved setting.
    ASSERT_TRUE(ScreenSaver::TurnOff());
    ASSERT_TRUE(ScreenSaver::Restore());
    ASSERT_TRUE(ScreenSaver::GetTimeout(seconds));
    EXPECT_EQ(seconds, 600);
    EXPECT_TRUE(ScreenSaver::Restore()) << "nothing held: nothing to do";
}

TEST(UiLayer, AcceleratorLinesOfThePack) {
    struct Case {
        const char* line;
        bool ok;
        unsigned modifiers;
        int key, command;
    } cases[] = {
        {"F2 32808", true, 0, 0x71, 32808},
        {"F12 32829", true, 0, 0x7B, 32829},
        {"Ctrl+Shift+s 57603", true, Accelerator::Ctrl | Accelerator::Shift, 'S', 57603},
        {"Alt+4 1", true, Accelerator::Alt, '4', 1},
        {"F25 1", false, 0, 0, 0},
        {"Hyper+A 1", false, 0, 0, 0},
        {"F2", false, 0, 0, 0},
        {"F2 x", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Accelerator a;
        ASSERT_EQ(ParseAccelerator(c.line, a), c.ok) << c.line;
        if (!c.ok)
            continue;
        EXPECT_EQ(a.modifiers, c.modifiers) << c.line;
        EXPECT_EQ(a.key, c.key) << c.line;
        EXPECT_EQ(a.command, c.command) << c.line;
    }
}

} // namespace

namespace {

const char* kListDialogXrc = u8R"(<?xml version="1.0" encoding="UTF-8"?>
<resource xmlns="http://www.wxwidgets.org/wxxrc" version="2.5.3.0">
  <object class="wxDialog" name="902">
    <title>版本升级规则</title>
    <style>wxCAPTION|wxSYSTEM_MENU</style>
    <size>260,150d</size>
    <object class="wxListCtrl" name="1056"><style>wxLC_REPORT|wxLC_SINGLE_SEL</style><pos>7,7d</pos><size>246,110d</size></object>
    <object class="wxButton" name="1"><label>确定</label><pos>203,128d</pos><size>50,14d</size></object>
  </object>
</resource>)";

struct RuleDlg : Dialog {
    RuleDlg() : Dialog(902) {}
    ListControl List() const { return ListControl(Item(1056)); }
    std::vector<int> checked;
    bool OnInitDialog() override {
        Dialog::OnInitDialog();
        ListControl list = List();
        list.SetUp(true);
        list.InsertColumn(0, LoadStringId(133), 50);
        list.InsertColumn(1, LoadStringId(80), 200);
        for (int i = 0; i < 3; ++i) {
            CString id;
            id.Format("%i", i + 1);
            list.InsertItem(i, id);
            list.SetItemText(i, 1, "V2.0." + id + "\r\nB");
        }
        return true;
    }
    void OnOK() override {
        for (int i = 0; i < List().GetItemCount(); ++i)
            if (List().IsChecked(i))
                checked.push_back(i);
        Dialog::OnOK();
    }
};

TEST(UiLayer, ADialogsListTakesColumnsOneLineRowsAndCheckBoxes) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    ASSERT_TRUE(Application::AddResourceDocument("rule.xrc", kListDialogXrc));
    ui.Run([&] {
        RuleDlg dlg;
        std::future<int> result = std::async(std::launch::async, [&] { return dlg.DoModal(); });
        ASSERT_TRUE(ui.WaitUntil([&] { return dlg.IsModal(); }));
        ui.Settle(300);
        EXPECT_EQ(std::string(CallOnUiThreadFor([&] { return dlg.List().GetColumnHeading(1); })), "版本名称");
        // A cell is one line.
        EXPECT_EQ(std::string(CallOnUiThreadFor([&] { return dlg.List().GetItemText(1, 1); })), "V2.0.2 B");
        CallOnUiThread([&] { dlg.List().SetCheck(2, true); });
        ui.Screenshot("UiLayer_dialog_list");
        ASSERT_TRUE(ui.Click(1));
        ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_EQ(result.get(), 1);
        EXPECT_EQ(dlg.checked, std::vector<int>{2});
    });
}

} // namespace
