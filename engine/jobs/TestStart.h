#pragma once
// The steps the main view takes to start a test, apart from its windows: the configuration,
// the cards and their capture monitors, the testing flag, the switch (console or telnet), all
// ports enabled, the wait for the modems to come up, and the link-up ports. The headless
// driver runs a job with them; the window program's view is their other caller.

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "engine/jobs/JobEnvironment.h"
#include "platform/text/CString.h"

class ISwitchManager;
class SwitchPort;

struct TestStartOptions {
    // Every wait of the jobs and of the switch console is divided by this.
    int timeScale = 1;
    // The console's line in place of the configured one.
    CString consoleDevice;
    // Set from elsewhere (a signal) to stop the start: its waits end and Prepare fails.
    const std::atomic<bool>* stop = nullptr;
};

class TestStart {
public:
    explicit TestStart(TestStartOptions options = {});
    // Stops the capture monitors, clears the testing flag and lets go of the switch.
    ~TestStart();
    TestStart(const TestStart&) = delete;
    TestStart& operator=(const TestStart&) = delete;

    // Runs the steps below in order; false with the reason (GBK) when the test cannot start
    // or was stopped (then Stopped() is true and no step after the stop ran).
    bool Prepare(CString& error);
    bool Stopped() const;

    // The steps, for a caller that shows each (each false with the reason):
    // the configuration read, both cards configured and up, their monitors capturing;
    bool StartCards(CString& error);
    // the testing flag set and the switch reached (over the console: logged in);
    bool ConnectSwitch(CString& error);
    // every port read, the trunk required up, all ports enabled;
    bool EnablePorts(CString& error);
    // after the wait for the modems, the link-up ports collected.
    bool CollectLinkUpPorts(CString& error);

    // After Prepare: the ports whose link is up, the trunk excluded, in port order.
    const std::vector<SwitchPort*>& LinkUpPorts() const { return m_linkUp; }
    int PortCount() const { return m_portCount; }
    // What the job works with.
    JobEnvironment Environment() const { return m_env; }

private:
    int Scale() const;
    // Sleeps on the job clock, ending early at a stop; false when stopped.
    bool Wait(int ms);
    bool GuardSwitch(CString& error, const std::function<bool()>& step);

    TestStartOptions m_options;
    JobEnvironment m_env;
    std::vector<SwitchPort*> m_linkUp;
    int m_portCount = 0;
    bool m_monitors = false;
    bool m_serial = false;
};
