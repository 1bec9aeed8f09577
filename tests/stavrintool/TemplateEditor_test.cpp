// The template editor's rules without a window: the model over the fixture's store (A1 holds
// three parameters, the first "Firmware_Version" with both locator lists and two rules; B2
// authenticates by browser and has no "login"), boxes recorded.

#include <gtest/gtest.h>

#include "stavrintool/editor/FunctionEditorModel.h"
#include "stavrintool/editor/TemplateEditorModel.h"
#include "tests/stavrintool/ModelFixture.h"

namespace {

using namespace testsupport;
using Rows = std::vector<TemplateEditorModel::Row>;

class TemplateEditorModelTest : public ToolModelTest {
protected:
    // The editor on the store's template of that index, its fields filled.
    void Open(int index) {
        ASSERT_TRUE(model.SetTemplate(index));
        model.Init();
    }
    TerminalRecord& Stored(int index) { return *store.Terminals()[index]; }

    TemplateEditorModel model{store, prompts, clock};
};

TEST_F(TemplateEditorModelTest, ANewTemplateIsTheCallersWithAFreshIdAnExistingOneIsTheStores) {
    ASSERT_TRUE(model.SetTemplate(-1));
    EXPECT_EQ(model.Caption(), "增加设备模板");
    EXPECT_EQ(model.Record()->id, "20261210120000");
    model.Init();
    EXPECT_TRUE(model.ParameterRows().empty());
    EXPECT_EQ(store.Terminals().size(), 3u);
    std::unique_ptr<TerminalRecord> taken = model.TakeNewRecord();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->id.GetLength(), 14);

    ASSERT_TRUE(model.SetTemplate(1));
    EXPECT_EQ(model.Caption(), "修改设备模板");
    EXPECT_EQ(model.Record(), &Stored(1));
    EXPECT_FALSE(model.TakeNewRecord());
    EXPECT_FALSE(model.SetTemplate(3));
    EXPECT_FALSE(model.Record());
}

TEST_F(TemplateEditorModelTest, OpensOnTheRecordWithTheFirstParameterShownInEnglish) {
    Open(0);
    EXPECT_EQ(model.deviceName, "A1");
    EXPECT_TRUE(model.webAuth);
    EXPECT_FALSE(model.browserAuth);
    EXPECT_FALSE(model.useHttps);
    EXPECT_EQ(model.ParameterRows(), (Rows{{"Firmware_Version", "TRUE", "FALSE", "/status.htm"},
                                           {"Model", "TRUE", "FALSE", "/status.htm"},
                                           {"Wan_Mode", "FALSE", "1,3", "/wan.htm"}}));
    EXPECT_EQ(model.parameterSel, 0);
    EXPECT_TRUE(model.englishLanguage);
    EXPECT_EQ(model.LocatorRows(), (Rows{{"Version</td><td>", "</td>"}, {"V", " "}}));
    EXPECT_EQ(model.RuleRows(), (Rows{{"EQUAL", "V1.0", "0"}, {"INCLUDE", "1.", "0"}}));
    EXPECT_TRUE(model.joinOr);
    EXPECT_EQ(model.PropertyRows(), (Rows{{"Vendor", "\xB2\xE2\xCA\xD4"}, {"model", "A1"}}));

    // The local list chosen, then another parameter: back to its English locators.
    model.ChooseLanguage(true);
    EXPECT_EQ(model.LocatorRows(), (Rows{{"<td>\xB0\xE6\xB1\xBE</td><td>", "</td>"}}));
    model.ShowParameter(2);
    EXPECT_TRUE(model.englishLanguage);
    EXPECT_FALSE(model.localLanguage);
    EXPECT_EQ(model.LocatorRows(), (Rows{{std::string("a\0b", 3), "\r\n"}}));
    EXPECT_TRUE(model.isArray);
    EXPECT_TRUE(model.arrayEnabled);
    EXPECT_EQ(model.arrayText, "1,3");
    EXPECT_TRUE(model.joinAnd);
    EXPECT_EQ(model.RuleRows(), (Rows{{"MORE", "2", "-5"}, {"LESS", "9", "12345678"}}));
}

