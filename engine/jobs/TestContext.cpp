#include "engine/jobs/TestContext.h"

#include "engine/jobs/Tester.h"

TestContext::TestContext(Tester& tester) : m_ports(tester.GetPortList()), m_pTester(&tester) {}

bool TestContext::IsStopped() const {
    return m_pTester->IsStopped();
}

JobEnvironment& TestContext::GetEnvironment() const {
    return m_pTester->GetEnvironment();
}
