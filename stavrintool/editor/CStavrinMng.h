#pragma once
// CStavrinMng: the template editor's window. Its rules are TemplateEditorModel's; this class
// moves the boxes, checks and selections in, hands each control to the model and shows the
// result again.

#include "platform/clock/Clock.h"
#include "platform/ui/Dialog.h"
#include "stavrintool/editor/TemplateEditorModel.h"
#include "stavrintool/locator/LocatedVersion.h"

class MyBrowerDlg;

class CStavrinMng : public platform::ui::Dialog, public LocatedVersionSink {
public:
    static constexpr int IDD = 129;
    CStavrinMng(TemplateStore& store, platform::ui::Window* parent = nullptr,
                const platform::Clock& clock = platform::RealClock());
    ~CStavrinMng() override;

    // Before the run: -1 for a new template, else the store's index; false outside the store.
    bool SetTemplate(int index) { return m_model.SetTemplate(index); }
    std::unique_ptr<TerminalRecord> TakeNewRecord() { return m_model.TakeNewRecord(); }
    // The version locator's confirmed result, shown at once.
    void SetVersionParameter(const std::vector<LocatorRecord>& markers, const CString& url,
                             const CString& version);
    void OnVersionLocated(const LocatedVersion& located) override {
        SetVersionParameter(located.markers, located.page, located.include);
    }
    TemplateEditorModel& Model() { return m_model; }
    // The version locator's window, made hidden at initialisation; null before.
    MyBrowerDlg* Locator() { return m_locator.get(); }

    enum : int {
        IDC_DEVICE_NAME = 1028,
        IDC_WEB_AUTH = 1072,
        IDC_BROWSER_AUTH = 1073,
        IDC_HTTPS = 1068,
        IDC_PARAMETERS = 1053,
        IDC_PARAMETER_NAME = 1029,
        IDC_PARAMETER_PAGE = 1032,
        IDC_KEYWORD = 1064,
        IDC_ARRAY = 1062,
        IDC_ARRAY_INDEX = 1011,
        IDC_PARAMETER_ADD = 1041,
        IDC_PARAMETER_MODIFY = 1065,
        IDC_PARAMETER_DELETE = 1051,
        IDC_LOCAL = 1056,
        IDC_ENGLISH = 1057,
        IDC_LOCATORS = 1054,
        IDC_HEAD = 1048,
        IDC_TAIL = 1049,
        IDC_LOCATOR_ADD = 1042,
        IDC_LOCATOR_DELETE = 1043,
        IDC_EQUAL = 1058,
        IDC_MORE = 1059,
        IDC_LESS = 1060,
        IDC_NOT_EQUAL = 1061,
        IDC_INCLUDE = 1063,
        IDC_SET_VALUE = 1038,
        IDC_CODE = 1071,
        IDC_RULES = 1033,
        IDC_RULE_ADD = 1039,
        IDC_RULE_DELETE = 1040,
        IDC_AND = 1066,
        IDC_OR = 1067,
        IDC_PROPERTIES = 1010,
        IDC_PROPERTY_NAME = 1014,
        IDC_PROPERTY_VALUE = 1015,
        IDC_PROPERTY_ADD = 1007,
        IDC_PROPERTY_DELETE = 1008,
        IDC_FUNCTIONS = 1070,
        IDC_FIND_VERSION = 1019,
        IDC_CANCEL = 1017,
    };
    static constexpr int kOperatorIds[5] = {IDC_EQUAL, IDC_MORE, IDC_LESS, IDC_NOT_EQUAL, IDC_INCLUDE};

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;
    void OnControlChanged(int id) override;

private:
    // Boxes, checks and selections into the model, and the model's state out.
    void Store();
    void Load();

    TemplateEditorModel m_model;
    std::unique_ptr<MyBrowerDlg> m_locator;
    // Set while Load fills the controls, whose own change events are not the user's.
    bool m_loading = false;
};
