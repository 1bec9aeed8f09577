#include "platform/wmi/Provider.h"

#include <atomic>

#include "platform/wmi/LinuxProvider.h"

namespace platform::wmi {

int Provider::ExecMethod(const std::string&, const std::string&, const Object&) {
    return kMethodNotSupported;
}

int Provider::ListDevices(std::vector<Device>& devices) {
    devices.clear();
    return 0;
}

namespace {
std::atomic<Provider*> g_provider{nullptr};
}

Provider& CurrentProvider() {
    Provider* installed = g_provider.load();
    return installed ? *installed : LinuxProvider::Instance();
}

void SetProvider(Provider* provider) {
    g_provider = provider;
}

} // namespace platform::wmi
