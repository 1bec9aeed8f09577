// The frame's end without windows: what it deletes, in order, and the console manager in use
// that a changed connection mode must not leave behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "corvay/app/MainFrame.h"
#include "engine/config/Configer.h"
#include "engine/switch/SwitchManager.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/net/Daemon.h"
#include "tests/support/FakeConsoleTest.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/ProcessConfiguration.h"

namespace {

// True while a file of this process open on the line holds its lock (the console's serial port
// does). Read from the process's file table: a probe of the lock would itself hold it for a
// moment, and a manager opening the line then would find it occupied.
bool LineHeld(const std::string& device) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path line = fs::canonical(device, error);
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", error)) {
        std::error_code unreadable;
        if (fs::read_symlink(entry.path(), unreadable) != line)
            continue;
        std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
        for (std::string text; std::getline(info, text);)
            if (text.rfind("lock:", 0) == 0 && text.find("FLOCK") != std::string::npos)
                return true;
    }
    return false;
}

class MainFrameSingletons : public testsupport::FakeConsoleTest {};

TEST_F(MainFrameSingletons, TheConsoleManagerInUseGoesAlsoAfterTheModeWasChangedToTelnet) {
    testsupport::ProcessConfiguration configuration("[Switch]\r\nConnectMode=Serial\r\n");
    ASSERT_TRUE(configuration->GetSwitchConfig().IsSerial);
    // The view took the console manager at start...
    ASSERT_NE(SwitchManager::Instance(config, options), nullptr);
    viewReady.Set();
    ASSERT_TRUE(platform::PollUntil([&] { return LineHeld(fake.DevicePath()); }, std::chrono::seconds(5)));
    // ...then the switch settings turned the mode to telnet, which takes effect at the next start.
    SwitchConfig changed = configuration->GetSwitchConfig();
    changed.IsSerial = false;
    ASSERT_TRUE(configuration->SetSwitchConfig(changed));
    SwitchManager2::Instance(changed);

    DeleteProgramSingletons(false);

    EXPECT_FALSE(LineHeld(fake.DevicePath())) << "the console manager still holds the serial line";
    EXPECT_EQ(Configer::Existing(), nullptr);
    const std::string log = testsupport::LogText();
    const size_t switches = log.find("SwitchManager deleted.");
    ASSERT_NE(switches, std::string::npos);
    EXPECT_LT(switches, log.find("Singletons deleted.", switches));
}

} // namespace
