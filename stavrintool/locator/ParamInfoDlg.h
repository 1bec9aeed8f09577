#pragma once
// ParamInfoDlg: asks the technician to confirm a locate's result; OK hands the markers, the
// page and the include value to the template editor. Its rules are ParamInfoModel's.

#include "platform/ui/Dialog.h"
#include "stavrintool/app/BoxText.h"
#include "stavrintool/locator/ParamInfoModel.h"

class LocatedVersionSink;

class ParamInfoDlg : public platform::ui::Dialog {
public:
    static constexpr int IDD = 134;
    enum : int {
        IDC_LOCATORS = 1054,
        IDC_PAGE = 1032,
        IDC_VERSION = 1096,
        IDC_NAME = 1029,
        IDC_KEYWORD = 1064,
        IDC_INCLUDE = 1095,
        IDC_HEAD = 1048,
        IDC_TAIL = 1049,
    };
    explicit ParamInfoDlg(platform::ui::Window* parent = nullptr) : Dialog(IDD, parent) {}

    void SetLocators(const std::vector<LocatorRecord>& locators) { m_model.SetLocators(locators); }
    void SetPage(const CString& url) { m_model.SetPage(url); }
    void SetVersion(const CString& version) { m_model.SetVersion(version); }
    // The page's charset: the texts above are its bytes.
    void SetCharset(const std::string& charset) { m_charset = charset; }
    // Not owned; receives the result on OK.
    void SetEditor(LocatedVersionSink* editor) { m_editor = editor; }
    const ParamInfoModel& Model() const { return m_model; }

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnControlChanged(int id) override;

private:
    ParamInfoModel m_model;
    LocatedVersionSink* m_editor = nullptr;
    std::string m_charset;
    BoxTexts m_boxes;
};
