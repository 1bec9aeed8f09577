#pragma once
// The service manager of the Wi-Fi library: open the manager, open a service by name, query
// its status, start it, send it the stop control. Results are Win32 codes. The one service is
// "Wlansvc", the project's supplicant (WlanService.h); every other name is unknown (1060).
// Tests install a manager of their own.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/wifi/WlanService.h"

namespace platform {

constexpr uint32_t kServiceAccessDenied = 5;
constexpr uint32_t kServiceAlreadyRunning = 1056;
constexpr uint32_t kServiceDoesNotExist = 1060;
constexpr uint32_t kServiceNotActive = 1062;

class ServiceHandle {
public:
    virtual ~ServiceHandle() = default;
    virtual uint32_t QueryStatus(ServiceStatus& status) = 0;
    virtual uint32_t Start() = 0;
    // The stop control; the status after it.
    virtual uint32_t ControlStop(ServiceStatus& status) = 0;
};

class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    virtual uint32_t OpenService(const std::string& name, std::unique_ptr<ServiceHandle>& service) = 0;
};

class ServiceControl {
public:
    virtual ~ServiceControl() = default;
    virtual uint32_t OpenManager(std::unique_ptr<ServiceManager>& manager) = 0;
};

// The process's service control: the system's, or the one a test installed.
ServiceControl& SystemServiceControl();
// Tests: nullptr restores the system's.
void InstallServiceControl(ServiceControl* control);

} // namespace platform