TEST_F(TemplateEditorModelTest, AddedParametersTakeTheArrayFieldFromTheBox) {
    Open(1);
    struct Case {
        bool checked;
        const char* box;
        const char* field;
    } cases[] = {
        {true, " 3 ", "3"},  {true, "0", "TRUE"}, {true, "-2", "TRUE"},
        {true, "x", "TRUE"}, {true, "", "TRUE"},  {false, "3", "FALSE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        model.parameterName = "Lan_Ip";
        model.parameterPage = "/lan.htm";
        model.keyword = true;
        model.isArray = c.checked;
        model.arrayText = c.box;
        model.AddParameter();
        const ParameterRecord& added = *Stored(1).parameters.back();
        EXPECT_EQ(added.arraySpec, c.field);
        EXPECT_EQ(added.keyFlag, "TRUE");
        EXPECT_EQ(added.joinWord, "OR");
        EXPECT_EQ(model.parameterSel, static_cast<int>(Stored(1).parameters.size()) - 1);
    }
    EXPECT_EQ(Stored(1).parameters.size(), 7u);

    // Modify rewrites the boxes' parts and keeps the rest.
    model.ShowParameter(0);
    model.parameterName = "Version";
    model.keyword = false;
    model.isArray = true;
    model.arrayText = "2";
    model.ModifyParameter();
    EXPECT_EQ(ParameterLine(*Stored(1).parameters[0]),
              "Version|/info.html|FALSE|2|OR local:[ver=,;] english:[ver=,;] rules:");
}

// The operator boxes checked (in the order "=", ">=", "<", "!=", "包含") and the word added.
TEST_F(TemplateEditorModelTest, ARuleTakesTheFirstCheckedOperatorInTestOrder) {
    Open(0);
    model.ShowParameter(1);
    struct Case {
        std::array<bool, 5> checked;
        const char* word; // "" nothing added
    } cases[] = {
        {{true, false, false, false, false}, "EQUAL"},   {{false, true, false, false, true}, "MORE"},
        {{false, false, true, false, false}, "LESS"},    {{false, false, false, true, true}, "NOT_EQUAL"},
        {{false, false, false, false, true}, "INCLUDE"}, {{false, false, false, false, false}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        const size_t before = Stored(0).parameters[1]->rules.size();
        model.operators = c.checked;
        model.setValue = "A1";
        model.codeText = "3";
        model.AddRule();
        const auto& rules = Stored(0).parameters[1]->rules;
        if (*c.word == 0) {
            EXPECT_EQ(rules.size(), before);
            continue;
        }
        ASSERT_EQ(rules.size(), before + 1);
        EXPECT_EQ(rules.back().op, c.word);
        EXPECT_EQ(model.ruleSel, static_cast<int>(before));
    }
    // Selecting a rule checks its word only and shows its value and code.
    model.SelectRule(0);
    EXPECT_EQ(model.operators, (std::array<bool, 5>{true, false, false, false, false}));
    model.ShowParameter(2);
    model.SelectRule(0);
    EXPECT_EQ(model.operators, (std::array<bool, 5>{false, true, false, false, false}));
    EXPECT_EQ(model.codeText, "-5");
    model.DeleteRule();
    EXPECT_EQ(model.RuleRows(), (Rows{{"LESS", "9", "12345678"}}));
}

// A code as typed: a sign and digits read like atoi, kept within the file's 8 characters.
TEST_F(TemplateEditorModelTest, RuleCodesKeepTheirSignAndStayWithinTheFile) {
    Open(0);
    struct Case {
        const char* box;
        bool added;
        int code;
    } cases[] = {
        {"-5", true, -5},
        {"+7", true, 7},
        {" 42x", true, 42},
        {"", true, 0},
        {"x", true, 0},
        {"-9999999", true, -9999999},
        {"99999999", true, 99999999},
        {"123456789", false, 0},
        {"-10000000", false, 0},
        {"99999999999999999999", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        const size_t before = Stored(0).parameters[0]->rules.size();
        model.operators = {true, false, false, false, false};
        model.codeText = c.box;
        model.AddRule();
        const auto& rules = Stored(0).parameters[0]->rules;
        if (c.added) {
            ASSERT_EQ(rules.size(), before + 1);
            EXPECT_EQ(rules.back().code, c.code);
            EXPECT_TRUE(TakeBoxes().empty());
        } else {
            EXPECT_EQ(rules.size(), before);
            EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{"超出模板文件允许的长度或范围"}));
        }
    }
    // A stored negative code shown and added again stays what it was.
    model.ShowParameter(2);
    model.SelectRule(0);
    model.AddRule();
    EXPECT_EQ(Stored(0).parameters[2]->rules.back().code, -5);
    EXPECT_EQ(store.Save(), 1);
}

TEST_F(TemplateEditorModelTest, LocatorsGoToTheCheckedLanguagesList) {
    Open(0);
    ParameterRecord& p = *Stored(0).parameters[0];
    model.head = "<i>";
    model.tail = "</i>";
    model.AddLocator();
    EXPECT_EQ(p.englishLocators.size(), 3u);
    EXPECT_EQ(model.locatorSel, 2);

    model.ChooseLanguage(true);
    EXPECT_TRUE(model.localLanguage);
    EXPECT_FALSE(model.englishLanguage);
    EXPECT_EQ(model.locatorSel, 0);
    EXPECT_EQ(model.head, "<td>\xB0\xE6\xB1\xBE</td><td>");
    model.head = "<b>";
    model.AddLocator();
    ASSERT_EQ(p.localLocators.size(), 2u);
    EXPECT_EQ(p.localLocators[1].head, "<b>");

    // A second click on the checked language keeps it: Delete works on the list shown.
    model.ChooseLanguage(true);
    EXPECT_TRUE(model.localLanguage);
    model.SelectLocator(1);
    model.DeleteLocator();
    EXPECT_EQ(p.localLocators.size(), 1u);
    EXPECT_EQ(p.englishLocators.size(), 3u);
    model.ChooseLanguage(false);
    model.SelectLocator(0);
    model.DeleteLocator();
    EXPECT_EQ(model.LocatorRows(), (Rows{{"V", " "}, {"<i>", "</i>"}}));

    // Without a parameter a language click is undone.
    model.DeleteParameter();
    model.ChooseLanguage(true);
    EXPECT_FALSE(model.localLanguage);
    EXPECT_FALSE(model.englishLanguage);
    EXPECT_TRUE(model.LocatorRows().empty());
}

TEST_F(TemplateEditorModelTest, TheVersionParameterIsReusedAndItsEnglishLocatorsAndRuleReplaced) {
    Open(0);
    const std::vector<LocatorRecord> first = {{"ver=", ";"}, {"V", "<"}};
    model.SetVersionParameter(first, "/ver.htm", "V2.0");
    model.SetVersionParameter({{"Version: ", "\r\n"}}, "/about.htm", "V2.1");
    ASSERT_EQ(Stored(0).parameters.size(), 3u);
    EXPECT_EQ(ParameterLine(*Stored(0).parameters[0]),
              "Firmware_Version|/about.htm|TRUE|FALSE|OR local:[<td>\xB0\xE6\xB1\xBE</td><td>,</td>] "
              "english:[Version: ,\r\n] rules:[INCLUDE,V2.1,1]");
    EXPECT_EQ(model.parameterSel, 0);
    EXPECT_EQ(model.LocatorRows(), (Rows{{"Version: ", "\r\n"}}));
    EXPECT_EQ(model.RuleRows(), (Rows{{"INCLUDE", "V2.1", "1"}}));

    // Another spelling is the engine's same parameter: reused and named as the engine reads it.
    Open(1);
    Stored(1).parameters[0]->name = "firmware_version";
    model.SetVersionParameter(first, "/ver.htm", "V3");
    ASSERT_EQ(Stored(1).parameters.size(), 1u);
    EXPECT_EQ(Stored(1).parameters[0]->name, "Firmware_Version");

    // A template without one gets a new parameter, shown.
    ASSERT_TRUE(model.SetTemplate(-1));
    model.Init();
    model.SetVersionParameter(first, "/ver.htm", "V3");
    EXPECT_EQ(model.ParameterRows(), (Rows{{"Firmware_Version", "TRUE", "FALSE", "/ver.htm"}}));
    EXPECT_EQ(model.parameterSel, 0);
    EXPECT_EQ(model.LocatorRows().size(), 2u);
}

TEST_F(TemplateEditorModelTest, PropertiesRefuseANameTheyAlreadyHold) {
    Open(0);
    model.propertyName = "model";
    model.propertyValue = "B9";
    model.AddProperty();
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{"name already exist!"}));
    EXPECT_EQ(Stored(0).properties.at("model"), "A1");
    model.propertyName = "";
    model.propertyValue = "none";
    model.AddProperty();
    EXPECT_EQ(model.PropertyRows(), (Rows{{"", "none"}, {"Vendor", "\xB2\xE2\xCA\xD4"}, {"model", "A1"}}));
    model.SelectProperty(2);
    EXPECT_EQ(model.propertyValue, "A1");
    model.DeleteProperty();
    EXPECT_EQ(Stored(0).properties.size(), 2u);
    EXPECT_FALSE(Stored(0).properties.count("model"));
}

