#pragma once
// A PC namespace whose card wl0 is a veth that the supplicant drives with its "wired" driver
// (an open network is joined at once over it), and a peer namespace on the other end that may
// serve DHCP. Skips without the supplicant; stops the wireless service afterwards.

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/files/FileIo.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/RunDirectory.h"
#include "platform/net/Daemon.h"
#include "platform/net/DhcpClient.h"
#include "platform/wifi/WlanService.h"
#include "tests/support/DhcpServer.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"

namespace testsupport {

class WlanBenchTest : public NetnsTest {
protected:
    explicit WlanBenchTest(std::string cardMac) : m_cardMac(std::move(cardMac)) {}

    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped())
            return;
        if (platform::FindProgram("wpa_supplicant").empty() || platform::FindProgram("wpa_cli").empty())
            GTEST_SKIP() << "wpasupplicant is not installed";
        const char* binary = std::getenv("CORVAY_BINARY_DIR");
        ASSERT_TRUE(binary) << "run under ctest";
        AdoptOrphanedDaemons();
        platform::SetProgramDirectory((std::string(binary) + "/bin").c_str());
        platform::SetRunDirectory(m_run.str());
        platform::WlanService::SetOptions(platform::WlanServiceOptions{{"wl0"}, "wired"});
        pc = &AddNamespace();
        peer = &AddNamespace();
        AddVethPair(*pc, "wl0", *peer, "wlpeer", m_cardMac);
    }
    void TearDown() override {
        if (pc)
            RunInside(*pc, [] { platform::WlanService::Stop(); });
        platform::WlanService::SetOptions(std::nullopt);
        platform::SetRunDirectory("");
        platform::SetProgramDirectory("");
    }

    // Every process the service started, from its pid files.
    static std::vector<pid_t> ServicePids() {
        std::vector<pid_t> pids;
        for (const std::string& file :
             {platform::WlanPaths::DaemonPidFile(), platform::WlanPaths::ListenerPidFile("wl0"),
              platform::DhcpClient("wl0").PidFile()})
            if (auto text = platform::ReadWholeFile(file))
                pids.push_back(std::atoi(text->c_str()));
        return pids;
    }

    NetNamespace* pc = nullptr;
    NetNamespace* peer = nullptr;

private:
    std::string m_cardMac;
    TempDir m_run{"wlan-run"};
};

} // namespace testsupport
