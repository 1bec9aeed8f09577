#pragma once
// The PC namespace of the card dialog's tests: lan0, wan0 and spare0 (in that ifindex order),
// their card GUIDs, and settings of the test's own.

#include <functional>
#include <memory>

#include "tests/corvay/settings/SettingsFixture.h"
#include "tests/support/CardRoles.h"
#include "tests/support/NetNamespace.h"

namespace testsupport {

const CString kLanGuid = CardGuid({2, 0, 0, 0, 0x0a, 1});
const CString kWanGuid = CardGuid({2, 0, 0, 0, 0x0b, 1});
const CString kSpareGuid = CardGuid({2, 0, 0, 0, 0x0c, 1});

// The PC namespace holds lan0, wan0 and spare0 (in that ifindex order); each body runs in a
// child inside it, so the cards are exactly these and every child starts without singletons.
class SettingsDlgNicTest : public PcBenchTest {
protected:
    void SetUp() override {
        PcBenchTest::SetUp();
        if (IsSkipped())
            return;
        AddVethPair(*pc, "spare0", *bench, "sparepeer", "02:00:00:00:0c:01");
        settings = std::make_unique<SettingsFixture>();
    }
    void TearDown() override { settings.reset(); }
    void InPc(const std::function<void()>& body) { RunInChild(*pc, body); }

    std::unique_ptr<SettingsFixture> settings;
};

} // namespace testsupport
