#pragma once
// What stands for the host itself rather than for one module of the process: where the
// registry store lives, the program and run directories, the management service and the host
// tree it reads. These live in one shared library (libplatform_host.so) so that every copy of
// the platform layer in a process, the program's and each host library's private one, sees one
// host, as every module of a process sees one registry; the rest of each copy stays its own.

#include <atomic>
#include <mutex>
#include <string>

#define PLATFORM_HOST_API __attribute__((visibility("default")))

namespace platform::wmi {
class Provider;
}

namespace platform::host {

// A text that tests or a program set; empty is "not set".
class PLATFORM_HOST_API TextSetting {
public:
    std::string Get() const;
    void Set(std::string value);

private:
    mutable std::mutex m_mutex;
    std::string m_value;
};

PLATFORM_HOST_API TextSetting& RegistryRoot();
PLATFORM_HOST_API TextSetting& ProgramDirectory();
PLATFORM_HOST_API TextSetting& RunDirectory();
PLATFORM_HOST_API TextSetting& WmiHostRoot();
// The installed management provider, nullptr for the Linux one.
PLATFORM_HOST_API std::atomic<wmi::Provider*>& WmiProvider();

} // namespace platform::host
