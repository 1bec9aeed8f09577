#pragma once
// What a port's row of the main view shows for its record once a job has updated it: the
// icon, the summary and the result column. The view draws it; the headless driver turns the
// icon into the port's verdict, so both read a port the same way.

#include <optional>

#include "engine/config/ConfigRecords.h"
#include "engine/records/TestRecords.h"

// The view's row icons.
enum PortIcon {
    Icon_LinkDown = 0,
    Icon_LinkUp = 1,
    Icon_Disabled = 2,
    Icon_Identified = 3,
    Icon_Failed = 4,
    Icon_Passed = 5,
    Icon_RateFailed = 6,
    Icon_PingFailed = 7,
    Icon_WifiPassed = 8,
    Icon_WifiFailed = 9,
};

struct PortRow {
    int icon = -1;                 // -1 leaves the row's icon as it was
    CString summary;               // column 1
    std::optional<CString> result; // column 2; none leaves it as it was
};

// The row of a record after a job's update, by its test mode and ping state.
PortRow PortRowOf(TestInfo& info, const DslamConfig& dslam);

// Icon of a port whose link is up and that has a wireless verdict.
int WifiIcon(const WifiTestResult& wifi);

enum class PortVerdict { Untested, Pass, Fail };
// The verdict an icon shows: passed, failed, or no verdict (link and identification icons).
PortVerdict VerdictOfIcon(int icon);
const char* VerdictName(PortVerdict verdict); // "pass", "fail", "untested"
