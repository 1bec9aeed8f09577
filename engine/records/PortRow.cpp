#include "engine/records/PortRow.h"

#include "engine/log/StringTable.h"

namespace {

constexpr int kModeStandard = 0, kModeWifi = 3, kModeUpgrade = 4;

} // namespace

int WifiIcon(const WifiTestResult& wifi) {
    const long long s = wifi.SuccessCount, f = wifi.FailureCount;
    return s * 100 > (s + f) * 95 ? Icon_WifiPassed : Icon_WifiFailed;
}

PortRow PortRowOf(TestInfo& info, const DslamConfig& dslam) {
    PortRow row;
    TestInfo::Data d = info.Get();
    const int mode = d.TestMode;
    if (mode == kModeWifi && d.Wifi.HasResult) {
        row.icon = WifiIcon(d.Wifi);
        row.result = d.Wifi.ToText();
    }
    if (!d.Modem.FirmwareVersion.IsEmpty())
        row.icon = Icon_Identified;
    row.summary = d.Modem.GetSummaryText();
    if (mode == kModeUpgrade) {
        row.result = info.GetResultText(dslam);
        return row;
    }
    const bool standard = mode == kModeStandard;
    if (d.Ping.State == 1) {
        row.result = d.Ping.GetProgressText();
    } else if (d.Ping.State == 2) {
        const bool rateOk = d.Modem.IsRateOk(dslam);
        if (d.Ping.IsPassed()) {
            if (standard && !rateOk) {
                row.icon = Icon_RateFailed;
                row.result = d.Modem.GetRateCheckText(dslam);
            } else {
                row.icon = Icon_Passed;
                row.result = LoadStringId(28);
            }
        } else if (!standard) {
            row.icon = Icon_Failed;
            row.result = d.Ping.GetResultText();
        } else if (rateOk) {
            row.icon = Icon_PingFailed;
            row.result = d.Ping.GetResultText();
        } else {
            row.icon = Icon_Failed;
            row.result = d.Modem.GetRateCheckText(dslam) + ";" + d.Ping.GetResultText();
        }
    }
    return row;
}

PortVerdict VerdictOfIcon(int icon) {
    switch (icon) {
    case Icon_Passed:
    case Icon_WifiPassed:
        return PortVerdict::Pass;
    case Icon_Failed:
    case Icon_RateFailed:
    case Icon_PingFailed:
    case Icon_WifiFailed:
        return PortVerdict::Fail;
    default:
        return PortVerdict::Untested;
    }
}

const char* VerdictName(PortVerdict verdict) {
    switch (verdict) {
    case PortVerdict::Pass:
        return "pass";
    case PortVerdict::Fail:
        return "fail";
    default:
        return "untested";
    }
}
