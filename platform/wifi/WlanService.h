#pragma once
// The wireless service: one supplicant daemon of the project, with a global control socket, a
// control socket and configuration file per wireless link, and per link an event listener that
// runs the program directory's "wlan-event" (a joined link gets its DHCP client). Everything
// lives in wlan/ of the run directory. The Win32 service states and codes are its language.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct WlanPaths {
    static std::string Directory();
    static std::string GlobalSocket(); // the one of the supplicant in use
    static std::string ControlDirectory();
    static std::string InterfaceSocket(const std::string& link);
    static std::string ConfigFile(const std::string& link);
    static std::string ProfileDirectory(const std::string& link);
    static std::string DaemonPidFile();
    static std::string ListenerDirectory(); // the listeners' client sockets
    static std::string ListenerPidFile(const std::string& link);
    static std::string ServiceLock(); // held by a start or a stop
};

constexpr uint32_t kServiceStopped = 1;
constexpr uint32_t kServiceStartPending = 2;
constexpr uint32_t kServiceStopPending = 3;
constexpr uint32_t kServiceRunning = 4;

struct ServiceStatus {
    uint32_t currentState = kServiceStopped;
    uint32_t checkPoint = 0;
    uint32_t waitHint = 0; // ms
    uint32_t win32ExitCode = 0;
};

struct WlanServiceOptions {
    // The links to control; empty: every wireless link of the namespace.
    std::vector<std::string> links;
    std::string driver = "nl80211,wext";
    // The global control socket of a supplicant that runs apart from the program (the
    // system's own, say): the service adds its links to that one and takes them away again at
    // its stop, and runs no supplicant of its own. Empty: the service runs its own.
    std::string supplicantSocket = "";
};

class WlanService {
public:
    // 0; 1056 when it runs already; 2 when the supplicant is not installed; 1053 when the daemon
    // did not come up.
    static uint32_t Start();
    // 0; 1062 when it does not run.
    static uint32_t Stop();
    static ServiceStatus Status();
    // Whether clients are served: the supplicant answers and, on one of the system's, the
    // service has put its links there.
    static bool Serving();
    // Which links, which driver, whose supplicant (Config.ini's [WLan] keys); nothing: the
    // defaults.
    static void SetOptions(std::optional<WlanServiceOptions> options);
};

// Takes what a network gave a wireless link off it once the link has left that network: the
// link's DHCP client and lease, and every IPv4 address and route of the link (it holds nothing
// but what its leases gave it). True when none is left.
bool ReleaseWirelessLink(const std::string& link);

} // namespace platform
