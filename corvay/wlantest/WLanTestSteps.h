#pragma once
// The wireless panel's test without windows: it joins the PC to the modem's wireless network,
// switches the wired LAN card off, pings the modem once a tick for the configured time, switches
// the card on again and writes the outcome into the port's record. It runs on the job's thread;
// the panel only shows what it posts.

#include <atomic>
#include <functional>

#include "engine/jobs/JobEnvironment.h"
#include "platform/clock/Clock.h"
#include "platform/text/CString.h"

class TestInfo;

// The PC's wired LAN card as the test switches it.
class LanCardSwitch {
public:
    virtual ~LanCardSwitch() = default;
    // Its position in the card inventory; -1 when it is not found.
    virtual int GetLanNicIndex() = 0;
    // True when the card's state was changed.
    virtual bool EnableNetCard(int index, bool enable) = 0;
};

// The program's card: the index PcNICInfo found, switched through the program's PCInfo.
LanCardSwitch& ProgramLanCard();

// What the steps show in the panel; the panel's side posts each call to its window and drops
// it once the window is gone.
class WLanPanelView {
public:
    virtual ~WLanPanelView() = default;
    virtual void AppendLine(const CString& line) = 0;
    virtual void ClearLines() = 0;
    // The test button disabled (and the wait cursor) while testing.
    virtual void SetTesting(bool testing) = 0;
    virtual void ShowNetworkName(const CString& name) = 0;
    virtual void FocusControl(int id) = 0;
};

// What the operator entered in the panel.
struct WLanTestInput {
    CString networkName;
    int security = 0; // the combo's index: 0 none, 1 WEP, 2 WPA, 3 WPA2; anything else is 0
    CString password;
};

struct WLanTestEnvironment {
    platform::Clock* clock = &platform::RealClock();
    ModemPing ping;
    std::function<void()> clearArp;
    LanCardSwitch* card = nullptr;
    // The global please-wait box while the card is switched on at the end.
    std::function<void(const CString&)> showPleaseWait;
    std::function<void()> hidePleaseWait;
    CString modemIp = "192.168.1.1"; // DefaultModemIp
    int pingPeriodMs = 300000;       // PingTestPeriod
    int signalQuality = 80;          // SingalQualityStandard, percent
    int joinWaitMs = 20000;          // after the card is off, before the first ping
    int cardWaitMs = 5000;           // after the card is on again, and after the pings
    int tickMs = 1000;
    int pingTimeoutMs = 3000;
};

class WLanTestSteps {
public:
    static constexpr int IDC_SSID = 1030;
    static constexpr int IDC_PASSWORD = 1031;
    static constexpr int kCardNotFound = -9999;

    WLanTestSteps(TestInfo& info, int port, WLanTestEnvironment environment, WLanPanelView& view);

    // The test button: every step up to the end of the ping phase, then the finish.
    void Run(const WLanTestInput& input);
    // The panel goes: the service started, every profile deleted, and the LAN card on again
    // when this test left it off (behind the please-wait box).
    void Close();

    // Read between steps and at every tick; an abort ends the test at once.
    void SetAbortCheck(std::function<bool()> aborted) { m_aborted = std::move(aborted); }
    bool IsLanNicOn() const { return m_lanNicOn.load(); }

    // Throw the int -9999 when the card is not found; false when it could not be switched.
    bool DisableLanNic();
    bool EnableLanNic();

private:
    enum class PhaseEnd { Time, Failures, Abort };

    bool Aborted() const { return m_aborted && m_aborted(); }
    // Sleeps in ticks; false when an abort came first.
    bool SleepUnlessAborted(int ms);
    void Append(unsigned stringId);
    void Box(const CString& text);
    void Steps(const WLanTestInput& input);
    void PingPhase();
    void Finish();
    void CardNotFound();
    void SwitchCardBackOn();
    // The please-wait box (string 113) while the card comes back on; shown at most once.
    void Cover();
    // Once the dialog is gone by an abort, nobody else tells the operator to wait.
    void CoverIfAborted();
    void Uncover();

    TestInfo& m_info;
    const int m_port;
    WLanTestEnvironment m_env;
    WLanPanelView& m_view;
    std::function<bool()> m_aborted;
    std::atomic<bool> m_lanNicOn{true};
    int m_successCount = 0;
    int m_failureCount = 0;
    bool m_pleaseWaitShown = false;
};