TEST_F(TemplateEditorModelTest, WebAuthenticationWarnsAndOkStillSucceedsWithoutLogin) {
    Open(1);
    model.ChooseWebAuth();
    EXPECT_EQ(Stored(1).authKind, "WEB");
    EXPECT_TRUE(model.webAuth);
    EXPECT_FALSE(model.browserAuth);
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{
                               "Notice: must configurate 'login' function in configuration templet."}));
    model.deviceName = "B2 new";
    model.useHttps = false;
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(Stored(1).name, "B2 new");
    EXPECT_EQ(Stored(1).authKind, "WEB");
    EXPECT_EQ(Stored(1).https, "FALSE");
    model.ChooseBrowserAuth();
    EXPECT_EQ(Stored(1).authKind, "BRW");
    EXPECT_TRUE(TakeBoxes().empty());
}

TEST_F(TemplateEditorModelTest, AnEmptyNameIsRefusedAndLeavesTheRecordAsItWas) {
    Open(0);
    model.deviceName = "";
    model.webAuth = false;
    model.useHttps = true;
    EXPECT_FALSE(model.Ok());
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{"请输入设备名称"}));
    EXPECT_EQ(Stored(0).name, "A1");
    EXPECT_EQ(Stored(0).authKind, "WEB");
    EXPECT_EQ(Stored(0).https, "FALSE");
    model.deviceName = std::string(10240, 'n').c_str();
    EXPECT_FALSE(model.Ok());
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{"超出模板文件允许的长度或范围"}));
    EXPECT_EQ(Stored(0).name, "A1");
}

