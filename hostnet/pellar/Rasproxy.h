#pragma once
// Our stand-in for the outside library that reads and sets the host's browser proxy. The
// connection argument is always null (the default connection). The switch and the server live
// in the registry store's "Internet Settings" key as ProxyEnable (DWORD) and ProxyServer; no
// Linux program reads them: they serve this library's own callers.

#include "platform/text/CString.h"

namespace pellar {
// The key of the user's browser connection settings.
constexpr const char* kInternetSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
} // namespace pellar

// 1 read (missing values read as off and ""), 0 when the store cannot be read.
int GetRasInternetProxy(const char* connection, int& enabled, CString& server);
// 1 written, 0 not.
int EnableRasInternetProxy(const char* connection, int enable);
int SetRasInternetProxyServer(const char* connection, const char* server);
