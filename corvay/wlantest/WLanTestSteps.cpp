#include "corvay/wlantest/WLanTestSteps.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "corvay/dialogs/DialogState.h"
#include "engine/config/GlobalPCInfo.h"
#include "engine/config/PcNICInfo.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "engine/records/TestRecords.h"
#include "platform/prompt/Prompt.h"
#include "wireless/WLanConfiger.h"

namespace {

class ProgramCard : public LanCardSwitch {
public:
    int GetLanNicIndex() override { return PcNICInfo::Instance()->GetLanNicIndex(); }
    bool EnableNetCard(int index, bool enable) override {
        return GlobalPCInfo().EnableNetCard(index, enable ? 1 : 0) != 0;
    }
};

CString Formatted(unsigned id, const char* value) {
    CString text;
    text.Format(LoadStringId(id).GetString(), value);
    return text;
}

// The network's name: its SSID bytes (at most 32), each a character of the local code page.
CString NetworkName(const platform::WlanAvailableNetwork& network) {
    const int length = static_cast<int>(std::min<uint32_t>(network.ssid.length, 32));
    return CString(reinterpret_cast<const char*>(network.ssid.ssid), length);
}

void DeleteProfiles() {
    WLanConfiger configer;
    configer.DeleteAllProfiles();
}

} // namespace

LanCardSwitch& ProgramLanCard() {
    static ProgramCard card;
    return card;
}

WLanTestSteps::WLanTestSteps(TestInfo& info, int port, WLanTestEnvironment environment, WLanPanelView& view)
    : m_info(info), m_port(port), m_env(std::move(environment)), m_view(view) {}

void WLanTestSteps::Append(unsigned stringId) {
    m_view.AppendLine(LoadStringId(stringId));
}

void WLanTestSteps::Box(const CString& text) {
    ShowAppMessage(text, platform::kMbOk);
}

bool WLanTestSteps::SleepUnlessAborted(int ms) {
    using std::chrono::milliseconds;
    for (int left = ms; left > 0; left -= m_env.tickMs) {
        if (Aborted())
            return false;
        m_env.clock->SleepFor(milliseconds(std::min(left, m_env.tickMs)));
    }
    return !Aborted();
}

void WLanTestSteps::Run(const WLanTestInput& input) {
    m_view.SetTesting(true);
    m_view.ClearLines();
    m_info.Update([](TestInfo::Data& d) { d.Wifi.HasResult = false; });
    try {
        Steps(input);
    } catch (int code) {
        if (code != kCardNotFound)
            LogError("WLanTestPanel: 未知错误，错误代码：%d", code);
        CardNotFound();
    } catch (const std::exception& e) {
        LogError("WLanTestPanel: %s", e.what());
        SwitchCardBackOn();
    } catch (...) {
        LogError("WLanTestPanel: 未知的异常");
        SwitchCardBackOn();
    }
    Finish();
}

void WLanTestSteps::Steps(const WLanTestInput& input) {
    Append(75);
    if (!WLanConfiger::StartWirelessService()) {
        Append(66);
        Box(LoadStringId(66));
        return;
    }
    WLanConfiger configer;
    Append(76);
    configer.DeleteAllProfiles();

    WifiSettings settings;
    settings.networkName = input.networkName;
    settings.networkName.Trim();
    settings.security = input.security >= 0 && input.security <= 3 ? input.security : 0;
    settings.key = input.password;
    settings.key.Trim();
    const CString name = settings.networkName;
    m_view.ShowNetworkName(name);
    if (name.IsEmpty()) {
        Box(LoadStringId(106));
        m_view.FocusControl(IDC_SSID);
        return;
    }
    if (settings.security != 0 && settings.key.IsEmpty()) {
        Box(LoadStringId(107));
        m_view.FocusControl(IDC_PASSWORD);
        return;
    }

    m_view.AppendLine(Formatted(61203, name));
    configer.SetProfile(settings);
    if (Aborted())
        return;

    Append(78);
    configer.Scan();
    const auto& lists = configer.GetAvailableNetworks();
    if (!lists.empty()) {
        Append(109);
        for (const platform::WlanAvailableNetworkList* list : lists)
            for (uint32_t i = 0; i < list->numberOfItems; ++i)
                m_view.AppendLine("\t" + NetworkName(list->networks[i]));
    }
    m_info.Update([](TestInfo::Data& d) { d.Wifi.HasResult = true; });
    bool found = false;
    for (const platform::WlanAvailableNetworkList* list : lists)
        for (uint32_t i = 0; i < list->numberOfItems && !found; ++i)
            found = NetworkName(list->networks[i]) == name;
    if (!found) {
        const CString text = Formatted(67, name);
        m_view.AppendLine(text);
        Box(text);
        m_info.Update([](TestInfo::Data& d) { d.Wifi.Code = -4; });
        return;
    }
    if (Aborted())
        return;

    Append(79);
    const int code = CheckWlanStatus(m_env.signalQuality);
    if (code != 0) {
        Append(70);
        Box(LoadStringId(70));
        m_info.Update([&](TestInfo::Data& d) { d.Wifi.Code = code; });
        return;
    }
    m_info.Update([](TestInfo::Data& d) { d.Wifi.Code = 0; });
    if (Aborted())
        return;
    if (!DisableLanNic()) {
        Append(83);
        Box(LoadStringId(83));
        return;
    }
    m_env.clearArp();
    Append(84);
    if (SleepUnlessAborted(m_env.joinWaitMs))
        Append(81);
    PingPhase();
}

