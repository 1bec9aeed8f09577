#include "hostnet/pellar/Rasproxy.h"

#include "platform/files/Registry.h"

using namespace platform;

int GetRasInternetProxy(const char* /*connection*/, int& enabled, CString& server) {
    enabled = 0;
    server.Empty();
    uint32_t value = 0;
    long result = RegGetDword(Hive::CurrentUser, pellar::kInternetSettingsKey, "ProxyEnable", value);
    if (result != kRegSuccess && result != kRegNotFound)
        return 0;
    enabled = value != 0 ? 1 : 0;
    result = RegGetString(Hive::CurrentUser, pellar::kInternetSettingsKey, "ProxyServer", server);
    if (result != kRegSuccess)
        server.Empty();
    return result == kRegSuccess || result == kRegNotFound ? 1 : 0;
}

int EnableRasInternetProxy(const char* /*connection*/, int enable) {
    return RegSetDword(Hive::CurrentUser, pellar::kInternetSettingsKey, "ProxyEnable", enable ? 1 : 0) ==
                   kRegSuccess
               ? 1
               : 0;
}

int SetRasInternetProxyServer(const char* /*connection*/, const char* server) {
    return RegSetString(Hive::CurrentUser, pellar::kInternetSettingsKey, "ProxyServer",
                        server ? server : "") == kRegSuccess
               ? 1
               : 0;
}
