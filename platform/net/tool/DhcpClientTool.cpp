// dhcp-client start|stop|renew <link>: the DHCP client of a link, for scripts (the wireless
// service's event listener starts it on a join). Exit status 0 on success.

#include <cstdio>
#include <cstring>

#include "platform/net/DhcpClient.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: dhcp-client start|stop|renew <link>\n");
        return 2;
    }
    platform::DhcpClient client(argv[2]);
    if (std::strcmp(argv[1], "start") == 0) {
        using Result = platform::DhcpClient::StartResult;
        switch (client.Start()) {
        case Result::Started:
        case Result::AlreadyRunning:
            return 0;
        case Result::ClientMissing:
            std::fprintf(stderr, "dhcp-client: busybox is not installed\n");
            return 1;
        case Result::NoRunDirectory:
            std::fprintf(stderr,
                         "dhcp-client: the run directory cannot be made (/run/corvay or CORVAY_RUN_DIR)\n");
            return 1;
        case Result::Failed:
            break;
        }
        std::fprintf(stderr, "dhcp-client: the client of %s did not start\n", argv[2]);
        return 1;
    }
    if (std::strcmp(argv[1], "stop") == 0)
        return client.Stop() ? 0 : 1;
    if (std::strcmp(argv[1], "renew") == 0)
        return client.Renew() ? 0 : 1;
    std::fprintf(stderr, "dhcp-client: unknown command %s\n", argv[1]);
    return 2;
}
