#pragma once
// The host's own classes of the management stand-in: the operating system, its processors,
// logical disks and USB host controllers, read from os-release, /proc and sysfs under a root
// directory ("" is the host itself; tests point it at a fake tree).

#include <string>
#include <vector>

#include "platform/wmi/Provider.h"

namespace platform::wmi {

void SetHostRoot(const std::string& root);
std::string HostRoot();

// The objects of Win32_OperatingSystem, Win32_Processor, Win32_LogicalDisk or
// Win32_USBController; kInvalidClass for any other class.
int QueryHostClass(const std::string& className, std::vector<Object>& objects);

} // namespace platform::wmi
