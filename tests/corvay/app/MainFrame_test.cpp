// The frame's end without windows: what it deletes, in order, and the console manager in use
// that a changed connection mode must not leave behind.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "corvay/app/MainFrame.h"
#include "engine/config/Configer.h"
#include "engine/switch/SwitchManager.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/net/Daemon.h"
#include "tests/support/FakeConsoleTest.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/ProcessConfiguration.h"

namespace {

// True while some open file of the line holds its lock (the console's serial port does).
bool LineHeld(const std::string& device) {
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
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
