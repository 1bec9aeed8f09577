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
};

} // namespace platform::wmi
