#include "stavrintool/editor/TemplateEditorModel.h"

#include <cstdlib>

#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/main/NewTemplateId.h"
#include "templates/TemplateFile.h"
#include "templates/TemplateStore.h"

using namespace stavrin;

namespace {

template <class List> bool Valid(int index, const List& list) {
    return index >= 0 && static_cast<size_t>(index) < list.size();
}

CString Decimal(int value) {
    CString text;
    text.Format("%d", value);
    return text;
}

} // namespace

const char* const TemplateEditorModel::kOperatorWords[5] = {"EQUAL", "MORE", "LESS", "NOT_EQUAL", "INCLUDE"};

TemplateEditorModel::TemplateEditorModel(TemplateStore& store, platform::PromptService& prompts,
                                         const platform::Clock& clock)
    : m_store(store), m_prompts(prompts), m_clock(clock) {}

TemplateEditorModel::~TemplateEditorModel() = default;

bool TemplateEditorModel::SetTemplate(int index) {
    m_new.reset();
    m_record = nullptr;
    m_index = -1;
    if (index == -1) {
        m_new = std::make_unique<TerminalRecord>();
        m_new->id = NewTemplateId(m_store, m_clock);
        m_record = m_new.get();
        return true;
    }
    if (!Valid(index, m_store.Terminals()))
        return false;
    m_index = index;
    m_record = m_store.Terminals()[index].get();
    return true;
}

std::unique_ptr<TerminalRecord> TemplateEditorModel::TakeNewRecord() {
    return std::move(m_new);
}

CString TemplateEditorModel::Caption() const {
    return ToolString(m_index == -1 ? kIdsAddTemplate : kIdsEditTemplate);
}

void TemplateEditorModel::Tell(const CString& text, unsigned icon) {
    ShowToolMessage(m_prompts, text, platform::kMbOk | icon);
}

bool TemplateEditorModel::Fits(const CString& text) {
    return FitsTemplateFile(m_prompts, text);
}

bool TemplateEditorModel::Fits(const CString& field, unsigned fieldName) {
    return FitsTemplateFile(m_prompts, foreign, field, fieldName);
}

bool TemplateEditorModel::ParameterFits() {
    return Fits(parameterName, kIdsParameterNameColumn) && Fits(parameterPage, kIdsFieldPage) &&
           (!isArray || Fits(arrayText, kIdsArrayColumn));
}

ParameterRecord* TemplateEditorModel::Parameter() const {
    if (!m_record || !Valid(parameterSel, m_record->parameters))
        return nullptr;
    return m_record->parameters[parameterSel].get();
}

std::vector<LocatorRecord>* TemplateEditorModel::Locators() const {
    ParameterRecord* parameter = Parameter();
    if (!parameter)
        return nullptr;
    return localLanguage ? &parameter->localLocators : &parameter->englishLocators;
}

void TemplateEditorModel::Init() {
    if (!m_record)
        return;
    deviceName = m_record->name;
    webAuth = m_record->authKind == "WEB";
    browserAuth = !webAuth;
    useHttps = m_record->https == "TRUE";
    parameterSel = locatorSel = ruleSel = propertySel = -1;
    ShowParameter(0);
}

std::vector<TemplateEditorModel::Row> TemplateEditorModel::ParameterRows() const {
    std::vector<Row> rows;
    if (m_record)
        for (const auto& p : m_record->parameters)
            rows.push_back({p->name, p->keyFlag, p->arraySpec, p->page});
    return rows;
}

std::vector<TemplateEditorModel::Row> TemplateEditorModel::LocatorRows() const {
    std::vector<Row> rows;
    if (const auto* locators = Locators())
        for (const LocatorRecord& l : *locators)
            rows.push_back({l.head, l.tail});
    return rows;
}

std::vector<TemplateEditorModel::Row> TemplateEditorModel::RuleRows() const {
    std::vector<Row> rows;
    if (const ParameterRecord* parameter = Parameter())
        for (const RuleRecord& r : parameter->rules)
            rows.push_back({r.op, r.setValue, Decimal(r.code)});
    return rows;
}

std::vector<TemplateEditorModel::Row> TemplateEditorModel::PropertyRows() const {
    std::vector<Row> rows;
    if (m_record)
        for (const auto& [name, value] : m_record->properties)
            rows.push_back({name, value});
    return rows;
}

