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
        auto result = client.Start();
        return result == platform::DhcpClient::StartResult::Started ||
                       result == platform::DhcpClient::StartResult::AlreadyRunning
                   ? 0
                   : 1;
    }
    if (std::strcmp(argv[1], "stop") == 0)
        return client.Stop() ? 0 : 1;
    if (std::strcmp(argv[1], "renew") == 0)
        return client.Renew() ? 0 : 1;
    std::fprintf(stderr, "dhcp-client: unknown command %s\n", argv[1]);
    return 2;
}
