#include "platform/wifi/WlanService.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <linux/rtnetlink.h>
#include <mutex>

#include "platform/files/FileIo.h"
#include "platform/files/FileLock.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/RunDirectory.h"
#include "platform/net/Daemon.h"
#include "platform/net/DhcpClient.h"
#include "platform/net/Netlink.h"
#include "platform/wifi/WpaControl.h"
#include "platform/wifi/WpaText.h"

namespace platform {

namespace {

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorServiceRequestTimeout = 1053;
constexpr uint32_t kErrorServiceAlreadyRunning = 1056;
constexpr uint32_t kErrorServiceNotActive = 1062;
constexpr uint32_t kStartWaitHintMs = 10000;

std::mutex g_mutex;
std::optional<WlanServiceOptions> g_options;

WlanServiceOptions Options() {
    std::lock_guard lock(g_mutex);
    return g_options.value_or(WlanServiceOptions{});
}

std::vector<std::string> LinksToControl(const WlanServiceOptions& options) {
    if (!options.links.empty())
        return options.links;
    std::vector<std::string> links;
    std::vector<LinkInfo> all;
    Netlink netlink;
    if (netlink.ListLinks(all))
        for (const LinkInfo& link : all)
            if (link.isWireless)
                links.push_back(link.name);
    return links;
}

bool Answers(const std::string& socket) {
    WpaControl control(socket);
    if (!control.Open())
        return false;
    std::optional<std::string> reply = control.Request("PING", std::chrono::milliseconds(1000));
    return reply && reply->rfind("PONG", 0) == 0;
}

std::vector<std::string> ControlledLinks() {
    WpaControl control(WlanPaths::GlobalSocket());
    std::vector<std::string> links;
    if (!control.Open())
        return links;
    std::optional<std::string> reply = control.Request("INTERFACES");
    if (!reply)
        return links;
    size_t start = 0;
    while (start < reply->size()) {
        size_t end = reply->find('\n', start);
        std::string line = reply->substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty())
            links.push_back(line);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return links;
}

pid_t DaemonPid() {
    return RunningPidFromFile(WlanPaths::DaemonPidFile(), {"-g", WlanPaths::GlobalSocket()});
}

pid_t ListenerPid(const std::string& link) {
    return RunningPidFromFile(WlanPaths::ListenerPidFile(link),
                              {"-i", link, "-p", WlanPaths::ControlDirectory()});
}

bool WritePidFile(const std::string& file, pid_t pid) {
    return SaveFileAtomically(file, std::to_string(pid) + "\n");
}

// The link whose listener's pid file this is, or "".
std::string ListenerLinkOf(const std::string& fileName) {
    const std::string prefix = "wpa_cli-", suffix = ".pid";
    if (fileName.rfind(prefix, 0) != 0 || fileName.size() <= prefix.size() + suffix.size() ||
        fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0)
        return "";
    return fileName.substr(prefix.size(), fileName.size() - prefix.size() - suffix.size());
}

// The links whose listener runs.
std::vector<std::string> ListenedLinks() {
    std::vector<std::string> links;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(WlanPaths::Directory(), error)) {
        std::string link = ListenerLinkOf(entry.path().filename().string());
        if (!link.empty() && ListenerPid(link))
            links.push_back(link);
    }
    return links;
}

// The listener reports joins from its attach on; a saved network may have been joined before.
// The listener goes to the background and writes its pid file only once it is attached, so a
// join that STATUS does not show yet reaches the listener.
void CatchUpOnAJoin(const std::string& link, pid_t starter) {
    // The starter ends as the listener goes to the background (or fails); this reaps it.
    PollUntil([&] { return !IsRunning(starter); }, std::chrono::seconds(5));
    if (!PollUntil([&] { return ListenerPid(link) != 0; }, std::chrono::seconds(5)))
        return;
    WpaControl control(WlanPaths::InterfaceSocket(link));
    if (!control.Open())
        return;
    auto status = ParseWpaKeyValues(control.Request("STATUS").value_or(""));
    if (status["wpa_state"] == "COMPLETED" && !DhcpClient(link).Pid())
        DhcpClient(link).Start();
}

// A socket file is left by a daemon that was killed; one that answers is a live daemon's.
void RemoveDeadSocket(const std::string& socket) {
    std::error_code error;
    if (!Answers(socket))
        std::filesystem::remove(socket, error);
}

} // namespace

