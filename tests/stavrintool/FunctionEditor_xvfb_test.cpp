// The function editor as an operator meets it, in both languages: opened from the template
// editor on the fixture's A1, a function with two steps, an upload function and a new
// download URL entered through real clicks and typing, closed with Escape (the edits stay),
// the template confirmed and the file saved; the file read back holds exactly that.

#include <gtest/gtest.h>

#include "tests/stavrintool/EditorWindow.h"

namespace {

using namespace testsupport;
using Items = std::vector<std::string>;

const int kControls[] = {1080, 1082, 1010, 1001, 1055, 1011, 1005, 1006, 1012, 1007, 1008, 1019, 1084, 1025,
                         1026, 1090, 1071, 1117, 1116, 1085, 1022, 1086, 1014, 1087, 1015, 1088, 1016, 1081,
                         1017, 1018, 1083, 1089, 1076, 1077, 1101, 1102, 1103, 1104, 1105, 1020};

class FunctionEditorWindow : public ::testing::TestWithParam<ToolLanguage> {};

TEST_P(FunctionEditorWindow, EntersAFunctionWithTwoStepsAndAnUploadThroughRealClicks) {
    const ToolLanguage lang = GetParam();
    ToolSession session(lang, "function-editor-window");
    SKIP_WITHOUT_DISPLAY(session.ui);
    UiTestDriver& ui = session.ui;
    ToolWindow& tool = session.tool;
    const TempDir& dir = session.dir;
    const std::string shot = std::string("FunctionEditor_") + lang.name;

    ui.Run([&] {
        tool.Start();
        ASSERT_TRUE(WaitForCaption(ui, lang.mainCaption)) << ui.ActiveCaption();
        ASSERT_TRUE(ui.Select(1022, 0));
        ASSERT_TRUE(ui.Click(1027));
        ASSERT_TRUE(WaitForCaption(ui, lang.editorCaption)) << ui.ActiveCaption();
        ASSERT_TRUE(ui.Click(1070));
        ASSERT_TRUE(WaitForCaption(ui, lang.functionsCaption)) << ui.ActiveCaption();
        ui.Settle(300);
        for (int id : kControls)
            EXPECT_TRUE(ui.IsShown(id)) << id;
        EXPECT_EQ(ui.Items(1010), (Items{"login", "reboot", "nothing"}));
        EXPECT_EQ(ui.Items(1055), (Items{"upgradefirmware"}));
        EXPECT_EQ(ui.Text(1076), "ftp://10.0.0.2/fw/A1.bin");
        EXPECT_TRUE(ui.IsChecked(1025));
        EXPECT_FALSE(ui.IsChecked(1026));
        ui.Screenshot(shot + "_start");

        // A new function; a function chosen shows its first step.
        TypeInto(ui, 1011, "check");
        ASSERT_TRUE(ui.Click(1005));
        EXPECT_EQ(ui.Items(1010), (Items{"login", "reboot", "nothing", "check"}));
        ASSERT_TRUE(ui.Select(1010, 0));
        EXPECT_EQ(ui.Text(1011), "login");
        EXPECT_EQ(ui.Items(1001), (Items{"/login.cgi", "/index.htm"}));
        EXPECT_EQ(ui.SelectedItem(1001), 0);
        EXPECT_EQ(ui.Text(1116), "user=%USER%&pass=%PASS%");
        ASSERT_TRUE(ui.Select(1001, 1));
        EXPECT_TRUE(ui.IsChecked(1026));

        // Its steps: one POST, one GET.
        ASSERT_TRUE(ui.Select(1010, 3));
        EXPECT_TRUE(ui.Items(1001).empty());
        TypeInto(ui, 1012, "?a=1");
        ASSERT_TRUE(ui.Click(1025));
        TypeInto(ui, 1116, "&b=2");
        TypeInto(ui, 1071, "Referer: /");
        ASSERT_TRUE(ui.Click(1007));
        TypeInto(ui, 1012, "&c=3");
        ASSERT_TRUE(ui.Click(1026));
        EXPECT_FALSE(ui.IsChecked(1025));
        ASSERT_TRUE(ui.Click(1007));
        EXPECT_EQ(ui.Items(1001), (Items{"/index.htm?a=1", "/index.htm?a=1&c=3"}));

        // An upload function and the download URL.
        TypeInto(ui, 1022, "upgradeboot");
        TypeInto(ui, 1014, "/boot.htm");
        TypeInto(ui, 1015, "/cgi-bin/boot.cgi");
        TypeInto(ui, 1016, "bootfile");
        ASSERT_TRUE(ui.Click(1017));
        EXPECT_EQ(ui.Items(1055), (Items{"upgradefirmware", "upgradeboot"}));
        TypeInto(ui, 1076, ".new");
        ASSERT_TRUE(ui.Click(1077));
        ASSERT_TRUE(ui.Select(1001, 0));
        EXPECT_TRUE(ui.IsChecked(1025));
        EXPECT_EQ(ui.Text(1071), "Referer: /");
        ui.Screenshot(shot + "_edited");

        // Escape ends it; every edit is already on the template.
        ui.Key(27);
        ASSERT_TRUE(WaitForCaption(ui, lang.editorCaption));
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(WaitForCaption(ui, lang.mainCaption));
        SaveAndLeave(ui, tool, lang.mainCaption);
    });

    TemplateStore saved;
    ASSERT_TRUE(saved.Load((dir / "Terminals.dat").string().c_str()));
    ASSERT_EQ(saved.Terminals().size(), 3u);
    const TerminalRecord& a1 = *saved.Terminals()[0];
    ASSERT_EQ(a1.functions.size(), 4u);
    const FunctionRecord& f = *a1.functions[3];
    EXPECT_EQ(f.name, "check");
    ASSERT_EQ(f.urls.GetSize(), 2);
    EXPECT_EQ(f.urls[0], "/index.htm?a=1");
    EXPECT_EQ(f.methods[0], "POST");
    EXPECT_EQ(f.postData[0], "&b=2");
    EXPECT_EQ(f.headers[0], "Referer: /");
    EXPECT_EQ(f.urls[1], "/index.htm?a=1&c=3");
    EXPECT_EQ(f.methods[1], "GET");
    ASSERT_EQ(a1.uploadFunctions.size(), 2u);
    const UploadFunctionRecord& u = *a1.uploadFunctions[1];
    EXPECT_EQ(u.name, "upgradeboot");
    EXPECT_EQ(u.page, "/boot.htm");
    EXPECT_EQ(u.action, "/cgi-bin/boot.cgi");
    EXPECT_EQ(u.fieldName, "bootfile");
    EXPECT_EQ(a1.downloadUrl, "ftp://10.0.0.2/fw/A1.bin.new");
}

INSTANTIATE_TEST_SUITE_P(FunctionEditor, FunctionEditorWindow, ::testing::ValuesIn(kToolLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