// The editor works on the stored record: Cancel (no OK) keeps what was deleted.
TEST_F(TemplateEditorModelTest, ADeletedParameterOfAStoredTemplateStaysDeleted) {
    Open(0);
    model.ShowParameter(1);
    model.DeleteParameter();
    EXPECT_EQ(model.parameterSel, -1);
    EXPECT_TRUE(model.LocatorRows().empty());
    EXPECT_TRUE(model.RuleRows().empty());
    ASSERT_EQ(Stored(0).parameters.size(), 2u);
    EXPECT_EQ(Stored(0).parameters[1]->name, "Wan_Mode");
}

TEST_F(TemplateEditorModelTest, IndexesOutsideTheListsAndOverlongTextsChangeNothing) {
    Open(0);
    const std::unique_ptr<TerminalRecord> before = CopyTerminalRecord(Stored(0));
    auto same = [&] { return SameRecord(Stored(0), *before); };
    model.operators = {true, false, false, false, false};
    model.parameterSel = 7;
    for (auto op : {&TemplateEditorModel::ModifyParameter, &TemplateEditorModel::DeleteParameter,
                    &TemplateEditorModel::AddLocator, &TemplateEditorModel::AddRule})
        (model.*op)();
    model.ChooseJoinWord(true);
    model.ShowParameter(-1);
    model.ShowParameter(3);
    model.parameterSel = 0;
    model.locatorSel = 2;
    model.ruleSel = -1;
    model.propertySel = 2;
    model.DeleteLocator();
    model.DeleteRule();
    model.DeleteProperty();
    model.SelectLocator(5);
    model.SelectRule(2);
    model.SelectProperty(-1);
    EXPECT_TRUE(same());
    EXPECT_TRUE(TakeBoxes().empty());

    const CString tooLong = std::string(10240, 'a').c_str();
    model.parameterName = tooLong;
    model.AddParameter();
    model.head = tooLong;
    model.AddLocator();
    model.setValue = tooLong;
    model.AddRule();
    model.propertyName = tooLong;
    model.AddProperty();
    model.SetVersionParameter({{"v", tooLong}}, "/v.htm", "1");
    EXPECT_EQ(TakeBoxes().size(), 5u);
    EXPECT_TRUE(same());
    EXPECT_EQ(store.Save(), 1);
}

