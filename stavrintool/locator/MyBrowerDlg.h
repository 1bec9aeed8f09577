#pragma once
// MyBrowerDlg: the version locator's window, modeless beside the template editor for the
// editor's life: the address row above the tool's browser panel, "自动定位" turning the
// highlighted version into markers that ParamInfoDlg offers to store.

#include <vector>

#include "resizable/ResizableDialog.h"
#include "stavrintool/locator/LocatedVersion.h"
#include "stavrintool/locator/LocatorPanel.h"

class MyBrowerDlg : public resizable::CResizableDialog {
public:
    static constexpr int IDD = 131;
    enum : int { IDC_URL = 1091, IDC_LOCATE = 1092 };
    // 'editor' receives the confirmed result; not owned.
    MyBrowerDlg(platform::ui::Window* parent, LocatedVersionSink* editor);

    // The editor's button: focus when shown, else shown and the URL box's address opened.
    void Open();
    LocatorPanel& Panel() { return m_panel; }
    const std::vector<LocatorRecord>& LastLocators() const { return m_locators; }

    void OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

protected:
    bool OnInitDialog() override;
    void OnSize(unsigned type, int cx, int cy) override;
    void OnOK() override;     // "刷新"
    void OnCancel() override; // the close box hides it
    void OnCommand(int id) override;

private:
    void PlacePanel();
    void Locate();
    // A box with the application's name; the source after it where the message wants it.
    void Tell(unsigned stringId, bool showSource);

    LocatedVersionSink* m_editor;
    LocatorPanel m_panel;
    CString m_url;
    std::vector<LocatorRecord> m_locators;
    CString m_pagePath;
    CString m_versionText;
    bool m_init = false;
    bool m_centred = false; // centred over the editor when first shown
};
