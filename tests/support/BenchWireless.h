#pragma once
// What the wireless test needs of the simulated bench: its program directory with what the
// wireless service runs, and a modem's wireless page posted as the operator's browser posts it.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/NetNamespace.h"
#include "bench/SimulatedBench.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/files/RunDirectory.h"

namespace testsupport {

// The bench built, with the wireless event scripts and the programs they run (a join's DHCP
// client, a leave's release) from the build tree in its program directory, which becomes the
// program's, and the run directory set. Nothing when not under ctest.
inline std::unique_ptr<bench::SimulatedBench> BuildWirelessBench(const bench::SimulatedBenchConfig& config,
                                                                 const std::string& runDirectory) {
    const char* binary = std::getenv("CORVAY_BINARY_DIR");
    if (!binary)
        return nullptr;
    auto sim = std::make_unique<bench::SimulatedBench>(config);
    sim->Build();
    for (const char* program : {"wlan-event", "dhcp-event", "dhcp-client", "wlan-link"})
        std::filesystem::copy_file(std::filesystem::path(binary) / "bin" / program,
                                   std::filesystem::path(sim->Directory()) / program,
                                   std::filesystem::copy_options::overwrite_existing);
    platform::SetProgramDirectory((sim->Directory() + "/").c_str());
    platform::SetRegistryRoot((sim->Directory() + "/registry").c_str());
    platform::SetRunDirectory(runDirectory);
    return sim;
}

// Over the LAN card to the factory address: ssid, security (0 none, 1 WEP, 2 WPA, 3 WPA2) and
// key. The page's HTTP status; "000" when nothing answered.
inline std::string PostWirelessPage(const bench::NetNamespace& pc, const std::string& form) {
    std::string code;
    pc.Shell("curl -s -o /dev/null -w '%{http_code}' --max-time 20 --interface lan0 -d " + bench::ShellQuote(form) +
                 " http://192.168.1.1/wlan.cgi",
             &code);
    return code;
}

} // namespace testsupport