void TemplateEditorModel::ShowParameter(int index) {
    if (!m_record || !Valid(index, m_record->parameters))
        return;
    parameterSel = index;
    const ParameterRecord& p = *m_record->parameters[index];
    parameterName = p.name;
    parameterPage = p.page;
    keyword = p.keyFlag == "TRUE";
    isArray = p.arraySpec != "FALSE";
    arrayText = isArray ? p.arraySpec : CString();
    arrayEnabled = isArray;
    englishLanguage = true;
    localLanguage = false;
    locatorSel = -1;
    joinAnd = p.joinWord == "AND";
    joinOr = !joinAnd;
    ruleSel = -1;
}

void TemplateEditorModel::SelectLocator(int index) {
    const auto* locators = Locators();
    if (!locators || !Valid(index, *locators))
        return;
    locatorSel = index;
    head = (*locators)[index].head;
    tail = (*locators)[index].tail;
}

void TemplateEditorModel::SelectRule(int index) {
    const ParameterRecord* parameter = Parameter();
    if (!parameter || !Valid(index, parameter->rules))
        return;
    ruleSel = index;
    const RuleRecord& rule = parameter->rules[index];
    for (size_t i = 0; i < operators.size(); ++i)
        operators[i] = rule.op == kOperatorWords[i];
    setValue = rule.setValue;
    codeText = Decimal(rule.code);
}

void TemplateEditorModel::SelectProperty(int index) {
    if (!m_record || !Valid(index, m_record->properties))
        return;
    propertySel = index;
    auto entry = std::next(m_record->properties.begin(), index);
    propertyName = entry->first;
    propertyValue = entry->second;
}

void TemplateEditorModel::ToggleArray() {
    arrayEnabled = isArray;
}

CString TemplateEditorModel::ArrayField(bool isArray, const CString& text) {
    if (!isArray)
        return "FALSE";
    CString trimmed = text;
    trimmed.Trim();
    // Leading digits only: a sign or anything else reads as 0.
    long long value = 0;
    for (int i = 0;
         i < trimmed.GetLength() && trimmed[i] >= '0' && trimmed[i] <= '9' && value <= kTemplateIntMax; ++i)
        value = value * 10 + (trimmed[i] - '0');
    return value <= 0 ? CString("TRUE") : trimmed;
}

bool TemplateEditorModel::ParseCode(const CString& text, int& code) {
    int i = 0;
    const int length = text.GetLength();
    while (i < length && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < length && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kTemplateIntMax + 1LL)
            return false;
    }
    if (negative)
        value = -value;
    if (value < kTemplateIntMin || value > kTemplateIntMax)
        return false;
    code = static_cast<int>(value);
    return true;
}

void TemplateEditorModel::AddParameter() {
    if (!m_record)
        return;
    if (!ParameterFits())
        return;
    const CString array = ArrayField(isArray, arrayText);
    auto parameter = std::make_unique<ParameterRecord>();
    parameter->name = parameterName;
    parameter->page = parameterPage;
    parameter->keyFlag = keyword ? "TRUE" : "FALSE";
    parameter->arraySpec = array;
    parameter->joinWord = "OR";
    m_record->parameters.push_back(std::move(parameter));
    ShowParameter(static_cast<int>(m_record->parameters.size()) - 1);
}

void TemplateEditorModel::ModifyParameter() {
    ParameterRecord* parameter = Parameter();
    if (!parameter)
        return;
    if (!ParameterFits())
        return;
    const CString array = ArrayField(isArray, arrayText);
    parameter->name = parameterName;
    parameter->page = parameterPage;
    parameter->keyFlag = keyword ? "TRUE" : "FALSE";
    parameter->arraySpec = array;
}

void TemplateEditorModel::DeleteParameter() {
    if (!Parameter())
        return;
    m_record->parameters.erase(m_record->parameters.begin() + parameterSel);
    parameterSel = locatorSel = ruleSel = -1;
}

void TemplateEditorModel::ChooseLanguage(bool local) {
    // The buttons act as one choice: a click on the checked one keeps it, so the list shown
    // is always the list that Add and Delete change.
    localLanguage = englishLanguage = false;
    locatorSel = -1;
    if (!Parameter())
        return;
    localLanguage = local;
    englishLanguage = !local;
    SelectLocator(0);
}

void TemplateEditorModel::AddLocator() {
    auto* locators = Locators();
    if (!locators || (!localLanguage && !englishLanguage))
        return;
    if (!Fits(head, kIdsHeadColumn) || !Fits(tail, kIdsTailColumn))
        return;
    locators->push_back({head, tail});
    locatorSel = static_cast<int>(locators->size()) - 1;
}

void TemplateEditorModel::DeleteLocator() {
    auto* locators = Locators();
    if (!locators || !Valid(locatorSel, *locators))
        return;
    locators->erase(locators->begin() + locatorSel);
    locatorSel = -1;
}

