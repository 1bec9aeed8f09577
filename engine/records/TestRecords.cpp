#include "engine/records/TestRecords.h"

#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"

namespace {

// Both rates must beat 95 % of the target; the product is truncated toward zero first.
bool RatesBeatTarget(const ModemResult& r, const DslamConfig& t) {
    return r.DownRate > static_cast<int>(0.95 * t.DownloadRate) &&
           r.UpRate > static_cast<int>(0.95 * t.UploadRate);
}

CString StatusText(int status) {
    switch (status) {
    case 1:
        return LoadStringId(146);
    case 2:
        return LoadStringId(147);
    case 3:
        return LoadStringId(148);
    default:
        return CString();
    }
}

} // namespace

void ModemResult::Reset() {
    Model.Empty();
    FirmwareVersion.Empty();
    HardwareVersion.Empty();
    IpAddress.Empty();
    MacAddress.Empty();
    Status = 0;
    DslStatus = 0;
    UpRate = 0;
    DownRate = 0;
    HasInfo = false;
}

CString ModemResult::GetSummaryText() const {
    CString text;
    if (!FirmwareVersion.IsEmpty())
        text += LoadStringId(18) + FirmwareVersion + "; ";
    const bool anyRate = UpRate != 0 || DownRate != 0;
    switch (DslStatus) {
    case 1:
        text += LoadStringId(20) + "Link Up; ";
        break;
    case 0:
        if (anyRate)
            text += LoadStringId(20) + "Link Up; ";
        break;
    case 2:
        text += LoadStringId(20) + (anyRate ? "Link Up; " : "Link Down; ");
        break;
    default:
        LogDebug("It is impossible.");
        break;
    }
    CString piece;
    if (UpRate != 0) {
        piece.Format("%d; ", UpRate);
        text += LoadStringId(21) + piece;
    }
    if (DownRate != 0) {
        piece.Format("%d; ", DownRate);
        text += LoadStringId(22) + piece;
    }
    if (!IpAddress.IsEmpty())
        text += LoadStringId(51) + IpAddress + "; ";
    if (!MacAddress.IsEmpty())
        text += CString("MAC:") + MacAddress + "; ";
    if (!HardwareVersion.IsEmpty())
        text += LoadStringId(19) + HardwareVersion + "; ";
    return text;
}

CString ModemResult::GetRateCheckText(const DslamConfig& target) const {
    if (DownRate <= 0 || UpRate <= 0)
        return LoadStringId(24);
    return LoadStringId(RatesBeatTarget(*this, target) ? 102 : 23);
}

bool ModemResult::IsRateOk(const DslamConfig& target) const {
    if (FirmwareVersion.IsEmpty())
        return false;
    return UpRate > 0 && DownRate > 0 && RatesBeatTarget(*this, target);
}

int PingLossPercent(int32_t sent, int32_t received) {
    if (sent == 0)
        return 0;
    // 64-bit so that large tallies cannot overflow the product.
    return static_cast<int>((static_cast<int64_t>(sent) - received) * 100 / sent);
}

namespace {

struct PingClass {
    int32_t sent, received;
    const char* emptyWarning;
};

// In the order the verdict and the text take them: upstream big, upstream small, downstream big, downstream
// small.
void PingClasses(const PingStatistics& s, PingClass out[4]) {
    out[0] = {s.BigPingCount, s.BigPingRecvCount, "BigPingCount == 0It is impossible."};
    out[1] = {s.SmallPingCount, s.SmallPingRecvCount, "SmallPingCount == 0.It is impossible."};
    out[2] = {s.BigPingReplyCount, s.BigPingReplyRecvCount, "BigPingReplyCount == 0 It is impossible."};
    out[3] = {s.SmallPingReplyCount, s.SmallPingReplyRecvCount, "SmallPingReplyCount == 0.It is impossible."};
}

} // namespace

