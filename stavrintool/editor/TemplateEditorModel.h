#pragma once
// The rules of the template editor without any window: its boxes and check boxes as fields, the
// four lists as rows, the selections, and an operation per control. The record is edited live:
// parameters, locators, rules, properties and the authentication buttons change it at once;
// only the device name, the final authentication mode and the HTTPS flag wait for OK. The
// window copies the fields and selections in, calls the operation and shows the result.
//
// Every operation checks its indexes and does nothing without a selection; a text or code that
// would not fit the template file is refused with string 144, and a box whose text GBK cannot
// hold with string 165 naming it, so no edit makes a save fail or changes a text.

#include <array>
#include <memory>
#include <vector>

#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/text/CString.h"
#include "stavrintool/app/ToolStrings.h"
#include "templates/TemplateRecords.h"

class TemplateStore;

class TemplateEditorModel {
public:
    TemplateEditorModel(TemplateStore& store, platform::PromptService& prompts, const platform::Clock& clock);
    ~TemplateEditorModel();

    // -1: a new record with a fresh id, held here until TakeNewRecord; else the store's record of
    // that index, edited in place. False for an index outside the store.
    bool SetTemplate(int index);
    TerminalRecord* Record() const { return m_record; }
    int Index() const { return m_index; }
    // The new record (none for an existing one, or once taken).
    std::unique_ptr<TerminalRecord> TakeNewRecord();
    // String 102 for a new template, 103 for an existing one.
    CString Caption() const;

    // The fields from the record; parameter 0 selected and shown.
    void Init();

    using Row = std::vector<CString>;
    // Name, keyword flag, array field, page URL.
    std::vector<Row> ParameterRows() const;
    // Head and tail of the selected parameter's locators of the checked language.
    std::vector<Row> LocatorRows() const;
    // Word, set value, code.
    std::vector<Row> RuleRows() const;
    // Name, value.
    std::vector<Row> PropertyRows() const;

    // The boxes and check boxes.
    CString deviceName;
    bool webAuth = false, browserAuth = false, useHttps = false;
    CString parameterName, parameterPage;
    bool keyword = false, isArray = false;
    CString arrayText;
    bool arrayEnabled = false;
    bool localLanguage = false, englishLanguage = false;
    CString head, tail;
    // "=", ">=", "<", "!=", "包含": the order in which a new rule's word is chosen.
    std::array<bool, 5> operators{};
    CString setValue, codeText;
    bool joinAnd = false, joinOr = false;
    CString propertyName, propertyValue;
    // Those of the boxes above whose text GBK cannot hold.
    stavrin::ForeignTexts foreign;
    // Selections, -1 for none.
    int parameterSel = -1, locatorSel = -1, ruleSel = -1, propertySel = -1;

    static const char* const kOperatorWords[5];

    void ShowParameter(int index);
    void SelectLocator(int index);
    void SelectRule(int index);
    void SelectProperty(int index);
    // "数组" clicked: the array box follows it.
    void ToggleArray();

    void AddParameter();
    void ModifyParameter();
    void DeleteParameter();

    // A language button clicked: it is checked, the other cleared, its locators shown. Without
    // a parameter neither stays checked.
    void ChooseLanguage(bool local);
    void AddLocator();
    void DeleteLocator();

    void AddRule();
    void DeleteRule();
    void ChooseJoinWord(bool isAnd);

    void AddProperty();
    void DeleteProperty();

    // The authentication buttons: the record's mode changes at once.
    void ChooseWebAuth();
    void ChooseBrowserAuth();

    // The version locator's result: the parameter "Firmware_Version" (the first one so named,
    // without regard to case, else a new one) reads the version from the page through these
    // English markers, with the single rule INCLUDE version.
    void SetVersionParameter(const std::vector<LocatorRecord>& markers, const CString& url,
                             const CString& version);
    static constexpr const char* kVersionParameter = "Firmware_Version";

    // OK: true when the dialog may end with IDOK. An empty name is refused and changes nothing.
    bool Ok();

    // The array field of a parameter: "FALSE" unchecked; else the trimmed text, or "TRUE" when
    // its leading number is at most 0.
    static CString ArrayField(bool isArray, const CString& text);
    // A rule code as the box holds it (blanks, a sign, digits; 0 without digits); false when
    // it does not fit the file's 8 characters.
    static bool ParseCode(const CString& text, int& code);

private:
    ParameterRecord* Parameter() const;
    std::vector<LocatorRecord>* Locators() const;
    bool Fits(const CString& text);
    // The box's text, refused naming the box (string fieldName).
    bool Fits(const CString& field, unsigned fieldName);
    bool ParameterFits();
    void Tell(const CString& text, unsigned icon);

    TemplateStore& m_store;
    platform::PromptService& m_prompts;
    const platform::Clock& m_clock;
    std::unique_ptr<TerminalRecord> m_new;
    TerminalRecord* m_record = nullptr;
    int m_index = -1;
};
