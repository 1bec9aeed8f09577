// wlan-link release <link>: what a network gave a wireless link taken off it, for the wireless
// service's event listener when the link leaves its network. Exit status 0 on success.

#include <cstdio>
#include <cstring>

#include "platform/wifi/WlanService.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "release") != 0) {
        std::fprintf(stderr, "usage: wlan-link release <link>\n");
        return 2;
    }
    return platform::ReleaseWirelessLink(argv[2]) ? 0 : 1;
}
