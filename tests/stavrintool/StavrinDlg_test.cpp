// The main dialog's rules without a window: the model over a store loaded from the fixture,
// boxes recorded, a manual clock and a fake editor.

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <memory>

#include "platform/clock/Clock.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/prompt/Prompt.h"
#include "stavrintool/main/MainDialogModel.h"
#include "stavrintool/main/NewTemplateId.h"
#include "templates/TemplateStore.h"
#include "tests/stavrintool/ModelFixture.h"
#include "tests/support/TempDir.h"

namespace {

using namespace testsupport;
using Texts = std::vector<CString>;

// Plays the editor: records what it was given and does what the test says.
class FakeEditor : public TemplateEditor {
public:
    std::vector<int> calls;
    std::function<Result(int)> answer = [](int) { return Result{}; };
    Result Edit(int index) override {
        calls.push_back(index);
        return answer(index);
    }
};

class StavrinDlgModel : public ToolModelTest {
protected:
    void SetUp() override {
        ToolModelTest::SetUp();
        model.Init();
    }
    FakeEditor editor;
    MainDialogModel model{store, prompts, clock, &editor};
};

TEST_F(StavrinDlgModel, ShowsTheFirstGroupWithTheNamesOfItsBoundTemplates) {
    EXPECT_EQ(model.Groups(), (Texts{kGroup1, kGroup2}));
    EXPECT_EQ(model.Ports(), (Texts{"80", "8080"}));
    EXPECT_EQ(model.Accounts(), (Texts{"admin:admin", "user:1234"}));
    // The id without a template is left out.
    EXPECT_EQ(model.Devices(), (Texts{"A1", "B2"}));
    EXPECT_EQ(model.Templates(), (Texts{"A1", "B2", "C3"}));
    model.SelectGroup(1);
    EXPECT_EQ(model.Devices(), (Texts{"A1"}));
    model.SelectPort(0);
    EXPECT_EQ(model.portText, "80");
}

// Each edit's text against its add button: refused with its format hint, or added as the file
// will hold it.
TEST_F(StavrinDlgModel, AddsOnlyTextsTheFileCanHold) {
    enum Field { kGroup, kPort, kAccount };
    const std::string tooLong = std::string(10240, 'a') + ":b";
    struct Case {
        Field field;
        std::string text;
        const char* box; // "" for accepted
        const char* added;
    } cases[] = {
        {kGroup, "192.168.2.1", "格式样例：192.168.1.1:255.255.255.0", ""},
        {kGroup, tooLong, "超出模板文件允许的长度或范围", ""},
        {kGroup, "192.168.2.1:255.255.255.0", "", "192.168.2.1:255.255.255.0"},
        {kAccount, "admin", "格式样例：tolva:tolva", ""},
        {kAccount, tooLong, "超出模板文件允许的长度或范围", ""},
        {kAccount, "web:tolva:tolva", "", "web:tolva:tolva"},
        {kPort, "", "格式样例：80", ""},
        {kPort, "0", "格式样例：80", ""},
        {kPort, "65536", "格式样例：80", ""},
        {kPort, "123456789012", "格式样例：80", ""},
        {kPort, "8o", "格式样例：80", ""},
        {kPort, " 80", "格式样例：80", ""},
        {kPort, "-1", "格式样例：80", ""},
        {kPort, "65535", "", "65535"},
        {kPort, "1", "", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        model.SelectGroup(0);
        const Texts before = c.field == kGroup  ? model.Groups()
                             : c.field == kPort ? model.Ports()
                                                : model.Accounts();
        switch (c.field) {
        case kGroup:
            model.groupText = c.text.c_str();
            model.AddGroup();
            break;
        case kPort:
            model.portText = c.text.c_str();
            model.AddPort();
            break;
        case kAccount:
            model.accountText = c.text.c_str();
            model.AddAccount();
            break;
        }
        const Texts after = c.field == kGroup  ? model.Groups()
                            : c.field == kPort ? model.Ports()
                                               : model.Accounts();
        const std::vector<std::string> boxes = TakeBoxes();
        if (*c.box) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0], c.box);
            EXPECT_EQ(after, before);
        } else {
            EXPECT_TRUE(boxes.empty());
            ASSERT_EQ(after.size(), before.size() + 1);
            EXPECT_EQ(after.back(), c.added);
        }
    }
    // Whatever was accepted, the store saves and reads back.
    EXPECT_EQ(store.Save(), 1);
    TemplateStore again;
    ASSERT_TRUE(again.Load(file.string().c_str()));
    EXPECT_EQ(again.Groups()[0]->ports.GetSize(), 4);
    EXPECT_EQ(again.Groups()[0]->ports[3], "1");
    // An added group is selected and shown empty.
    EXPECT_EQ(again.Groups().size(), 3u);
}

