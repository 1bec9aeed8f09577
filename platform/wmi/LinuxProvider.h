#pragma once
// The default provider: the host's own links, read afresh on every call in the calling thread's
// network namespace, so it holds no state and serves every thread alike.

#include "platform/wmi/Provider.h"

namespace platform::wmi {

class LinuxProvider : public Provider {
public:
    static LinuxProvider& Instance();

    int Connect() override;
    int ExecQuery(const std::string& className, std::vector<Object>& objects) override;
    int ListDevices(std::vector<Device>& devices) override;
    // EnableStatic, SetGateways, SetDNSServerSearchOrder, EnableDHCP and RenewDHCPLease on
    // "Win32_NetworkAdapterConfiguration=<ifindex>", RenewDHCPLeaseAll on the class.
    int ExecMethod(const std::string& objectPath, const std::string& method, const Object& inputs) override;
    int ExecMethodAsync(const std::string& objectPath, const std::string& method, const Object& inputs,
                        std::unique_ptr<CallResult>& call) override;
};

} // namespace platform::wmi