// Edits of both editors on one template, saved and read back by the store's reader.
TEST_F(TemplateEditorModelTest, TheStoreAfterEditsSavesAndLoadsBackEqual) {
    Open(1);
    model.parameterName = "\xC4\xA3\xD0\xCD";
    model.parameterPage = "/m.htm";
    model.AddParameter();
    model.head = "<td>";
    model.tail = "</td>";
    model.AddLocator();
    model.operators = {false, false, false, false, true};
    model.setValue = "X";
    model.codeText = "-7";
    model.AddRule();
    model.ChooseJoinWord(true);
    model.propertyName = "p";
    model.propertyValue = "v";
    model.AddProperty();
    model.ChooseWebAuth();
    FunctionEditorModel functions(*model.Record(), prompts);
    functions.Init();
    functions.functionName = "login";
    functions.AddFunction();
    functions.ChooseFunction(1);
    functions.stepUrl = "/login.cgi";
    functions.postData = "u=<username>&p=<userpassword>";
    functions.headers = "Referer: /\r\n";
    functions.AddStep();
    functions.uploadName = "upgradefirmware";
    functions.uploadPage = "/up.htm";
    functions.AddUpload();
    functions.downloadUrl = "ftp://h/f.bin";
    functions.ApplyDownloadUrl();
    model.deviceName = "B2 edited";
    ASSERT_TRUE(model.Ok());

    ASSERT_EQ(store.Save(), 1);
    TemplateStore loaded;
    ASSERT_TRUE(loaded.Load(file.string().c_str()));
    ASSERT_EQ(loaded.Terminals().size(), 3u);
    EXPECT_TRUE(SameRecord(Stored(1), *loaded.Terminals()[1]));
    const TerminalRecord& back = *loaded.Terminals()[1];
    EXPECT_EQ(back.name, "B2 edited");
    EXPECT_EQ(back.parameters[1]->rules[0].code, -7);
    EXPECT_EQ(back.parameters[1]->joinWord, "AND");
    EXPECT_EQ(back.functions[1]->postData[0], "u=<username>&p=<userpassword>");
    EXPECT_EQ(back.downloadUrl, "ftp://h/f.bin");
}

} // namespace
