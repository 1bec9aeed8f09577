#pragma once
// The monitors-started flag: set when a test start has started the two capture monitors, so
// that whoever ends them (the card dialog, the frame at exit) ends only monitors that exist.
// The testing flag beside it is the engine's (SetTestingFlag, IsTestingFlagSet).

void SetMonitorsStartedFlag(bool started);
bool IsMonitorsStartedFlagSet();
