#include "platform/wifi/ServiceControl.h"

#include <mutex>
#include <strings.h>
#include <unistd.h>

namespace platform {

namespace {

class WlanServiceHandle : public ServiceHandle {
public:
    uint32_t QueryStatus(ServiceStatus& status) override {
        status = WlanService::Status();
        return 0;
    }
    uint32_t Start() override { return WlanService::Start(); }
    uint32_t ControlStop(ServiceStatus& status) override {
        uint32_t result = WlanService::Stop();
        status = WlanService::Status();
        return result;
    }
};

class SystemManager : public ServiceManager {
public:
    uint32_t OpenService(const std::string& name, std::unique_ptr<ServiceHandle>& service) override {
        // Service names are case-blind.
        if (::strcasecmp(name.c_str(), "Wlansvc") != 0)
            return kServiceDoesNotExist;
        service = std::make_unique<WlanServiceHandle>();
        return 0;
    }
};

class SystemControl : public ServiceControl {
public:
    uint32_t OpenManager(std::unique_ptr<ServiceManager>& manager) override {
        // The daemon takes over network links: only root may run it.
        if (::geteuid() != 0)
            return kServiceAccessDenied;
        manager = std::make_unique<SystemManager>();
        return 0;
    }
};

std::mutex g_mutex;
ServiceControl* g_installed = nullptr;

} // namespace

ServiceControl& SystemServiceControl() {
    static SystemControl system;
    std::lock_guard lock(g_mutex);
    return g_installed ? *g_installed : system;
}

void InstallServiceControl(ServiceControl* control) {
    std::lock_guard lock(g_mutex);
    g_installed = control;
}

} // namespace platform
