// The test dialog's rules that need no network: the parameter list, the masks a temporary
// address may be made in, and the buttons that do nothing without a selection.

#include <gtest/gtest.h>

#include "platform/text/Gbk.h"
#include "platform/ui/LanguagePack.h"
#include "stavrintool/app/ToolStrings.h"
#include "tests/stavrintool/DiagFixture.h"
#include "tests/stavrintool/ToolFixture.h"

namespace {

using namespace testsupport;

TEST(TemplateDiagModel, ParametersInsertAfterTheSelectionTrimmedAndDelete) {
    struct Step {
        const char* what;
        char op; // 'a' add, 'd' delete
        const char* text;
        int selected;
        std::vector<std::string> after;
    } steps[] = {
        {"appended with nothing selected", 'a', "  1 ", -1, {"1"}},
        {"appended again", 'a', "3", -1, {"1", "3"}},
        {"after the selected one", 'a', "\t2", 0, {"1", "2", "3"}},
        {"after the last one", 'a', "4", 2, {"1", "2", "3", "4"}},
        {"blanks only add nothing", 'a', " \t ", 1, {"1", "2", "3", "4"}},
        {"inner blanks stay", 'a', " a b ", 3, {"1", "2", "3", "4", "a b"}},
        {"a selection past the end appends", 'a', "5", 9, {"1", "2", "3", "4", "a b", "5"}},
        {"the selected one goes", 'd', "", 1, {"1", "3", "4", "a b", "5"}},
        {"nothing selected deletes nothing", 'd', "", -1, {"1", "3", "4", "a b", "5"}},
        {"a selection past the end deletes nothing", 'd', "", 5, {"1", "3", "4", "a b", "5"}},
    };
    RecordingDiagSink sink;
    TemplateTestModel model(sink);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        model.parameterSel = step.selected;
        if (step.op == 'a') {
            model.parameterText = step.text;
            model.AddParameter();
            EXPECT_EQ(model.parameterText, step.text); // the edit keeps its text
        } else {
            model.DeleteParameter();
        }
        EXPECT_EQ(Texts(model.Parameters()), step.after);
    }
    EXPECT_TRUE(sink.lines.empty());
    EXPECT_TRUE(sink.boxes.empty());
}

TEST(TemplateDiagModel, OnlyRealNetmasksMakeATemporaryAddress) {
    struct Case {
        const char* mask;
        bool usable;
    } cases[] = {
        {"255.255.255.0", true},
        {"255.0.0.0", true},
        {"128.0.0.0", true},
        {"255.255.255.252", true},
        {"", false},
        {"0.0.0.0", false},
        {"255.255.255.254", false},
        {"255.255.255.255", false},
        {"255.0.255.0", false},
        {"255.255.255", false},
        {"mask", false},
        {" 255.255.255.0x", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TemplateTestModel::UsableMask(c.mask), c.usable) << "'" << c.mask << "'";
}

TEST(TemplateDiagModel, RunsNeedASelectionAndStartNothingWithout) {
    RecordingDiagSink sink;
    TemplateTestModel model(sink);
    EXPECT_FALSE(model.FunctionControlsEnabled());
    for (int selected : {-1, 0}) {
        model.functionSel = model.uploadSel = selected;
        model.filePath = "/tmp/firmware.bin";
        EXPECT_FALSE(model.RunFunction());
        EXPECT_FALSE(model.Upload());
        EXPECT_FALSE(model.Busy());
    }
    model.Deliver(); // nothing ended: nothing shown
    EXPECT_TRUE(sink.boxes.empty());
    sink.lines = {"earlier"};
    model.ClearOutput();
    EXPECT_TRUE(sink.lines.empty());
}

TEST(TemplateDiagModel, BoxTextsInBothPacks) {
    platform::ui::LanguagePack pack;
    struct Case {
        const char* language;
        std::vector<std::string> texts; // UTF-8
    } cases[] = {
        {"cn",
         {u8"执行函数成功!", u8"执行函数失败!", u8"请选择一个上传文件。", u8"上传成功!", u8"上传失败!"}},
        {"en",
         {"The function ran.", "The function failed.", "Please choose a file to upload.", "Upload succeeded.",
          "Upload failed."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        ASSERT_TRUE(UseToolPack(pack, c.language));
        unsigned id = stavrin::kIdsFunctionRan;
        for (const std::string& text : c.texts)
            EXPECT_EQ(GbkToUtf8(stavrin::ToolString(id++)), text);
    }
    stavrin::SetToolStringSource({});
}

} // namespace
