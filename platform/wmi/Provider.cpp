#include "platform/wmi/Provider.h"

#include "platform/host/HostState.h"
#include "platform/wmi/LinuxProvider.h"

namespace platform::wmi {

int Provider::ExecMethod(const std::string&, const std::string&, const Object&) {
    return kMethodNotSupported;
}

namespace {
class Completed : public CallResult {
public:
    explicit Completed(int returnValue) : m_returnValue(returnValue) {}
    int GetCallStatus(int, int& returnValue) override {
        returnValue = m_returnValue;
        return 0;
    }

private:
    int m_returnValue;
};
} // namespace

std::unique_ptr<CallResult> CompletedCall(int returnValue) {
    return std::make_unique<Completed>(returnValue);
}

int Provider::ExecMethodAsync(const std::string& objectPath, const std::string& method, const Object& inputs,
                              std::unique_ptr<CallResult>& call) {
    int result = ExecMethod(objectPath, method, inputs);
    if (result < 0)
        return result;
    call = CompletedCall(result);
    return 0;
}

int Provider::ListDevices(std::vector<Device>& devices) {
    devices.clear();
    return 0;
}

Provider& CurrentProvider() {
    Provider* installed = host::WmiProvider().load();
    return installed ? *installed : LinuxProvider::Instance();
}

void SetProvider(Provider* provider) {
    host::WmiProvider() = provider;
}

} // namespace platform::wmi