bool PingStatistics::IsPassed() const {
    PingClass classes[4];
    PingClasses(*this, classes);
    // A port that sent nothing was never tested; skipping every class would pass it.
    bool anySent = false;
    for (const PingClass& c : classes) {
        anySent = anySent || c.sent != 0;
        if (c.sent == 0) {
            LogWarning("%s", c.emptyWarning);
            continue;
        }
        if (PingLossPercent(c.sent, c.received) > 1)
            return false;
    }
    return anySent;
}

CString PingStatistics::GetResultText() const {
    if (IsPassed())
        return LoadStringId(28);
    PingClass classes[4];
    PingClasses(*this, classes);
    int loss[4];
    for (int i = 0; i < 4; ++i) {
        if (classes[i].sent == 0)
            LogWarning("%s", classes[i].emptyWarning);
        loss[i] = PingLossPercent(classes[i].sent, classes[i].received);
    }
    CString text;
    text.Format(LoadStringId(29), classes[0].sent, loss[0], classes[1].sent, loss[1], classes[2].sent,
                loss[2], classes[3].sent, loss[3]);
    return text;
}

CString PingStatistics::GetProgressText() {
    Percent = Percent < 0 ? 0 : (Percent > 100 ? 100 : Percent);
    if (Remaining < 0)
        Remaining = 0;
    CString percent, remaining;
    percent.Format(LoadStringId(192), Percent);
    remaining.Format(LoadStringId(44), Remaining);
    return LoadStringId(30) + percent + remaining;
}

CString WifiTestResult::ToText() const {
    if (Code == 0) {
        if (SuccessCount == 0 && FailureCount == 0)
            return LoadStringId(108);
        if (static_cast<int64_t>(SuccessCount) * 100 >
            (static_cast<int64_t>(SuccessCount) + FailureCount) * 95)
            return LoadStringId(99);
        CString text;
        text.Format(LoadStringId(101), SuccessCount, FailureCount);
        return text;
    }
    switch (Code) {
    case -1:
        return LoadStringId(88);
    case -2:
        return LoadStringId(89);
    case -3:
        return LoadStringId(90);
    case -4:
        return LoadStringId(91);
    case -6:
        return LoadStringId(92);
    case -7:
        return LoadStringId(93);
    case -8:
        return LoadStringId(94);
    case -10:
        return LoadStringId(95);
    case -16:
        return LoadStringId(96);
    case -20:
        return LoadStringId(97);
    default:
        return LoadStringId(98);
    }
}

TestInfo::TestInfo(int port) : m_port(port) {
    m_data.Port = port;
}

TestInfo::Data TestInfo::Get() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_data;
}

CString TestInfo::GetResultText(const DslamConfig& target) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Data& d = m_data;
    const CString crlf = "\r\n";
    // The ping verdict only where the ping test ran for this port: after a reset, or for a port
    // the job never reached, there is none to give.
    const bool pinged = d.Ping.State == 2;
    auto pingLine = [&] { return pinged ? d.Ping.GetResultText() + crlf : CString(); };
    switch (d.EndState) {
    case 0:
        switch (d.TestMode) {
        case 0:
            d.Modem.HasInfo = true;
            d.PingFlag = 1;
            return d.Modem.GetRateCheckText(target) + crlf + pingLine() + StatusText(d.Modem.Status);
        case 1:
        case 2:
            d.PingFlag = 1;
            return pingLine();
        case 3: {
            CString text;
            if (d.Modem.HasInfo)
                text += d.Modem.GetRateCheckText(target) + crlf;
            if (d.PingFlag)
                text += pingLine();
            if (d.Wifi.HasResult)
                text += d.Wifi.ToText();
            return text;
        }
        case 4:
            d.Modem.HasInfo = true;
            d.PingFlag = 0;
            return StatusText(d.Modem.Status);
        case 5:
            d.Modem.HasInfo = true;
            d.PingFlag = 1;
            return d.Modem.GetRateCheckText(target) + (pinged ? crlf + d.Ping.GetResultText() : CString());
        default:
            return CString();
        }
    case 1:
        if (d.TestMode == 3)
            return d.Wifi.HasResult ? d.Wifi.ToText() : LoadStringId(136);
        return CString();
    case 2:
        return LoadStringId(137);
    default:
        return CString("Unknown");
    }
}
