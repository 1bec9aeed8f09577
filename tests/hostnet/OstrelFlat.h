#pragma once
// The Ostrel library's flat exports as a caller that loads the library sees them: looked up by
// name in libostrel.so of the program directory.

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "hostnet/ostrel/Ostrel.h"

namespace testsupport {

struct OstrelFlat {
    ~OstrelFlat() {
        if (handle)
            ::dlclose(handle);
    }
    template <typename F> F* Bind(const char* name) {
        void* symbol = handle ? ::dlsym(handle, name) : nullptr;
        EXPECT_NE(symbol, nullptr) << name;
        Dl_info info{};
        if (symbol && ::dladdr(symbol, &info)) {
            EXPECT_EQ(std::filesystem::path(info.dli_fname).filename(), "libostrel.so") << name;
        }
        return reinterpret_cast<F*>(symbol);
    }
    static void* Open() {
        const char* binary = std::getenv("CORVAY_BINARY_DIR");
        std::string path = std::string(binary ? binary : ".") + "/bin/libostrel.so";
        void* handle = ::dlopen(path.c_str(), RTLD_NOW);
        EXPECT_NE(handle, nullptr) << ::dlerror();
        return handle;
    }
    void* handle = Open();
    decltype(&::IsWMIInstalled) IsWMIInstalled = Bind<int()>("IsWMIInstalled");
    decltype(&::GetNetCardRecvSendData) GetNetCardRecvSendData =
        Bind<int(NetCardTraffic*)>("GetNetCardRecvSendData");
    decltype(&::AddIpAddress) AddIpAddress = Bind<int(char*, char*)>("AddIpAddress");
    decltype(&::AddIpAddressEx) AddIpAddressEx = Bind<int(char*, char*, CString)>("AddIpAddressEx");
    decltype(&::DeleteIpAddress) DeleteIpAddress = Bind<void()>("DeleteIpAddress");
    decltype(&::IsUSBExist) IsUSBExist = Bind<int()>("IsUSBExist");
    decltype(&::GetAllNetCardIndexs) GetAllNetCardIndexs = Bind<int(CStringArray*)>("GetAllNetCardIndexs");
    decltype(&::FindModemIP) FindModemIP =
        Bind<int(FindModemGroups*, unsigned long*, char*, int)>("FindModemIP");
    decltype(&::GetNetCardInfo) GetNetCardInfo = Bind<int(unsigned long, NetCardInfoText*)>("GetNetCardInfo");
    decltype(&::GetConnectedNetCard) GetConnectedNetCard =
        Bind<int(char*, unsigned long*)>("GetConnectedNetCard");
    decltype(&::GetNicCountByType) GetNicCountByType = Bind<int(int, int)>("GetNicCountByType");
    decltype(&::Pinging) Pinging = Bind<int(char*, int*, int*)>("Pinging");
    decltype(&::GetConnectedNetCardEx) GetConnectedNetCardEx =
        Bind<int(CString, CString, unsigned long*, int)>("GetConnectedNetCardEx");
    decltype(&::SetNetCardIP) SetNetCardIP = Bind<int(char*, char*, char*)>("SetNetCardIP");
    decltype(&::SetNetCardGateway) SetNetCardGateway = Bind<int(char*, char*)>("SetNetCardGateway");
    decltype(&::SetNetCardDNS) SetNetCardDNS = Bind<int(char*, char*)>("SetNetCardDNS");
    decltype(&::EnableNetCardDHCP) EnableNetCardDHCP = Bind<int(char*)>("EnableNetCardDHCP");
};

} // namespace testsupport