TEST_F(StavrinDlgModel, BindingTwiceAddsOnce) {
    model.templateSel = 2; // C3, unbound
    model.BindTemplate();
    model.BindTemplate();
    EXPECT_EQ(model.Devices(), (Texts{"A1", "B2", "C3"}));
    EXPECT_EQ(store.Groups()[0]->terminalIds.GetSize(), 4);
    model.templateSel = 0; // A1, bound already
    model.BindTemplate();
    EXPECT_EQ(store.Groups()[0]->terminalIds.GetSize(), 4);
}

TEST_F(StavrinDlgModel, CopyIsDeepWithItsOwnNameAndAFreeId) {
    // The stamp of this second is taken already: the copies move on to the next free ones.
    const CString now = NewTemplateId(TemplateStore(), clock);
    store.Terminals()[1]->id = now;
    model.templateSel = 0;
    model.CopyTemplate();
    model.templateSel = 0;
    model.CopyTemplate();
    ASSERT_EQ(store.Terminals().size(), 5u);
    EXPECT_EQ(model.templateSel, 4);
    const TerminalRecord& source = *store.Terminals()[0];
    const TerminalRecord& first = *store.Terminals()[3];
    const TerminalRecord& second = *store.Terminals()[4];
    EXPECT_EQ(first.name, "A1 `copy");
    EXPECT_EQ(first.id.GetLength(), 14);
    EXPECT_NE(first.id, now);
    EXPECT_NE(second.id, first.id);
    EXPECT_EQ(std::stoll(first.id.str()), std::stoll(now.str()) + 1);
    // Everything else equal: written the same once id and name are put back.
    std::unique_ptr<TerminalRecord> restored = CopyTerminalRecord(first);
    restored->id = source.id;
    restored->name = source.name;
    ASSERT_EQ(store.ExportTerminal((dir / "source.tpl").string().c_str(), source), 1);
    ASSERT_EQ(store.ExportTerminal((dir / "copy.tpl").string().c_str(), *restored), 1);
    EXPECT_EQ(ReadFileBytes(dir / "copy.tpl"), ReadFileBytes(dir / "source.tpl"));
    // and nothing shared.
    ASSERT_FALSE(source.parameters.empty());
    EXPECT_NE(first.parameters[0].get(), source.parameters[0].get());
    store.Terminals()[0]->parameters[0]->rules.clear();
    EXPECT_FALSE(first.parameters[0]->rules.empty());
}

TEST_F(StavrinDlgModel, ImportSelectsAKnownIdAddsANewOneAndRefusesAStoreFile) {
    const std::filesystem::path device = dir / "B2.tpl";
    ASSERT_EQ(store.ExportTerminal(device.string().c_str(), *store.Terminals()[1]), 1);
    model.ImportTemplate(device.string().c_str());
    EXPECT_EQ(model.templateSel, 1);
    EXPECT_EQ(store.Terminals().size(), 3u);

    FixtureTerminal fresh = ToolFixture().terminals[1];
    fresh.id = "20250505050505";
    fresh.name = "D4";
    WriteFileBytes(dir / "D4.tpl", DeviceFile(fresh));
    model.ImportTemplate((dir / "D4.tpl").string().c_str());
    EXPECT_EQ(model.Templates().back(), "D4");
    EXPECT_EQ(model.templateSel, 3);
    EXPECT_TRUE(TakeBoxes().empty());

    model.ImportTemplate(file.string().c_str());
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{"不支持此模板文件，可能是版本或格式不兼容。"}));
    EXPECT_EQ(store.Terminals().size(), 4u);
}

TEST_F(StavrinDlgModel, UpAndDownSwapNeighboursButNotPastTheEnds) {
    struct Case {
        int selected;
        bool up;
        Texts order;
        int selectedAfter;
    } cases[] = {
        {0, true, {"A1", "B2", "C3"}, 0},   {2, false, {"A1", "B2", "C3"}, 2},
        {1, true, {"B2", "A1", "C3"}, 0},   {1, false, {"A1", "C3", "B2"}, 2},
        {-1, true, {"A1", "B2", "C3"}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selected);
        store.Reset();
        ASSERT_TRUE(store.Load(file.string().c_str()));
        model.templateSel = c.selected;
        c.up ? model.MoveTemplateUp() : model.MoveTemplateDown();
        EXPECT_EQ(model.Templates(), c.order);
        EXPECT_EQ(model.templateSel, c.selectedAfter);
    }
}

