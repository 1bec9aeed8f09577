#pragma once
// The user and password a log-in to the switch sends: those of the configuration as it is now,
// so that a password corrected in the switch settings is used by the next log-in.

#include "engine/config/ConfigRecords.h"

// The process's configuration's switch log-in, or the given one while no configuration exists.
LoginInfo CurrentSwitchLogin(const SwitchConfig& given);
