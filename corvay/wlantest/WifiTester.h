#pragma once
// The wireless test job (test mode 3): opens the link-up switch ports one at a time and shows
// the wireless test dialog for each, in which the operator renames the modem's network, runs
// the panel's test and restores the modem. The windows come through WifiTesterUi, so the job
// itself is window-free.

#include <vector>

#include "platform/text/CString.h"

#include "corvay/wlantest/WLanTestSteps.h"

class SwitchPort;
class Tester;
class WLanTestSession;

// The windows the job shows; the program's opens them on the UI thread.
class WifiTesterUi {
public:
    virtual ~WifiTesterUi() = default;
    // The countdown box of a port being enabled; returns once it has closed.
    virtual void ShowPortWait(int durationMs, const CString& text) = 0;
    virtual void ShowPleaseWait(const CString& text) = 0;
    virtual void HidePleaseWait() = 0;
    // Deletes the global please-wait box; false when there was none.
    virtual bool DeletePleaseWait() = 0;
    // Opens the port's test dialog and returns at once; the dialog tells the session its end.
    virtual void OpenTestDialog(WLanTestSession& session) = 0;
};

// The program's windows.
WifiTesterUi& ProgramWifiTesterUi();

class WifiTester {
public:
    explicit WifiTester(Tester& tester, WifiTesterUi& ui = ProgramWifiTesterUi(),
                        LanCardSwitch& card = ProgramLanCard());
    // 0 every port handled, 1 stopped or aborted by the operator, 2 ended by a failure.
    int Run();

private:
    int RunPorts();
    bool TestPort(SwitchPort& port);

    Tester& m_tester;
    WifiTesterUi& m_ui;
    LanCardSwitch& m_card;
    std::vector<SwitchPort*> m_ports;
};

// The routine the program plugs into its jobs for the wireless mode.
int RunWifiTester(Tester& tester);
