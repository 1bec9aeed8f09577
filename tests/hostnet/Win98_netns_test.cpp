// The Windows 9x modem search on a Linux host: only its direct phase runs, against a modem
// namespace that serves a web page; no temporary address is ever added.

#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "bench/FakeWebServer.h"
#include "hostnet/pellar/PCInfo.h"
#include "tests/hostnet/TempAddressBench.h"

using testsupport::RunInside;

namespace {

class Win98Net : public testsupport::TempAddressBench {};

TEST_F(Win98Net, ModemSearchFindsOnlyWhatAnswersDirectly) {
    bench::FakeWebServer server;
    server.Route("GET", "/", bench::WebResponse::Ok("modem"));
    RunInside(*modem, [&] { server.Start("192.0.2.2"); });
    std::string port = std::to_string(server.Port());
    modem->Ip("addr add 192.0.2.3/24 dev m0"); // answers pings, serves nothing
    struct Case {
        const char* what;
        std::vector<std::string> addresses;
        std::string found;
        unsigned long index;
    } cases[] = {
        {"direct", {"203.0.113.1", "192.0.2.3", "192.0.2.2"}, "192.0.2.2", static_cast<unsigned long>(lan)},
        // Behind a temporary address only: the Windows 9x stack that would add it is missing.
        {"unreachable", {"203.0.113.1", "192.0.2.3"}, "", 0xFFFFFFFFUL},
    };
    for (const Case& c : cases) {
        CStringArray addresses, masks, ports;
        for (const auto& address : c.addresses) {
            addresses.Add(address.c_str());
            masks.Add("255.255.255.0");
            ports.Add(port.c_str());
        }
        std::string found = "unset";
        unsigned long index = 7;
        int added = 1;
        RunInside(*pc, [&] {
            PCInfo info;
            found = info.FindModemIP98(addresses, masks, ports, index, added).str();
        });
        EXPECT_EQ(found, c.found) << c.what;
        EXPECT_EQ(index, c.index) << c.what;
        EXPECT_EQ(added, 0) << c.what;
        EXPECT_TRUE(Added().empty()) << c.what;
    }
}

} // namespace