TEST_F(StavrinDlgModel, DeletingATemplateUnbindsItFromEveryGroup) {
    model.SelectGroup(1);
    model.templateSel = 0; // A1, bound to both groups
    model.DeleteTemplate();
    EXPECT_EQ(model.Templates(), (Texts{"B2", "C3"}));
    EXPECT_TRUE(model.Devices().empty());
    EXPECT_EQ(store.Groups()[1]->terminalIds.GetSize(), 0);
    model.SelectGroup(0);
    EXPECT_EQ(model.Devices(), (Texts{"B2"}));
    // An import of the same id later is not bound without a word.
    EXPECT_EQ(store.Groups()[0]->terminalIds.GetSize(), 2);
}

TEST_F(StavrinDlgModel, ADeviceLineStandsForItsOwnIdPastAMissingTemplate) {
    // Line 1 is B2; the group's entry 1 is the id without a template.
    model.deviceSel = 1;
    model.DeleteDevice();
    EXPECT_EQ(model.Devices(), (Texts{"A1"}));
    EXPECT_EQ(store.Groups()[0]->terminalIds.GetSize(), 2);
    EXPECT_EQ(store.Groups()[0]->terminalIds[1], kGoneId);
    // A double click on a device edits its template.
    model.deviceSel = 0;
    model.OpenDevice();
    EXPECT_EQ(editor.calls, (std::vector<int>{0}));
    EXPECT_EQ(model.templateSel, 0);
}

TEST_F(StavrinDlgModel, TheEditorSeamAddsOnOkOnlyAndEditReReadsTheName) {
    editor.answer = [](int) {
        return TemplateEditor::Result{platform::kIdCancel, std::make_unique<TerminalRecord>()};
    };
    model.AddTemplate();
    EXPECT_EQ(store.Terminals().size(), 3u);
    editor.answer = [](int) {
        auto record = std::make_unique<TerminalRecord>();
        record->id = "20260101000000";
        record->name = "NEW";
        return TemplateEditor::Result{platform::kIdOk, std::move(record)};
    };
    model.AddTemplate();
    EXPECT_EQ(model.Templates().back(), "NEW");
    EXPECT_EQ(model.templateSel, 3);

    // The editor renames and is cancelled: the list shows the name it left.
    editor.answer = [this](int index) {
        store.Terminals()[index]->name = "B2-renamed";
        return TemplateEditor::Result{platform::kIdCancel, nullptr};
    };
    model.templateSel = 1;
    model.EditTemplate();
    EXPECT_EQ(editor.calls, (std::vector<int>{-1, -1, 1}));
    EXPECT_EQ(model.templateSel, 1);
    EXPECT_EQ(model.Templates()[1], "B2-renamed");
    EXPECT_EQ(model.Devices(), (Texts{"A1", "B2-renamed"}));
}

TEST_F(StavrinDlgModel, ARefusedSaveSaysSoAndLeavesTheOldFile) {
    const std::string old = ReadFileBytes(file);
    auto broken = std::make_unique<FunctionRecord>();
    broken->name = "login";
    broken->urls.Add("/login.cgi"); // one step's URL without its other three parts
    store.Terminals()[0]->functions.push_back(std::move(broken));
    model.Save();
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{"保存失败"}));
    EXPECT_EQ(prompts.Boxes().back().type & 0xF0, platform::kMbIconError); // a failure looks like one
    EXPECT_EQ(ReadFileBytes(file), old);

    store.Terminals()[0]->functions.pop_back();
    model.templateSel = 2;
    model.BindTemplate();
    model.Save();
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{"保存成功"}));
    EXPECT_EQ(prompts.Boxes().back().type & 0xF0, platform::kMbIconInformation);
    TemplateStore again;
    ASSERT_TRUE(again.Load(file.string().c_str()));
    EXPECT_EQ(again.Groups()[0]->terminalIds.GetSize(), 4);
}

TEST_F(StavrinDlgModel, SaveAsWritesElsewhereAndKeepsTheStorePath) {
    const std::string old = ReadFileBytes(file);
    const CString path = store.GetPath();
    model.templateSel = 2;
    model.BindTemplate();
    model.SaveAs((dir / "other.dat").string().c_str());
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{"保存成功"}));
    EXPECT_EQ(store.GetPath(), path);
    EXPECT_EQ(ReadFileBytes(file), old);
    TemplateStore other;
    ASSERT_TRUE(other.Load((dir / "other.dat").string().c_str()));
    EXPECT_EQ(other.Groups()[0]->terminalIds.GetSize(), 4);
    // Save goes on writing the store's own file.
    model.Save();
    EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(dir / "other.dat"));
}

