// The windows of the settings dialogs.

#include "corvay/dialogs/DialogWindow.h"
#include "corvay/settings/DslamConfigDlg.h"
#include "corvay/settings/LogSettingDlg.h"
#include "corvay/settings/NicConfigDlg.h"
#include "corvay/settings/SwitchConfigDlg.h"
#include "corvay/settings/SystemConfigDlg.h"
#include "engine/log/StringTable.h"

namespace {

using platform::ui::Window;

class SystemConfigWindow : public DialogWindow<> {
public:
    SystemConfigWindow(SystemConfigDlg& dlg, Window* parent) : DialogWindow(dlg, parent), m_dlg(dlg) {}

protected:
    void Setup() override {
        platform::ui::OnDoubleClick(*this, SystemConfigDlg::IDC_LOG_SETTING, [this] {
            Store();
            Act(m_dlg.OnLogSettingDoubleClick());
        });
    }
    void Load() override {
        for (int i = 0; i < SystemConfigDlg::kFieldCount; ++i)
            SetDlgItemText(int(m_dlg.Fields()[i].id), m_dlg.Fields()[i].text);
        Item(SystemConfigDlg::IDC_AUTO_UPGRADE_FIRMWARE).SetCheck(m_dlg.m_AutoUpgradeFirmware);
        Item(SystemConfigDlg::IDC_AUTO_UPGRADE_CONFIG).SetCheck(m_dlg.m_AutoUpgradeConfig);
    }
    void Store() override {
        for (int i = 0; i < SystemConfigDlg::kFieldCount; ++i)
            m_dlg.Fields()[i].text = GetDlgItemText(int(m_dlg.Fields()[i].id));
        m_dlg.m_AutoUpgradeFirmware = Item(SystemConfigDlg::IDC_AUTO_UPGRADE_FIRMWARE).GetCheck() != 0;
        m_dlg.m_AutoUpgradeConfig = Item(SystemConfigDlg::IDC_AUTO_UPGRADE_CONFIG).GetCheck() != 0;
    }

private:
    SystemConfigDlg& m_dlg;
};

class DslamConfigWindow : public DialogWindow<> {
public:
    DslamConfigWindow(DslamConfigDlg& dlg, Window* parent) : DialogWindow(dlg, parent), m_dlg(dlg) {}

protected:
    void Setup() override {
        for (const char* model : DslamConfigDlg::kModels)
            Item(DslamConfigDlg::IDC_MODEL).AddString(model);
        for (int id : {DslamConfigDlg::IDC_SLOT_1TO24, DslamConfigDlg::IDC_SLOT_25TO48})
            for (int slot = 1; slot <= DslamConfigDlg::kSlotCount; ++slot)
                Item(id).AddString(CString(std::to_string(slot)));
    }
    void Load() override {
        Item(DslamConfigDlg::IDC_DSLAM_IP).SetAddress(m_dlg.m_Ip);
        SetDlgItemText(DslamConfigDlg::IDC_USER, m_dlg.m_User);
        SetDlgItemText(DslamConfigDlg::IDC_PASSWORD, m_dlg.m_Password);
        Item(DslamConfigDlg::IDC_MODEL).SetCurSel(m_dlg.m_Model);
        Item(DslamConfigDlg::IDC_SLOT_1TO24).SetCurSel(m_dlg.m_Slot1to24);
        Item(DslamConfigDlg::IDC_SLOT_25TO48).SetCurSel(m_dlg.m_Slot25to48);
        EnableSlots();
    }
    void Store() override {
        m_dlg.m_Ip = Item(DslamConfigDlg::IDC_DSLAM_IP).GetAddress();
        m_dlg.m_User = GetDlgItemText(DslamConfigDlg::IDC_USER);
        m_dlg.m_Password = GetDlgItemText(DslamConfigDlg::IDC_PASSWORD);
        m_dlg.m_Model = Item(DslamConfigDlg::IDC_MODEL).GetCurSel();
        m_dlg.m_Slot1to24 = Item(DslamConfigDlg::IDC_SLOT_1TO24).GetCurSel();
        m_dlg.m_Slot25to48 = Item(DslamConfigDlg::IDC_SLOT_25TO48).GetCurSel();
    }
    void OnControlChanged(int id) override {
        if (id != DslamConfigDlg::IDC_MODEL)
            return;
        m_dlg.OnModelChanged(Item(id).GetCurSel());
        EnableSlots();
    }

private:
    void EnableSlots() {
        Item(DslamConfigDlg::IDC_SLOT_1TO24).Enable(m_dlg.SlotListsEnabled());
        Item(DslamConfigDlg::IDC_SLOT_25TO48).Enable(m_dlg.SlotListsEnabled());
    }
    DslamConfigDlg& m_dlg;
};

class SwitchConfigWindow : public DialogWindow<> {
public:
    SwitchConfigWindow(SwitchConfigDlg& dlg, Window* parent) : DialogWindow(dlg, parent), m_dlg(dlg) {}

protected:
    void Setup() override {
        for (unsigned id : SwitchConfigDlg::kConnectionStrings)
            Item(SwitchConfigDlg::IDC_CONNECTION).AddString(LoadStringId(id));
        FillChoice(Item(SwitchConfigDlg::IDC_MODEL), SwitchConfigDlg::IDS_MODEL, 1);
    }
    void Load() override {
        Item(SwitchConfigDlg::IDC_CONNECTION).SetCurSel(m_dlg.m_Connection);
        Item(SwitchConfigDlg::IDC_MODEL).SetCurSel(m_dlg.m_Model);
        SetDlgItemText(SwitchConfigDlg::IDC_USER, m_dlg.m_User);
        SetDlgItemText(SwitchConfigDlg::IDC_PASSWORD, m_dlg.m_Password);
        SetDlgItemText(SwitchConfigDlg::IDC_IP, m_dlg.m_Ip);
    }
    void Store() override {
        m_dlg.m_Connection = Item(SwitchConfigDlg::IDC_CONNECTION).GetCurSel();
        m_dlg.m_Model = Item(SwitchConfigDlg::IDC_MODEL).GetCurSel();
        m_dlg.m_User = GetDlgItemText(SwitchConfigDlg::IDC_USER);
        m_dlg.m_Password = GetDlgItemText(SwitchConfigDlg::IDC_PASSWORD);
        m_dlg.m_Ip = GetDlgItemText(SwitchConfigDlg::IDC_IP);
    }

private:
    SwitchConfigDlg& m_dlg;
};

class NicConfigWindow : public DialogWindow<> {
public:
    NicConfigWindow(NicConfigDlg& dlg, Window* parent) : DialogWindow(dlg, parent), m_dlg(dlg) {}

protected:
    void Setup() override {
        for (int id : {NicConfigDlg::IDC_WAN_NIC, NicConfigDlg::IDC_LAN_NIC})
            for (const NicConfigDlg::Card& card : m_dlg.Cards())
                Item(id).AddString(card.description);
    }
    void Load() override {
        Item(NicConfigDlg::IDC_WAN_NIC).SetCurSel(m_dlg.m_Wan);
        Item(NicConfigDlg::IDC_LAN_NIC).SetCurSel(m_dlg.m_Lan);
    }
    void Store() override {
        m_dlg.m_Wan = Item(NicConfigDlg::IDC_WAN_NIC).GetCurSel();
        m_dlg.m_Lan = Item(NicConfigDlg::IDC_LAN_NIC).GetCurSel();
    }

private:
    NicConfigDlg& m_dlg;
};

class LogSettingWindow : public DialogWindow<> {
public:
    LogSettingWindow(LogSettingDlg& dlg, Window* parent) : DialogWindow(dlg, parent), m_dlg(dlg) {}

protected:
    void Setup() override {
        FillChoice(Item(LogSettingDlg::IDC_LOG_LEVEL), LogSettingDlg::kFirstLevelString,
                   LogSettingDlg::kLevelCount);
    }
    void Load() override { Item(LogSettingDlg::IDC_LOG_LEVEL).SetCurSel(m_dlg.m_Level); }
    void Store() override { m_dlg.m_Level = Item(LogSettingDlg::IDC_LOG_LEVEL).GetCurSel(); }

private:
    LogSettingDlg& m_dlg;
};

} // namespace

std::unique_ptr<platform::ui::Dialog> MakeSettingsWindow(DialogState& state, Window* parent) {
    for (auto make :
         {MakeWindowIf<SystemConfigDlg, SystemConfigWindow>, MakeWindowIf<DslamConfigDlg, DslamConfigWindow>,
          MakeWindowIf<SwitchConfigDlg, SwitchConfigWindow>, MakeWindowIf<NicConfigDlg, NicConfigWindow>,
          MakeWindowIf<LogSettingDlg, LogSettingWindow>})
        if (auto window = make(state, parent))
            return window;
    return nullptr;
}
