#pragma once
// The main view: one row per switch port that carries a modem (the trunk has none), the
// test commands of the six modes, and the switch's and the jobs' news shown as row icons and
// texts. Everything runs on the UI thread except the Observer and ViewSink entry points,
// which any thread may call: they only post to the window.
//
// How the program drives it (the binding calls these on the UI thread):
//   OnInitialUpdate() once when the view is first shown; OnSize() after the list is resized;
//   OnCommand(id) / UpdateCommand(id, enabled) for the commands below; OnMessage(...) for
//   every message posted through CorvayViewWindow::Post; OnTimer(id) when a timer fires;
//   OnDoubleClick() and OnContextMenu() from the list; IsTesting() for the frame's close rule.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "corvay/view/CorvayViewWindow.h"
#include "engine/jobs/JobEnvironment.h"
#include "engine/jobs/Tester.h"
#include "engine/jobs/ViewSink.h"
#include "engine/switch/ISwitchManager.h"
#include "engine/switch/SwitchManagerImpl.h"
#include "platform/net/TimeOutSocket.h"

class PingPort;
class TestInfo;

class CCorvayView : public Observer, public ViewSink {
public:
    enum Command : int {
        ID_REFRESH = 32808,
        ID_START_STANDARD = 32826,
        ID_START_PING = 32819,
        ID_START_BURNIN = 32823,
        ID_START_WIFI = 32836,
        ID_START_SIMPLE = 32852,
        ID_STOP = 32783,
        ID_START_UPGRADE = 32850,
        ID_WEB_MANAGE = 32829,
        ID_WEB_MANAGE_MENU = 32835,
        ID_DEVICE_LIST = 32848,
    };
    // The view's own messages: a switch notification (wParam the type, lParam the port packed
    // by PackPort) and the job's test-ended signal.
    static constexpr unsigned WM_SWITCH_NOTIFY = WM_USER_BASE + 120;
    static constexpr unsigned WM_TEST_ENDED = WM_USER_BASE + 121;
    enum Timer : unsigned { Timer_LoginWait = 1, Timer_StopWait = 2 };
    static constexpr int kLoginWaitMs = 60000;
    static constexpr int kStopWaitMs = 30000;
    // Icon resources in image-list order.
    static const std::vector<int>& Icons();

    struct Options {
        SwitchConsoleOptions console;
        uint16_t telnetPort = 23;
        uint32_t telnetGuardMs = platform::TimeOutSocket::kDefaultGuardMs;
        // Every wait of the jobs is divided by this (tests).
        int timeScale = 1;
        // The web management's ping and ARP clear; the library's by default.
        ModemPing ping;
        std::function<void()> clearArp;
        // Runs in place of the mode's work (tests).
        TesterRoutine routine;
    };

    CCorvayView(CorvayViewWindow& window, Options options);
    explicit CCorvayView(CorvayViewWindow& window) : CCorvayView(window, Options()) {}
    ~CCorvayView() override;
    CCorvayView(const CCorvayView&) = delete;
    CCorvayView& operator=(const CCorvayView&) = delete;

    void OnInitialUpdate();
    void OnSize();
    // False for a command that is not the view's.
    bool OnCommand(int id);
    // False when the view has no rule for the command.
    bool UpdateCommand(int id, bool& enabled) const;
    void OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam, uint64_t serial);
    void OnTimer(unsigned id);
    void OnDoubleClick();
    void OnContextMenu();

    bool RefreshPortStatus();
    void HideSplashDlg();
    void OnBtnStop();

    bool IsTesting() const;
    bool HasTester() const { return m_pTester != nullptr; }
    int GetMode() const { return m_mode; }
    ISwitchManager* GetSwitchManager() const { return m_pSM; }
    // The port a row shows; 0 for no such row.
    int RowPort(int row) const;

    // Observer: the console's thread; takes the type and the port and posts them.
    void Update(Subject* subject) override;
    // ViewSink: any thread.
    void PostViewMessage(unsigned message, uintptr_t wParam, intptr_t lParam, uint64_t jobSerial) override;
    void SignalTestEnded(uint64_t jobSerial) override;
    std::vector<SwitchPort*> GetLinkUpPorts() override;
    TestInfo* GetTestInfo(int port) override;
    std::vector<PingPort*> GetPingPortList() override;

    // A port's number, link and enable state in one lParam.
    static intptr_t PackPort(const SwitchPort& port);

private:
    bool Start(int mode);
    void StartCommand(int mode, unsigned nameId);
    void EndOfTest();
    void FinishStop();
    void OnTestFinished(int code);
    void OnSerialPortBusy();
    void OnSwitchNotify(int type, intptr_t port);
    void ContinueInitialUpdate();
    void SignalLogin();
    void FillList();
    void UpdateRow(int port);
    void SetPortIcon(intptr_t packed);
    void ResetTestInfos();
    void WebManage();
    int RowOfPort(int port) const;
    int SelectedRow() const;
    SwitchPort* RowSwitchPort(int row) const;
    void ShowTitle(const CString& title);
    void ShowSwitchError(int code);
    const SwitchConfig& Switch() const { return m_switch; }

    CorvayViewWindow& m_window;
    Options m_options;
    SwitchConfig m_switch;
    CString m_titleText;
    ISwitchManager* m_pSM = nullptr;
    bool m_serial = false;
    std::unique_ptr<Tester> m_pTester;
    std::atomic<uint64_t> m_jobSerial{0}; // of the job last started
    mutable std::mutex m_portsMutex;      // the port lists are read by the job thread
    std::vector<SwitchPort*> m_ports;
    std::vector<int> m_rowPorts;
    std::vector<std::unique_ptr<TestInfo>> m_testInfos;
    std::vector<std::unique_ptr<PingPort>> m_pingPorts;
    int m_mode = 0;
    bool m_loginSignalled = false; // the switch-login event
    bool m_waitingLogin = false;
    bool m_stopping = false;
    bool m_stopTimedOut = false;
    bool m_screenSaverActive = false;
    bool m_splashClosed = false;
};
