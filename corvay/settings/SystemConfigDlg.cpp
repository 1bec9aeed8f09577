#include "corvay/settings/SystemConfigDlg.h"

#include "corvay/settings/LogSettingDlg.h"
#include "engine/config/Configer.h"

namespace {

// The block member each field stands for.
int& Member(SystemConfig& config, unsigned id) {
    switch (id) {
    case SystemConfigDlg::IDC_STAND_PERIOD:
        return config.Modem.StandTestPeriod;
    case SystemConfigDlg::IDC_LONG_PERIOD:
        return config.Modem.LongPingTestPeriod;
    case SystemConfigDlg::IDC_UPLOAD_RATE:
        return config.Dslam.UploadRate;
    case SystemConfigDlg::IDC_DOWNLOAD_RATE:
        return config.Dslam.DownloadRate;
    case SystemConfigDlg::IDC_WLAN_PERIOD:
        return config.PingTestPeriod;
    default:
        return config.SingalQualityStandard;
    }
}

} // namespace

SystemConfigDlg::SystemConfigDlg()
    : m_fields{
          {IDC_STAND_PERIOD, 1, 3600, 1000, {}},
          {IDC_LONG_PERIOD, 1, 2880, 60000, {}},
          {IDC_UPLOAD_RATE, 1, 9999999, 1, {}},
          {IDC_DOWNLOAD_RATE, 1, 99999999, 1, {}},
          // Stored in milliseconds in 32 bits: no more seconds than that holds.
          {IDC_WLAN_PERIOD, 1, 2147483, 1000, {}},
          {IDC_WLAN_QUALITY, 1, 100, 1, {}},
      } {
    SystemConfig config = Configer::GetInstance()->GetSystemConfig();
    for (NumberField& field : m_fields)
        field.text.Format("%d", Member(config, field.id) / field.scale);
    m_AutoUpgradeFirmware = config.Modem.AutoUpgradeFirmware;
    m_AutoUpgradeConfig = config.Modem.AutoUpgradeConfig;
}

SystemConfigDlg::NumberField* SystemConfigDlg::Field(unsigned id) {
    for (NumberField& field : m_fields)
        if (field.id == id)
            return &field;
    return nullptr;
}

DialogOutcome SystemConfigDlg::OnOK() {
    int values[kFieldCount];
    for (int i = 0; i < kFieldCount; ++i) {
        const NumberField& field = m_fields[i];
        if (!CheckIntegerField(field.text, field.minimum, field.maximum, values[i]))
            return DialogOutcome::Stay(0, field.id);
    }
    Configer* configer = Configer::GetInstance();
    SystemConfig config = configer->GetSystemConfig();
    for (int i = 0; i < kFieldCount; ++i)
        Member(config, m_fields[i].id) = values[i] * m_fields[i].scale;
    config.Modem.AutoUpgradeFirmware = m_AutoUpgradeFirmware;
    config.Modem.AutoUpgradeConfig = m_AutoUpgradeConfig;
    configer->SetSystemConfig(config);
    return DialogOutcome::Closed(kDialogOk);
}

DialogOutcome SystemConfigDlg::OnLogSettingDoubleClick() {
    return RunChild(std::make_unique<LogSettingDlg>());
}