std::string WlanPaths::Directory() {
    return RunDirectory() + "/wlan";
}
std::string WlanPaths::GlobalSocket() {
    std::string external = Options().supplicantSocket;
    return external.empty() ? Directory() + "/global" : external;
}
std::string WlanPaths::ControlDirectory() {
    return Directory() + "/ctrl";
}
std::string WlanPaths::InterfaceSocket(const std::string& link) {
    return ControlDirectory() + "/" + link;
}
std::string WlanPaths::ConfigFile(const std::string& link) {
    return Directory() + "/" + link + ".conf";
}
std::string WlanPaths::ProfileDirectory(const std::string& link) {
    return Directory() + "/profiles/" + link;
}
std::string WlanPaths::DaemonPidFile() {
    return Directory() + "/wpa_supplicant.pid";
}
std::string WlanPaths::ListenerDirectory() {
    return Directory() + "/listeners";
}
std::string WlanPaths::ListenerPidFile(const std::string& link) {
    return Directory() + "/wpa_cli-" + link + ".pid";
}
std::string WlanPaths::ServiceLock() {
    return Directory() + "/service.lock";
}

void WlanService::SetOptions(std::optional<WlanServiceOptions> options) {
    std::lock_guard lock(g_mutex);
    g_options = std::move(options);
}

uint32_t WlanService::Start() {
    WlanServiceOptions options = Options();
    const bool own = options.supplicantSocket.empty();
    std::string listener = FindProgram("wpa_cli");
    std::string supplicant = own ? FindProgram("wpa_supplicant") : options.supplicantSocket;
    if (supplicant.empty() || listener.empty())
        return kErrorFileNotFound;
    std::error_code error;
    std::filesystem::create_directories(WlanPaths::ControlDirectory(), error);
    std::filesystem::create_directories(WlanPaths::ListenerDirectory(), error);
    // The configuration holds the pass phrases.
    std::filesystem::permissions(WlanPaths::Directory(), std::filesystem::perms::owner_all, error);
    // One start or stop at a time, in this process and in any other.
    FileLock lock;
    if (!lock.Lock(WlanPaths::ServiceLock(), FileLock::kExclusive))
        return kErrorServiceRequestTimeout;
    if (own) {
        if (DaemonPid() || Answers(WlanPaths::GlobalSocket()))
            return kErrorServiceAlreadyRunning;
        RemoveDeadSocket(WlanPaths::GlobalSocket());
        // The daemon saves the configuration itself, through a file of its own making: under a
        // umask that keeps it root's from the start.
        pid_t daemon = StartDaemon({"/bin/sh", "-c", "umask 077 && exec \"$0\" \"$@\"", supplicant, "-g",
                                    WlanPaths::GlobalSocket()},
                                   {});
        if (!daemon)
            return kErrorServiceRequestTimeout;
        if (!WritePidFile(WlanPaths::DaemonPidFile(), daemon) ||
            !PollUntil([] { return Answers(WlanPaths::GlobalSocket()); }, std::chrono::seconds(5))) {
            StopDaemon(daemon);
            std::filesystem::remove(WlanPaths::DaemonPidFile(), error);
            return kErrorServiceRequestTimeout;
        }
    } else {
        if (!Answers(WlanPaths::GlobalSocket()))
            return kErrorServiceRequestTimeout;
        if (!ListenedLinks().empty())
            return kErrorServiceAlreadyRunning;
    }

    WpaControl global(WlanPaths::GlobalSocket());
    global.Open();
    std::vector<std::string> controlled = ControlledLinks();
    std::string eventScript = std::string(JoinPath(ProgramDirectory(), "wlan-event"));
    for (const std::string& link : LinksToControl(options)) {
        // A supplicant of the system's may hold the link from an earlier start already.
        if (std::find(controlled.begin(), controlled.end(), link) == controlled.end()) {
            std::string config = WlanPaths::ConfigFile(link);
            if (!std::filesystem::exists(config))
                SaveFileAtomically(config,
                                   "ctrl_interface=" + WlanPaths::ControlDirectory() + "\nupdate_config=1\n",
                                   kSecretFileMode);
            else // one saved by an older build
                std::filesystem::permissions(config, std::filesystem::perms(kSecretFileMode), error);
            RemoveDeadSocket(WlanPaths::InterfaceSocket(link));
            std::optional<std::string> added =
                global.Request("INTERFACE_ADD " + link + "\t" + config + "\t" + options.driver + "\t" +
                                   WlanPaths::ControlDirectory() + "\t\t",
                               std::chrono::seconds(10));
            if (!added || added->rfind("OK", 0) != 0)
                continue; // not one of ours: the service runs without it
        }
        if (ListenerPid(link))
            continue;
        // The listener goes to the background (and writes its pid file) once it is attached.
        std::filesystem::remove(WlanPaths::ListenerPidFile(link), error);
        pid_t starter =
            StartDaemon({listener, "-p", WlanPaths::ControlDirectory(), "-i", link, "-a", eventScript, "-s",
                         WlanPaths::ListenerDirectory(), "-B", "-P", WlanPaths::ListenerPidFile(link)},
                        {"CORVAY_RUN_DIR=" + RunDirectory()});
        if (starter)
            CatchUpOnAJoin(link, starter);
    }
    return 0;
}

