#pragma once
// The program's one PCInfo (the host library's card inventory and configuration), made at its
// first use. Like every PCInfo it serves one thread at a time.

#include "hostnet/pellar/PCInfo.h"

PCInfo& GlobalPCInfo();
