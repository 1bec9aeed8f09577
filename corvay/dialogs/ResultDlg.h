#pragma once
// ResultDlg: one port's result in six read-only fields, taken when the dialog is built.

#include "engine/config/ConfigRecords.h"
#include "engine/records/TestRecords.h"
#include "platform/ui/Dialog.h"

// The six texts of the dialog, from the port's record at one moment.
struct ResultTexts {
    CString port, firmware, upRate, downRate, result, link;
    static ResultTexts From(TestInfo& info, const DslamConfig& dslam);
};

class ResultDlg : public platform::ui::Dialog {
public:
    static constexpr int IDD = 152;
    enum { kPort = 1019, kFirmware = 1022, kUpRate = 1023, kDownRate = 1024, kResult = 1018, kLink = 1025 };

    ResultDlg(TestInfo& info, const DslamConfig& dslam, platform::ui::Window* parent = nullptr);
    const ResultTexts& Texts() const { return m_texts; }

protected:
    void DoDataExchange(platform::ui::DataExchange& dx) override;

private:
    ResultTexts m_texts;
};
