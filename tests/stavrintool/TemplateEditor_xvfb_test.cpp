// The template editor as an operator meets it, in both languages: opened with Edit from the
// main dialog on the fixture's B2, a parameter with a locator in each language and a rule
// entered through real clicks and typing, the function editor opened and closed, the template
// confirmed and the file saved; the file read back holds exactly that, and the template
// added before it with a name (after a refusal without one).

#include <gtest/gtest.h>

#include "tests/stavrintool/EditorWindow.h"

namespace {

using namespace testsupport;
using Items = std::vector<std::string>;

// Every control the operator sees, and those the dialog holds unseen.
const int kShown[] = {1028, 1072, 1073, 1068, 1053, 1029, 1032, 1064, 1062, 1011, 1041, 1065,
                      1051, 1056, 1057, 1054, 1048, 1049, 1042, 1043, 1058, 1059, 1060, 1061,
                      1063, 1038, 1071, 1033, 1039, 1040, 1066, 1067, 1070, 1019, 1};
const int kHidden[] = {1010, 1014, 1015, 1007, 1008, 1017};

class TemplateEditorWindow : public ::testing::TestWithParam<ToolLanguage> {};

TEST_P(TemplateEditorWindow, EntersAParameterWithLocatorsAndARuleThroughRealClicks) {
    const ToolLanguage lang = GetParam();
    ToolSession session(lang, "template-editor-window");
    SKIP_WITHOUT_DISPLAY(session.ui);
    UiTestDriver& ui = session.ui;
    ToolWindow& tool = session.tool;
    const TempDir& dir = session.dir;
    const std::string shot = std::string("TemplateEditor_") + lang.name;

    ui.Run([&] {
        tool.Start();
        ASSERT_TRUE(WaitForCaption(ui, lang.mainCaption)) << ui.ActiveCaption();

        // Add: a template without a name is refused; with one it joins the list on OK.
        ASSERT_TRUE(ui.Click(1026));
        ASSERT_TRUE(WaitForCaption(ui, lang.addCaption)) << ui.ActiveCaption();
        EXPECT_TRUE(ui.Items(1053).empty());
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(WaitForCaption(ui, "StavrinTool"));
        ui.Screenshot(shot + "_no_name");
        ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
        ASSERT_TRUE(WaitForCaption(ui, lang.addCaption));
        TypeInto(ui, 1028, "N1");
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(WaitForCaption(ui, lang.mainCaption));
        EXPECT_EQ(ui.Items(1022), (Items{"A1", "B2", "C3", "N1"}));

        ASSERT_TRUE(ui.Select(1022, 1));
        ASSERT_TRUE(ui.Click(1027));
        ASSERT_TRUE(WaitForCaption(ui, lang.editorCaption)) << ui.ActiveCaption();
        ui.Settle(300);
        for (int id : kShown)
            EXPECT_TRUE(ui.IsShown(id)) << id;
        for (int id : kHidden)
            EXPECT_FALSE(ui.IsShown(id)) << id;
        EXPECT_FALSE(ui.IsEnabled(1068));
        EXPECT_EQ(ui.Text(1028), "B2");
        EXPECT_TRUE(ui.IsChecked(1073));
        EXPECT_TRUE(ui.IsChecked(1068));
        EXPECT_EQ(ui.Items(1053), (Items{"Firmware_Version|FALSE|FALSE|/info.html"}));
        EXPECT_EQ(ui.SelectedItem(1053), 0);
        EXPECT_TRUE(ui.IsChecked(1057));
        EXPECT_EQ(ui.Items(1054), (Items{"ver=|;"}));
        ui.Screenshot(shot + "_start");

        // A keyword parameter, an array at index 2.
        TypeInto(ui, 1029, "_2");
        TypeInto(ui, 1032, "?lan=1");
        ASSERT_TRUE(ui.Click(1064));
        ASSERT_TRUE(ui.Click(1062));
        EXPECT_TRUE(ui.IsEnabled(1011));
        TypeInto(ui, 1011, " 2");
        ASSERT_TRUE(ui.Click(1041));
        EXPECT_EQ(ui.Items(1053), (Items{"Firmware_Version|FALSE|FALSE|/info.html",
                                         "Firmware_Version_2|TRUE|2|/info.html?lan=1"}));
        EXPECT_EQ(ui.SelectedItem(1053), 1);
        EXPECT_TRUE(ui.Items(1054).empty());

        // An English locator, then a local one.
        TypeInto(ui, 1048, "<td>IP</td><td>");
        TypeInto(ui, 1049, "</td>");
        ASSERT_TRUE(ui.Click(1042));
        EXPECT_EQ(ui.Items(1054), (Items{"<td>IP</td><td>|</td>"}));
        ASSERT_TRUE(ui.Click(1056));
        EXPECT_TRUE(ui.IsChecked(1056));
        EXPECT_FALSE(ui.IsChecked(1057));
        EXPECT_TRUE(ui.Items(1054).empty());
        TypeInto(ui, 1049, "<");
        ASSERT_TRUE(ui.Click(1042));
        EXPECT_EQ(ui.Items(1054), (Items{"<td>IP</td><td>|</td><"}));

        // A rule: "包含" with a code whose letter the box does not take, joined by AND.
        ASSERT_TRUE(ui.Click(1063));
        TypeInto(ui, 1038, "192.168.");
        TypeInto(ui, 1071, "-5x");
        EXPECT_EQ(ui.Text(1071), "-5");
        ASSERT_TRUE(ui.Click(1039));
        EXPECT_EQ(ui.Items(1033), (Items{"INCLUDE|192.168.|-5"}));
        ASSERT_TRUE(ui.Click(1066));
        EXPECT_TRUE(ui.IsChecked(1066));
        EXPECT_FALSE(ui.IsChecked(1067));

        // The other parameter and back: each shows its own, in English.
        ASSERT_TRUE(ui.ClickRow(1053, 0));
        EXPECT_EQ(ui.Text(1029), "Firmware_Version");
        EXPECT_FALSE(ui.IsChecked(1064));
        EXPECT_FALSE(ui.IsEnabled(1011));
        EXPECT_TRUE(ui.IsChecked(1067));
        EXPECT_TRUE(ui.Items(1033).empty());
        ASSERT_TRUE(ui.ClickRow(1053, 1));
        EXPECT_EQ(ui.Text(1029), "Firmware_Version_2");
        EXPECT_TRUE(ui.IsChecked(1057));
        EXPECT_EQ(ui.Items(1054), (Items{"<td>IP</td><td>|</td>"}));
        ASSERT_TRUE(ui.ClickRow(1033, 0));
        EXPECT_TRUE(ui.IsChecked(1063));
        EXPECT_EQ(ui.Text(1071), "-5");
        ui.Screenshot(shot + "_edited");

        // Web authentication warns at once.
        ASSERT_TRUE(ui.Click(1072));
        ASSERT_TRUE(WaitForCaption(ui, "StavrinTool"));
        ui.Screenshot(shot + "_web_auth");
        ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
        ASSERT_TRUE(WaitForCaption(ui, lang.editorCaption));
        EXPECT_TRUE(ui.IsChecked(1072));
        EXPECT_FALSE(ui.IsChecked(1073));

        // The function editor on the same template, closed again.
        ASSERT_TRUE(ui.Click(1070));
        ASSERT_TRUE(WaitForCaption(ui, lang.functionsCaption)) << ui.ActiveCaption();
        EXPECT_EQ(ui.Items(1010), (Items{"RestoreConfig"}));
        ASSERT_TRUE(ui.Click(1020));
        ASSERT_TRUE(WaitForCaption(ui, lang.editorCaption));

        TypeInto(ui, 1028, " v2");
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(WaitForCaption(ui, lang.mainCaption));
        EXPECT_EQ(ui.Items(1022)[1], "B2 v2");
        SaveAndLeave(ui, tool, lang.mainCaption);
    });

    TemplateStore saved;
    ASSERT_TRUE(saved.Load((dir / "Terminals.dat").string().c_str()));
    ASSERT_EQ(saved.Terminals().size(), 4u);
    EXPECT_EQ(saved.Terminals()[3]->name, "N1");
    EXPECT_EQ(saved.Terminals()[3]->id.GetLength(), 14);
    EXPECT_EQ(saved.Terminals()[3]->authKind, "BRW");
    const TerminalRecord& b2 = *saved.Terminals()[1];
    EXPECT_EQ(b2.name, "B2 v2");
    EXPECT_EQ(b2.authKind, "WEB");
    EXPECT_EQ(b2.https, "TRUE");
    ASSERT_EQ(b2.parameters.size(), 2u);
    EXPECT_EQ(ParameterLine(*b2.parameters[1]),
              "Firmware_Version_2|/info.html?lan=1|TRUE|2|AND local:[<td>IP</td><td>,</td><] "
              "english:[<td>IP</td><td>,</td>] rules:[INCLUDE,192.168.,-5]");
}

// A name with characters GBK lacks is refused with a box naming its field, not stored with '?'.
TEST_P(TemplateEditorWindow, ANameTheFileCannotHoldIsRefusedNamingItsField) {
    const ToolLanguage lang = GetParam();
    ToolSession session(lang, "template-editor-foreign");
    SKIP_WITHOUT_DISPLAY(session.ui);
    UiTestDriver& ui = session.ui;
    const std::string field = std::string(lang.name) == "cn" ? u8"设备名称" : "Device name";

    ui.Run([&] {
        session.tool.Start();
        ASSERT_TRUE(WaitForCaption(ui, lang.mainCaption)) << ui.ActiveCaption();
        ASSERT_TRUE(ui.Click(1026));
        ASSERT_TRUE(WaitForCaption(ui, lang.addCaption)) << ui.ActiveCaption();
        ASSERT_TRUE(ui.Paste(1028, u8"한국Test"));
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(WaitForCaption(ui, "StavrinTool")) << ui.ActiveCaption();
        EXPECT_NE(ui.BoxText().find(field), std::string::npos) << ui.BoxText();
        ui.Screenshot(std::string("TemplateEditor_foreign_") + lang.name);
        ASSERT_TRUE(ui.ClickAnswer(platform::kIdOk));
        ASSERT_TRUE(WaitForCaption(ui, lang.addCaption)) << ui.ActiveCaption();
        EXPECT_EQ(ui.Text(1028), u8"한국Test"); // kept for the technician to correct
        ASSERT_TRUE(ui.Paste(1028, u8"测试Test"));
        ASSERT_TRUE(ui.Click(1));
        ASSERT_TRUE(WaitForCaption(ui, lang.mainCaption)) << ui.ActiveCaption();
        EXPECT_EQ(ui.Items(1022), (Items{"A1", "B2", "C3", u8"测试Test"}));
        SaveAndLeave(ui, session.tool, lang.mainCaption);
    });

    TemplateStore saved;
    ASSERT_TRUE(saved.Load((session.dir / "Terminals.dat").string().c_str()));
    ASSERT_EQ(saved.Terminals().size(), 4u);
    EXPECT_EQ(saved.Terminals()[3]->name, "测试Test");
}

INSTANTIATE_TEST_SUITE_P(TemplateEditor, TemplateEditorWindow, ::testing::ValuesIn(kToolLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
