#pragma once
// The per-port routines of the test jobs: each opens the switch ports one at a time so that
// only one modem answers at the factory address, and tests that port's modem. The standard
// routine scans the modem, asks the DSLAM for its line and may upgrade its firmware; the
// simplified one only asks the DSLAM; the upgrade job scans and upgrades. Each returns the end
// code 0 finished, 1 stopped, 2 aborted, and catches every failure at its top.

#include <stdexcept>

#include "platform/text/CString.h"

#include "engine/switch/ThrowError.h"

class ISwitchManager;
class TestContext;
class TestInfo;
struct JobEnvironment;
struct ModemResult;

class BaseModemTester {
public:
    static int Start(TestContext& context);
};

class SimplyTester {
public:
    static int Start(TestContext& context);
};

class Upgrader {
public:
    static int Start(TestContext& context);
};

// The manager the job was given, else the process's manager of the configured kind.
ISwitchManager& ChooseSwitchManager(const JobEnvironment& environment);
// The box text of a switch failure: 14 log-in, 55 socket, 56 too many clients.
CString SwitchErrorText(Throw_Error error);

// Finds, identifies and reads the modem; 0 when all three worked. The address found, or the
// last one tried, is left in ip.
int Scan(CString& ip, TestContext& context);
// Pings every address the template groups list, in order; true and the address when one answered.
bool FindModemIp(CString& ip, TestContext& context);
// The MAC address of a neighbour as "00-1a-2b-3c-4d-5e", resolved when the table lacks it;
// "" (and a log line) when it cannot be had.
CString GetMacByArp(const CString& ip);
// The text with every "&nbsp;" and then every "&nbsp" removed.
CString StripNbsp(const CString& text);

// Asks the DSLAM of the configuration for the line of a switch port; throws Throw_Error.
// Nothing happens for a model the bench has no client for or a port the DSLAM cannot serve.
void QueryDslam(const JobEnvironment& environment, int switchPort, ModemResult& target);

// A modem that did not come back from its reboot in time.
class ModemRebootTimeout : public std::runtime_error {
public:
    ModemRebootTimeout() : std::runtime_error("modem reboot time-out") {}
    int Code() const { return kCode; }
    static constexpr int kCode = -14;
};

// Waits until the modem at ip (the factory address when empty) answers five pings in a row;
// throws ModemRebootTimeout past the limit. Returns early when the job is stopped.
void WaitModemReboot(const CString& ip, TestContext& context);
// Runs the modem's "RestoreConfig" function and waits for its reboot; false when it did not run.
bool RestoreFactoryConfig(TestContext& context);
// The firmware upgrade step for one port's record. 'scanned' tells that the modem of this port
// was scanned in this pass; only then is its version worth an upgrade. False when the routine
// must end as stopped.
bool UpgradeFirmwareStep(TestContext& context, TestInfo& info, bool scanned);