TEST_F(StavrinDlgModel, ExportWritesTheTemplateAndSaysSo) {
    model.templateSel = 1;
    EXPECT_EQ(model.ExportFileName(), "B2");
    model.ExportTemplate((dir / "B2.tpl").string().c_str());
    model.ExportTemplate((dir / "no-such-dir" / "B2.tpl").string().c_str());
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{"成功，请检查！", "保存失败"}));
    std::unique_ptr<TerminalRecord> back = store.ImportTerminal((dir / "B2.tpl").string().c_str());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->id, kIdB2);
}

// With nothing selected, or a selection past the list, every button does nothing.
TEST_F(StavrinDlgModel, IndexesOutsideTheListsDoNothing) {
    const std::string old = ReadFileBytes(file);
    for (int bad : {-1, 99}) {
        SCOPED_TRACE(bad);
        model.SelectGroup(bad);
        model.templateSel = bad;
        model.portSel = model.accountSel = model.deviceSel = bad;
        model.portText = "81";
        model.accountText = "a:b";
        for (auto op :
             {&MainDialogModel::AddPort, &MainDialogModel::AddAccount, &MainDialogModel::DeletePort,
              &MainDialogModel::DeleteAccount, &MainDialogModel::DeleteDevice, &MainDialogModel::OpenDevice,
              &MainDialogModel::DeleteGroup, &MainDialogModel::EditTemplate, &MainDialogModel::DeleteTemplate,
              &MainDialogModel::MoveTemplateUp, &MainDialogModel::MoveTemplateDown,
              &MainDialogModel::CopyTemplate, &MainDialogModel::BindTemplate})
            (model.*op)();
        model.SelectPort(bad);
        model.SelectAccount(bad);
        EXPECT_TRUE(model.Ports().empty());
    }
    EXPECT_TRUE(editor.calls.empty());
    EXPECT_TRUE(TakeBoxes().empty());
    EXPECT_EQ(model.Templates(), (Texts{"A1", "B2", "C3"}));
    EXPECT_EQ(store.Groups().size(), 2u);
    EXPECT_EQ(store.Save(), 1);
    EXPECT_EQ(ReadFileBytes(file), old);
}

TEST_F(StavrinDlgModel, CloseAsksAndHelpSaysWhatIsMissing) {
    prompts.QueueAnswer(platform::kIdCancel);
    prompts.QueueAnswer(platform::kIdOk);
    EXPECT_FALSE(model.Close());
    EXPECT_TRUE(model.Close());
    const auto boxes = prompts.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "退出？");
    EXPECT_EQ(boxes[0].caption, "StavrinTool");
    EXPECT_EQ(boxes[0].type & 0xF, platform::kMbOkCancel);
    TakeBoxes();

    // The help file beside the program: missing, then there without a viewer, then opened.
    const CString path = model.HelpPath();
    EXPECT_EQ(path, (dir / "TellvaneHelp_cn.chm").string().c_str());
    std::vector<CString> opened;
    bool viewer = false;
    auto open = [&](const CString& p) {
        opened.push_back(p);
        return viewer;
    };
    model.Help(open);
    WriteFileBytes(dir / "TellvaneHelp_cn.chm", "help");
    model.Help(open);
    viewer = true;
    model.Help(open);
    EXPECT_EQ(TakeBoxes(),
              (std::vector<std::string>{"找不到帮助文件：" + path.str(), "无法打开帮助文件：" + path.str()}));
    EXPECT_EQ(opened, (std::vector<CString>{path, path}));
}

} // namespace

// A file that was there but could not be read is not wiped by the next Save: asked first, kept.
TEST_F(StavrinDlgModel, FirstSaveOverAnUnreadFileAsksAndKeepsIt) {
    std::string other = ReadFileBytes(file);
    other.replace(other.find("Ver:2.0"), 7, "Ver:1.0");
    WriteFileBytes(file, other);
    store.Reset();
    ASSERT_FALSE(store.Load());
    prompts.QueueAnswer(platform::kIdCancel);
    model.Save();
    EXPECT_EQ(ReadFileBytes(file), other);
    EXPECT_FALSE(std::filesystem::exists(dir / "Terminals.dat.bak"));
    prompts.QueueAnswer(platform::kIdOk);
    model.Save();
    EXPECT_EQ(ReadFileBytes(dir / "Terminals.dat.bak"), other);
    EXPECT_NE(ReadFileBytes(file), other);
    // The replaced file is the tool's own now: no more questions.
    TakeBoxes();
    model.Save();
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{"保存成功"}));
}