void TemplateEditorModel::AddRule() {
    ParameterRecord* parameter = Parameter();
    if (!parameter)
        return;
    const char* word = nullptr;
    for (size_t i = 0; i < operators.size() && !word; ++i)
        if (operators[i])
            word = kOperatorWords[i];
    if (!word)
        return;
    int code = 0;
    if (!ParseCode(codeText, code)) {
        Tell(ToolString(kIdsTooLong), platform::kMbIconWarning);
        return;
    }
    if (!Fits(setValue, kIdsSetValueColumn))
        return;
    parameter->rules.push_back({word, setValue, code});
    ruleSel = static_cast<int>(parameter->rules.size()) - 1;
}

void TemplateEditorModel::DeleteRule() {
    ParameterRecord* parameter = Parameter();
    if (!parameter || !Valid(ruleSel, parameter->rules))
        return;
    parameter->rules.erase(parameter->rules.begin() + ruleSel);
    ruleSel = -1;
}

void TemplateEditorModel::ChooseJoinWord(bool isAnd) {
    ParameterRecord* parameter = Parameter();
    if (!parameter) {
        // Nothing to set: the buttons keep showing nothing chosen.
        joinAnd = joinOr = false;
        return;
    }
    parameter->joinWord = isAnd ? "AND" : "OR";
    joinAnd = isAnd;
    joinOr = !isAnd;
}

void TemplateEditorModel::AddProperty() {
    if (!m_record)
        return;
    if (m_record->properties.count(propertyName)) {
        Tell("name already exist!", platform::kMbIconWarning);
        return;
    }
    if (!Fits(propertyName, kIdsPropertyNameColumn) || !Fits(propertyValue, kIdsPropertyValueColumn))
        return;
    m_record->properties[propertyName] = propertyValue;
    propertySel = static_cast<int>(
        std::distance(m_record->properties.begin(), m_record->properties.find(propertyName)));
}

void TemplateEditorModel::DeleteProperty() {
    if (!m_record || !Valid(propertySel, m_record->properties))
        return;
    m_record->properties.erase(std::next(m_record->properties.begin(), propertySel));
    propertySel = -1;
}

void TemplateEditorModel::ChooseWebAuth() {
    if (!m_record)
        return;
    m_record->authKind = "WEB";
    webAuth = true;
    browserAuth = false;
    Tell("Notice: must configurate 'login' function in configuration templet.", platform::kMbIconInformation);
}

void TemplateEditorModel::ChooseBrowserAuth() {
    if (!m_record)
        return;
    m_record->authKind = "BRW";
    webAuth = false;
    browserAuth = true;
}

void TemplateEditorModel::SetVersionParameter(const std::vector<LocatorRecord>& markers, const CString& url,
                                              const CString& version) {
    if (!m_record)
        return;
    bool fits = Fits(url) && Fits(version);
    for (size_t i = 0; fits && i < markers.size(); ++i)
        fits = Fits(markers[i].head) && Fits(markers[i].tail);
    if (!fits)
        return;
    // The engine looks parameters up without regard to case and takes the first, so that is
    // the one to reuse: another spelling before it would hide the confirmed version.
    auto& parameters = m_record->parameters;
    int index = -1;
    for (size_t i = 0; i < parameters.size() && index < 0; ++i)
        if (parameters[i]->name.CompareNoCase(TemplateEditorModel::kVersionParameter) == 0)
            index = static_cast<int>(i);
    if (index < 0) {
        parameters.push_back(std::make_unique<ParameterRecord>());
        index = static_cast<int>(parameters.size()) - 1;
    }
    ParameterRecord& p = *parameters[index];
    p.name = TemplateEditorModel::kVersionParameter;
    p.page = url;
    p.keyFlag = "TRUE";
    p.arraySpec = "FALSE";
    p.joinWord = "OR";
    p.englishLocators = markers;
    p.rules.assign(1, RuleRecord{"INCLUDE", version, 1});
    ShowParameter(index);
}

bool TemplateEditorModel::Ok() {
    if (!m_record)
        return false;
    // Checked before anything is written: a refused OK then Cancel must not leave a stored
    // template without its name.
    if (deviceName.IsEmpty()) {
        Tell("请输入设备名称", platform::kMbIconWarning);
        return false;
    }
    if (!Fits(deviceName, kIdsFieldDeviceName))
        return false;
    m_record->name = deviceName;
    m_record->authKind = webAuth ? "WEB" : "BRW";
    m_record->https = useHttps ? "TRUE" : "FALSE";
    return true;
}
