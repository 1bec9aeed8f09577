#include "corvay/dialogs/ResultDlg.h"

#include "engine/log/StringTable.h"

ResultTexts ResultTexts::From(TestInfo& info, const DslamConfig& dslam) {
    ResultTexts t;
    CString result = info.GetResultText(dslam);
    TestInfo::Data data = info.Get();
    t.port.Format("%d", data.Port);
    t.firmware = data.Modem.FirmwareVersion;
    if (data.Modem.UpRate != 0)
        t.upRate.Format("%d", data.Modem.UpRate);
    if (data.Modem.DownRate != 0)
        t.downRate.Format("%d", data.Modem.DownRate);
    t.result = result;
    t.link = LoadStringId(data.Modem.DslStatus == 1 ? 48 : data.Modem.DslStatus == 2 ? 49 : 50);
    return t;
}

ResultDlg::ResultDlg(TestInfo& info, const DslamConfig& dslam, platform::ui::Window* parent)
    : Dialog(IDD, parent), m_texts(ResultTexts::From(info, dslam)) {}

void ResultDlg::DoDataExchange(platform::ui::DataExchange& dx) {
    dx.Text(kPort, m_texts.port);
    dx.Text(kFirmware, m_texts.firmware);
    dx.Text(kUpRate, m_texts.upRate);
    dx.Text(kDownRate, m_texts.downRate);
    dx.Text(kResult, m_texts.result);
    dx.Text(kLink, m_texts.link);
}