void WLanTestSteps::PingPhase() {
    using namespace std::chrono;
    m_successCount = 0;
    m_failureCount = 0;
    // Whole calendar seconds, as the period is measured.
    const auto secondsNow = [&] {
        return duration_cast<seconds>(m_env.clock->WallNow().time_since_epoch()).count();
    };
    const long long start = secondsNow();
    PhaseEnd end = PhaseEnd::Abort;
    while (SleepUnlessAborted(m_env.tickMs)) {
        const bool answered = m_env.ping(m_env.modemIp, m_env.pingTimeoutMs);
        LogDebug("Ping 测试时长= %ld", static_cast<long>(m_env.pingPeriodMs));
        if (answered) {
            Append(71);
            ++m_successCount;
        } else {
            Append(72);
            ++m_failureCount;
        }
        if ((secondsNow() - start) * 1000 > static_cast<long long>(m_env.pingPeriodMs)) {
            end = PhaseEnd::Time;
            break;
        }
        if (m_failureCount > 3 && m_failureCount > m_successCount) {
            end = PhaseEnd::Failures;
            break;
        }
        if (Aborted())
            break;
    }

    CoverIfAborted();
    try {
        Append(EnableLanNic() ? 86 : 85);
    } catch (int) {
        LogError("It is impossblie,EnableLanNic failed.");
        throw;
    }
    SleepUnlessAborted(m_env.cardWaitMs);
    m_env.clearArp();
    // An abort while the card came back wins over the end the pings had reached.
    if (end == PhaseEnd::Abort || Aborted())
        return;
    const int successes = m_successCount, failures = m_failureCount;
    const WifiTestResult result = m_info.Update([&](TestInfo::Data& d) {
        d.Wifi.SuccessCount = successes;
        d.Wifi.FailureCount = failures;
        d.Wifi.HasResult = true;
        return d.Wifi;
    });
    Append(103);
    const CString verdict = result.ToText();
    m_view.AppendLine(verdict);
    platform::ShowMessageBox(verdict, LoadStringId(103), platform::kMbOk);
}

void WLanTestSteps::CardNotFound() {
    const CString text = LoadStringId(82);
    m_view.AppendLine(text);
    Box(text);
}

void WLanTestSteps::Finish() {
    m_view.SetTesting(false);
    DeleteProfiles();
    Uncover();
}

void WLanTestSteps::Cover() {
    if (m_pleaseWaitShown)
        return;
    m_pleaseWaitShown = true;
    if (m_env.showPleaseWait)
        m_env.showPleaseWait(LoadStringId(113));
}

void WLanTestSteps::CoverIfAborted() {
    if (Aborted())
        Cover();
}

void WLanTestSteps::Uncover() {
    if (!m_pleaseWaitShown)
        return;
    m_pleaseWaitShown = false;
    if (m_env.hidePleaseWait)
        m_env.hidePleaseWait();
}

bool WLanTestSteps::DisableLanNic() {
    LogDebug("DisableLanNic() Start");
    bool done = true;
    if (m_lanNicOn) {
        const int index = m_env.card->GetLanNicIndex();
        if (index == -1)
            throw kCardNotFound;
        if (m_env.card->EnableNetCard(index, false))
            m_lanNicOn = false;
        else
            done = false;
    }
    LogDebug("DisableLanNic() End");
    return done;
}

bool WLanTestSteps::EnableLanNic() {
    LogDebug("EnableLanNic() Start");
    if (m_lanNicOn) {
        LogDebug("网卡已经使能，无需再次使能");
        LogDebug("EnableLanNic() End");
        return true;
    }
    const int index = m_env.card->GetLanNicIndex();
    if (index == -1)
        throw kCardNotFound;
    if (!m_env.card->EnableNetCard(index, true)) {
        LogDebug("EnableLanNic() End");
        return false;
    }
    m_lanNicOn = true;
    // The dialog may be closed by an abort during this wait: the box then covers the rest.
    for (int left = m_env.cardWaitMs; left > 0; left -= m_env.tickMs) {
        CoverIfAborted();
        m_env.clock->SleepFor(std::chrono::milliseconds(std::min(left, m_env.tickMs)));
    }
    LogDebug("EnableLanNic() End");
    return true;
}

// After a failure that left the test midway: the card must not stay off while the dialog is open.
void WLanTestSteps::SwitchCardBackOn() {
    try {
        if (!m_lanNicOn && EnableLanNic())
            m_env.clearArp();
    } catch (...) {
        LogError("It is impossblie,EnableLanNic failed.");
    }
}

void WLanTestSteps::Close() {
    LogDebug("~WLanTestPanel()");
    WLanConfiger::StartWirelessService();
    DeleteProfiles();
    if (m_lanNicOn)
        return;
    Cover();
    try {
        if (EnableLanNic()) {
            LogInfo("%s", LoadStringId(86).GetString());
            m_env.clearArp();
        } else {
            LogError("%s", LoadStringId(85).GetString());
        }
    } catch (int) {
        LogError("It is impossblie,EnableLanNic failed.");
        LogError("%s", LoadStringId(82).GetString());
    }
    Uncover();
}