ServiceStatus WlanService::Status() {
    ServiceStatus status;
    // A supplicant of the system's runs the service while links of ours are listened to.
    const bool own = Options().supplicantSocket.empty();
    std::vector<std::string> listened = own ? std::vector<std::string>() : ListenedLinks();
    if (own ? !DaemonPid() : listened.empty() || !Answers(WlanPaths::GlobalSocket()))
        return status;
    status.currentState = kServiceStartPending;
    status.waitHint = kStartWaitHintMs;
    if (!Answers(WlanPaths::GlobalSocket()))
        return status;
    std::vector<std::string> links = own ? ControlledLinks() : listened;
    for (const std::string& link : links)
        if (Answers(WlanPaths::InterfaceSocket(link)))
            ++status.checkPoint;
    if (status.checkPoint == links.size()) {
        status.currentState = kServiceRunning;
        status.checkPoint = 0;
        status.waitHint = 0;
    }
    return status;
}

bool WlanService::Serving() {
    return Answers(WlanPaths::GlobalSocket()) && (Options().supplicantSocket.empty() || !ListenedLinks().empty());
}

uint32_t WlanService::Stop() {
    FileLock lock;
    std::error_code error;
    if (!std::filesystem::exists(WlanPaths::Directory(), error) ||
        !lock.Lock(WlanPaths::ServiceLock(), FileLock::kExclusive))
        return kErrorServiceNotActive;
    WlanServiceOptions options = Options();
    const bool own = options.supplicantSocket.empty();
    // A daemon that lost its pid file still answers on its socket.
    pid_t daemon = own ? DaemonPid() : 0;
    std::vector<std::string> listened = ListenedLinks();
    if (!daemon && !Answers(WlanPaths::GlobalSocket()) && (own || listened.empty()))
        return kErrorServiceNotActive;
    std::vector<std::string> controlled = ControlledLinks(), links;
    if (own) {
        links = controlled;
    } else {
        // Only what the service added goes: the links it listened to and those it controls.
        std::vector<std::string> ours = LinksToControl(options);
        for (const std::string& link : controlled)
            if (std::find(ours.begin(), ours.end(), link) != ours.end())
                links.push_back(link);
    }
    // Listeners first, so that none runs its script for the daemon's last events.
    for (const auto& entry : std::filesystem::directory_iterator(WlanPaths::Directory(), error)) {
        std::string link = ListenerLinkOf(entry.path().filename().string());
        if (link.empty())
            continue;
        if (pid_t pid = ListenerPid(link))
            StopDaemon(pid);
        std::filesystem::remove(entry.path(), error);
        links.push_back(link);
    }
    // A listener that had to be killed leaves its socket.
    for (const auto& entry : std::filesystem::directory_iterator(WlanPaths::ListenerDirectory(), error))
        std::filesystem::remove(entry.path(), error);
    WpaControl global(WlanPaths::GlobalSocket());
    if (!own) {
        if (global.Open())
            for (const std::string& link : links)
                if (std::find(controlled.begin(), controlled.end(), link) != controlled.end())
                    global.Request("INTERFACE_REMOVE " + link, std::chrono::milliseconds(2000));
        for (const std::string& link : links)
            ReleaseWirelessLink(link);
        return 0;
    }
    if (global.Open())
        global.Request("TERMINATE", std::chrono::milliseconds(2000));
    if (daemon && !PollUntil([&] { return !IsRunning(daemon); }, std::chrono::seconds(3)))
        StopDaemon(daemon);
    if (!daemon)
        PollUntil([] { return !Answers(WlanPaths::GlobalSocket()); }, std::chrono::seconds(3));
    std::filesystem::remove(WlanPaths::DaemonPidFile(), error);
    std::filesystem::remove(WlanPaths::GlobalSocket(), error);
    for (const std::string& link : links) {
        ReleaseWirelessLink(link);
        std::filesystem::remove(WlanPaths::InterfaceSocket(link), error);
    }
    return 0;
}

bool ReleaseWirelessLink(const std::string& link) {
    bool released = DhcpClient(link).Stop();
    Netlink netlink;
    std::optional<LinkInfo> info = netlink.GetLink(link);
    if (!info)
        return released; // gone, and all it held with it
    auto held = [&](std::vector<Ipv4Address>& addresses, std::vector<Route>& routes) {
        std::vector<Route> all;
        netlink.ListAddresses(addresses, info->index);
        netlink.ListRoutes(all);
        for (const Route& route : all)
            if (route.ifindex == info->index && route.type == RTN_UNICAST)
                routes.push_back(route);
    };
    std::vector<Ipv4Address> addresses;
    std::vector<Route> routes;
    held(addresses, routes);
    for (const Ipv4Address& address : addresses)
        netlink.DeleteAddress(info->index, address.address, address.prefixLength);
    // The kernel takes most routes away with the last address; the rest go here.
    for (const Route& route : routes)
        netlink.DeleteRoute(route);
    addresses.clear();
    routes.clear();
    held(addresses, routes);
    return released && addresses.empty() && routes.empty();
}

} // namespace platform
