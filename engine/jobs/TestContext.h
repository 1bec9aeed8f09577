#pragma once
// What one job routine works with: the ports to test, its job, the result of the port being
// tested and the web access to that port's modem. Built on the job's thread for one routine.

#include <vector>

#include "engine/jobs/JobEnvironment.h"
#include "engine/records/TestRecords.h"
#include "templates/TerminalClient.h"

class SwitchPort;
class Tester;

class TestContext {
public:
    explicit TestContext(Tester& tester);
    TestContext(const TestContext&) = delete;
    TestContext& operator=(const TestContext&) = delete;

    Tester& GetTester() const { return *m_pTester; }
    const std::vector<SwitchPort*>& GetPortList() const { return m_ports; }
    bool IsStopped() const;
    JobEnvironment& GetEnvironment() const;

    // The result block of the port being tested.
    ModemResult Result;
    // The modem of the port being tested, over the process-wide template store.
    TerminalClient Client;

private:
    std::vector<SwitchPort*> m_ports;
    Tester* m_pTester;
};
