// A resizable dialog as a real window: anchored children follow a resize, the dialog cannot
// shrink below its first size, and sizes before initialisation move nothing.

#include <gtest/gtest.h>

#include "platform/ui/Application.h"
#include "resizable/ResizableDialog.h"
#include "tests/support/UiTestDriver.h"

namespace {

using namespace resizable;
using platform::ui::CallOnUiThread;
using platform::ui::CallOnUiThreadFor;

const char* kListXrc = u8R"(<?xml version="1.0" encoding="UTF-8"?>
<resource xmlns="http://www.wxwidgets.org/wxxrc" version="2.5.3.0">
  <object class="wxDialog" name="901">
    <title>固件版本管理</title>
    <style>wxCAPTION|wxSYSTEM_MENU|wxCLOSE_BOX|wxRESIZE_BORDER</style>
    <size>300,180d</size>
    <object class="wxListBox" name="1056"><pos>7,7d</pos><size>286,140d</size></object>
    <object class="wxButton" name="1053"><label>增加</label><pos>7,156d</pos><size>50,14d</size></object>
    <object class="wxStaticText" name="1060"><label>版本路径</label><pos>70,159d</pos><size>60,10d</size></object>
    <object class="wxButton" name="1"><label>关闭</label><pos>243,156d</pos><size>50,14d</size></object>
  </object>
</resource>)";

// A template with a fixed frame.
const char* kFixedXrc = R"(<?xml version="1.0" encoding="UTF-8"?>
<resource xmlns="http://www.wxwidgets.org/wxxrc" version="2.5.3.0">
  <object class="wxDialog" name="902">
    <title>Fixed template</title>
    <style>wxCAPTION|wxSYSTEM_MENU</style>
    <size>200,100d</size>
    <object class="wxButton" name="1"><label>OK</label><pos>143,79d</pos><size>50,14d</size></object>
  </object>
  <object class="wxDialog" name="903">
    <title>Plain dialog</title>
    <style>wxCAPTION|wxSYSTEM_MENU</style>
    <size>200,100d</size>
  </object>
</resource>)";

class ListDlg : public CResizableDialog {
public:
    ListDlg() : CResizableDialog(901) {}
    platform::ui::Rect listBeforeInit, listAfterEarlySize;

protected:
    bool OnInitDialog() override {
        AddAnchor(Item(1056), TOP_LEFT, BOTTOM_RIGHT);
        AddAnchor(Item(1053), BOTTOM_LEFT);
        AddAnchor(Item(1060), BOTTOM_LEFT);
        AddAnchor(Item(1), BOTTOM_RIGHT);
        // A size before initialisation moves nothing.
        listBeforeInit = Item(1056).GetRect();
        OnSize(0, 900, 900);
        listAfterEarlySize = Item(1056).GetRect();
        return CResizableDialog::OnInitDialog();
    }
};

TEST(Resizable, AResizedDialogKeepsItsAnchorsAndItsMinimum) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    ASSERT_TRUE(platform::ui::Application::AddResourceDocument("list.xrc", kListXrc));
    ui.Run([&] {
        ListDlg dlg;
        ASSERT_TRUE(CallOnUiThreadFor([&] { return dlg.Create() && (dlg.ShowWindow(true), true); }));
        ui.Settle();
        EXPECT_EQ(dlg.listBeforeInit, dlg.listAfterEarlySize);
        struct Snapshot {
            platform::ui::Size client;
            platform::ui::Rect list, add, label, close, grip;
        };
        auto snap = [&] {
            return CallOnUiThreadFor([&] {
                return Snapshot{dlg.GetClientSize(),      dlg.Item(1056).GetRect(), dlg.Item(1053).GetRect(),
                                dlg.Item(1060).GetRect(), dlg.Item(1).GetRect(),    dlg.Grip().GetRect()};
            });
        };
        Snapshot a = snap();
        ui.Screenshot("Resizable_initial");
        ui.ResizeActive(a.client.cx + 200, a.client.cy + 120);
        Snapshot b = snap();
        ASSERT_EQ(b.client.cx, a.client.cx + 200);
        // The list keeps its four distances, the buttons their corners.
        EXPECT_EQ(b.list.left, a.list.left);
        EXPECT_EQ(b.list.top, a.list.top);
        EXPECT_EQ(b.client.cx - b.list.right, a.client.cx - a.list.right);
        EXPECT_EQ(b.client.cy - b.list.bottom, a.client.cy - a.list.bottom);
        EXPECT_EQ(b.add.left, a.add.left);
        EXPECT_EQ(b.client.cy - b.add.top, a.client.cy - a.add.top);
        EXPECT_EQ(b.label.Width(), a.label.Width());
        EXPECT_EQ(b.client.cx - b.close.left, a.client.cx - a.close.left);
        EXPECT_EQ(b.client.cy - b.close.top, a.client.cy - a.close.top);
        EXPECT_EQ(b.grip.right, b.client.cx);
        EXPECT_EQ(b.grip.bottom, b.client.cy);
        ui.Screenshot("Resizable_grown");
        // Smaller than at initialisation: held at the first size.
        ui.ResizeActive(50, 40);
        Snapshot c = snap();
        EXPECT_GE(c.client.cx, a.client.cx);
        EXPECT_GE(c.client.cy, a.client.cy);
        EXPECT_EQ(c.list, a.list);
        CallOnUiThread([&] { dlg.DestroyWindow(); });
    });
}

// The dialog turns a fixed frame into a sizing one itself; a plain dialog keeps its fixed frame.
TEST(Resizable, AFixedTemplateGetsASizingFrame) {
    testsupport::UiTestDriver ui;
    SKIP_WITHOUT_DISPLAY(ui);
    ASSERT_TRUE(ui.UsePack("cn"));
    ASSERT_TRUE(platform::ui::Application::AddResourceDocument("fixed.xrc", kFixedXrc));
    ui.Run([&] {
        CResizableDialog sizing(902);
        platform::ui::Dialog plain(903);
        ASSERT_TRUE(CallOnUiThreadFor([&] {
            return sizing.Create() && plain.Create() && (sizing.ShowWindow(true), plain.ShowWindow(true), true);
        }));
        ui.Settle(300);
        EXPECT_TRUE(ui.WindowSizable("Fixed template"));
        EXPECT_FALSE(ui.WindowSizable("Plain dialog"));
        CallOnUiThread([&] { plain.DestroyWindow(); });
        platform::ui::Size first = CallOnUiThreadFor([&] { return sizing.GetClientSize(); });
        CallOnUiThread([&] { sizing.SetWindowSize(first.cx + 300, first.cy + 200); });
        ui.Settle(300);
        ui.Screenshot("Resizable_fixed_template_grown");
        CallOnUiThread([&] { sizing.DestroyWindow(); });
    });
}

} // namespace
