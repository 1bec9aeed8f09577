// The windows of the firmware and upgrade-rule dialogs.

#include "corvay/dialogs/DialogWindow.h"
#include "corvay/firmware/CChoseVersionDlg.h"
#include "corvay/firmware/FirmwareDlg.h"
#include "corvay/firmware/FirmwareManageDlg.h"
#include "corvay/firmware/UpgradeRuleDlg.h"
#include "corvay/firmware/VersionUpgradeManageDlg.h"
#include "corvay/settings/DeviceDlg.h"
#include "resizable/ResizableDialog.h"

namespace {

using platform::ui::Window;

// A resizable list of records with add, delete and edit buttons; the list follows the window's
// size and its columns the list's width.
template <class Dlg> class ManageWindow : public DialogWindow<resizable::CResizableDialog> {
public:
    ManageWindow(Dlg& dlg, Window* parent) : DialogWindow(dlg, parent), m_dlg(dlg) {}

protected:
    void Setup() override {
        SetIcon("program.xpm");
        AddAnchor(Item(Dlg::IDC_LIST), resizable::TOP_LEFT, resizable::BOTTOM_RIGHT);
        for (int id : {Dlg::IDC_ADD, Dlg::IDC_DELETE, Dlg::IDC_EDIT})
            AddAnchor(Item(id), resizable::BOTTOM_LEFT);
        AddAnchor(Item(Dlg::IDC_CLOSE), resizable::BOTTOM_RIGHT);
        std::vector<int> widths = Dlg::ColumnWidths(List(Dlg::IDC_LIST).GetClientWidth());
        SetUpListColumns(List(Dlg::IDC_LIST), false, Dlg::kColumnStrings, widths.data(), int(widths.size()));
        m_ready = true;
    }
    void Load() override { LoadList(List(Dlg::IDC_LIST), m_dlg.m_List); }
    void Store() override { StoreList(List(Dlg::IDC_LIST), m_dlg.m_List); }
    void OnSize(unsigned type, int cx, int cy) override {
        DialogWindow::OnSize(type, cx, cy);
        if (!m_ready)
            return;
        platform::ui::ListControl list = List(Dlg::IDC_LIST);
        std::vector<int> widths = Dlg::ColumnWidths(list.GetClientWidth());
        for (size_t i = 0; i < widths.size(); ++i)
            list.SetColumnWidth(int(i), widths[i]);
    }

    Dlg& m_dlg;
    bool m_ready = false;
};

class FirmwareManageWindow : public ManageWindow<FirmwareManageDlg> {
public:
    using ManageWindow::ManageWindow;

protected:
    DialogOutcome Command(int id) override {
        switch (id) {
        case FirmwareManageDlg::IDC_ADD:
            return m_dlg.OnAdd();
        case FirmwareManageDlg::IDC_DELETE:
            return m_dlg.OnDelete();
        case FirmwareManageDlg::IDC_EDIT:
            return m_dlg.OnEdit();
        }
        return DialogOutcome::Stay();
    }
};

class VersionUpgradeManageWindow : public ManageWindow<VersionUpgradeManageDlg> {
public:
    using ManageWindow::ManageWindow;

protected:
    DialogOutcome Command(int id) override {
        switch (id) {
        case VersionUpgradeManageDlg::IDC_ADD:
            return m_dlg.OnAdd();
        case VersionUpgradeManageDlg::IDC_DELETE:
            return m_dlg.OnDelete();
        }
        return DialogOutcome::Stay(); // 1052 "修改" does nothing
    }
};

class FirmwareWindow : public DialogWindow<> {
public:
    FirmwareWindow(FirmwareDlg& dlg, Window* parent) : DialogWindow(dlg, parent), m_dlg(dlg) {}

protected:
    void Load() override {
        SetDlgItemText(FirmwareDlg::IDC_VERSION_NAME, m_dlg.m_Name);
        SetDlgItemText(FirmwareDlg::IDC_PATH, m_dlg.m_Path);
        SetDlgItemText(FirmwareDlg::IDC_REMARK, m_dlg.m_Remark);
    }
    void Store() override {
        m_dlg.m_Name = GetDlgItemText(FirmwareDlg::IDC_VERSION_NAME);
        m_dlg.m_Path = GetDlgItemText(FirmwareDlg::IDC_PATH);
        m_dlg.m_Remark = GetDlgItemText(FirmwareDlg::IDC_REMARK);
    }
    DialogOutcome Command(int id) override {
        CString path;
        if (id == FirmwareDlg::IDC_BROWSE && FileOpenDialog("", path))
            m_dlg.OnFileChosen(path);
        return DialogOutcome::Stay(); // 1064 does nothing
    }

private:
    FirmwareDlg& m_dlg;
};

class UpgradeRuleWindow : public DialogWindow<> {
public:
    UpgradeRuleWindow(UpgradeRuleDlg& dlg, Window* parent) : DialogWindow(dlg, parent), m_dlg(dlg) {}

protected:
    void Setup() override {
        SetUpListColumns(List(UpgradeRuleDlg::IDC_LIST), true, UpgradeRuleDlg::kColumnStrings,
                         UpgradeRuleDlg::kColumnWidths, 4);
    }
    void Load() override {
        SetDlgItemText(UpgradeRuleDlg::IDC_OLD_VERSION, m_dlg.m_OldVersion);
        LoadList(List(UpgradeRuleDlg::IDC_LIST), m_dlg.m_List);
    }
    void Store() override {
        m_dlg.m_OldVersion = GetDlgItemText(UpgradeRuleDlg::IDC_OLD_VERSION);
        StoreList(List(UpgradeRuleDlg::IDC_LIST), m_dlg.m_List);
    }

private:
    UpgradeRuleDlg& m_dlg;
};

class ChoseVersionWindow : public DialogWindow<> {
public:
    ChoseVersionWindow(CChoseVersionDlg& dlg, Window* parent) : DialogWindow(dlg, parent), m_dlg(dlg) {}

protected:
    void Setup() override {
        SetUpListColumns(List(CChoseVersionDlg::IDC_LIST), false, CChoseVersionDlg::kColumnStrings,
                         CChoseVersionDlg::kColumnWidths, 3);
    }
    void Load() override {
        SetDlgItemText(CChoseVersionDlg::IDC_CURRENT_VERSION, m_dlg.m_Text);
        LoadList(List(CChoseVersionDlg::IDC_LIST), m_dlg.m_List);
    }
    void Store() override { StoreList(List(CChoseVersionDlg::IDC_LIST), m_dlg.m_List); }

private:
    CChoseVersionDlg& m_dlg;
};

class DeviceWindow : public DialogWindow<> {
public:
    DeviceWindow(DeviceDlg& dlg, Window* parent) : DialogWindow(dlg, parent), m_dlg(dlg) {}

protected:
    void Setup() override {
        const unsigned heading = DeviceDlg::IDS_MODEL_COLUMN;
        const int width = DeviceDlg::ColumnWidth(List(DeviceDlg::IDC_LIST).GetClientWidth());
        SetUpListColumns(List(DeviceDlg::IDC_LIST), false, &heading, &width, 1);
    }
    void Load() override { LoadList(List(DeviceDlg::IDC_LIST), m_dlg.m_List); }
    DialogOutcome Command(int id) override {
        if (id == DeviceDlg::IDC_CANCEL)
            return m_dlg.OnCancel();
        return DialogOutcome::Stay(); // add and delete do nothing
    }

private:
    DeviceDlg& m_dlg;
};

} // namespace

std::unique_ptr<platform::ui::Dialog> MakeFirmwareWindow(DialogState& state, Window* parent) {
    for (auto make :
         {MakeWindowIf<FirmwareManageDlg, FirmwareManageWindow>,
          MakeWindowIf<VersionUpgradeManageDlg, VersionUpgradeManageWindow>,
          MakeWindowIf<FirmwareDlg, FirmwareWindow>, MakeWindowIf<UpgradeRuleDlg, UpgradeRuleWindow>,
          MakeWindowIf<CChoseVersionDlg, ChoseVersionWindow>, MakeWindowIf<DeviceDlg, DeviceWindow>})
        if (auto window = make(state, parent))
            return window;
    return nullptr;
}
