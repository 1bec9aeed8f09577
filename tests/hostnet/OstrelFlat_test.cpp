// The flat exports that read only the host's files, over a fake tree of them.

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "platform/files/ProgramDirectory.h"
#include "tests/hostnet/HostTree.h"
#include "tests/hostnet/OstrelFlat.h"
#include "tests/support/TempDir.h"

namespace {

TEST(OstrelFlat, IsUSBExistWhenTheTreeHasAUsbRootHub) {
    using Files = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* name;
        Files files;
        int expected;
    } cases[] = {
        {"two root hubs and a device",
         {{"sys/bus/usb/devices/usb1/product", "xHCI Host Controller\n"},
          {"sys/bus/usb/devices/usb2/product", "EHCI Host Controller\n"},
          {"sys/bus/usb/devices/1-1/product", "USB Keyboard\n"}},
         1},
        {"a root hub without a product text", {{"sys/bus/usb/devices/usb3/idVendor", "1d6b\n"}}, 1},
        {"only a device, no root hub", {{"sys/bus/usb/devices/1-1/product", "USB Keyboard\n"}}, 0},
        {"no USB bus at all", {{"proc/meminfo", "MemTotal: 1 kB\n"}}, 0},
    };
    testsupport::TempDir dir;
    platform::SetProgramDirectory((dir.str() + "/").c_str());
    testsupport::OstrelFlat flat;
    ASSERT_NE(flat.IsUSBExist, nullptr);
    for (const auto& c : cases) {
        testsupport::HostTree tree;
        for (const auto& [path, bytes] : c.files)
            tree.Write(path, bytes);
        EXPECT_EQ(flat.IsUSBExist(), c.expected) << c.name;
    }
    platform::SetProgramDirectory("");
}

} // namespace
