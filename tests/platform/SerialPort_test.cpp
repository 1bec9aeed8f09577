#include "platform/net/Pty.h"
#include "platform/net/SerialPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using platform::SerialEvent;
using platform::SerialOpenResult;
using platform::SerialPort;

namespace {

// What the reader thread reported.
struct Events {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<int> received{0};
    std::atomic<int> errors{0};
    std::string detail; // under the mutex

    SerialPort::EventHandler Handler() {
        return [this](SerialEvent event, const std::string& text) {
            std::lock_guard<std::mutex> lock(mutex);
            if (event == SerialEvent::Received)
                ++received;
            else {
                ++errors;
                detail = text;
            }
            changed.notify_all();
        };
    }
    std::string Detail() {
        std::lock_guard<std::mutex> lock(mutex);
        return detail;
    }
    bool WaitFor(const std::function<bool()>& done, int ms = 2000) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(ms), done);
    }
};

std::string ReadMaster(int fd, size_t want) {
    std::string got;
    while (got.size() < want) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0)
            break;
        char buffer[256];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        if (!pty.Open(&error))
            GTEST_SKIP() << "no pty: " << error;
    }
    platform::PtyPair pty;
    Events events;
};

} // namespace

TEST_F(SerialPortTest, CarriesBytesBothWaysInRawMode) {
    SerialPort port;
    ASSERT_EQ(port.Open(pty.SlavePath(), {9600, 8, 1}, events.Handler()), SerialOpenResult::Ok);

    termios tio{};
    platform::UniqueFd other(::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_EQ(::tcgetattr(other.Get(), &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), B9600);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO));
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF | ICRNL));
    EXPECT_FALSE(tio.c_oflag & OPOST);

    // Line ends pass untranslated in both directions.
    ASSERT_TRUE(port.Write("show port 1\n"));
    EXPECT_EQ(ReadMaster(pty.Master(), 12), "show port 1\n");
    const std::string reply = "PortId     : 1\r\nlogin:";
    ASSERT_EQ(::write(pty.Master(), reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
    std::string got;
    ASSERT_TRUE(events.WaitFor([&] {
        got += port.TakeInput();
        // The bytes can be taken before the receive event has been counted.
        return got.size() >= reply.size() && events.received >= 1;
    }));
    EXPECT_EQ(got, reply);
    EXPECT_EQ(events.errors, 0);
}

TEST_F(SerialPortTest, SecondHolderFindsTheLineOccupiedUntilItIsClosed) {
    SerialPort first, second;
    ASSERT_EQ(first.Open(pty.SlavePath(), {}, events.Handler()), SerialOpenResult::Ok);
    std::string error;
    EXPECT_EQ(second.Open(pty.SlavePath(), {}, events.Handler(), &error), SerialOpenResult::Occupied);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_NE(error.find("flock"), std::string::npos) << error;
    first.Close();
    EXPECT_EQ(second.Open(pty.SlavePath(), {}, events.Handler()), SerialOpenResult::Ok);
}

TEST_F(SerialPortTest, RefusesMissingDevicesAndUnsupportedSettings) {
    EXPECT_EQ(SerialPort::DeviceOfComPort(1), "/dev/ttyS0");
    EXPECT_EQ(SerialPort::DeviceOfComPort(3), "/dev/ttyS2");
    struct Case {
        std::string device;
        platform::SerialLine line;
        const char* reason;
    } cases[] = {
        {"/dev/corvay-no-such-line", {}, "open"},
        {pty.SlavePath(), {9601, 8, 1}, "baud"},
        {pty.SlavePath(), {9600, 9, 1}, "data bits"},
        {pty.SlavePath(), {9600, 8, 3}, "stop bits"},
    };
    for (const Case& c : cases) {
        SerialPort port;
        std::string error;
        EXPECT_EQ(port.Open(c.device, c.line, events.Handler(), &error), SerialOpenResult::Failed)
            << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_FALSE(port.IsOpen());
    }
}

TEST_F(SerialPortTest, HangUpIsATransferErrorAndEndsTheReader) {
    SerialPort port;
    ASSERT_EQ(port.Open(pty.SlavePath(), {}, events.Handler()), SerialOpenResult::Ok);
    pty.Close();
    ASSERT_TRUE(events.WaitFor([&] { return events.errors > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(events.errors, 1); // once, not a spin on the dead line
    EXPECT_FALSE(events.Detail().empty());
    port.Close();
}

TEST_F(SerialPortTest, InjectedReadFaultIsReportedAsTransferError) {
    struct FailingPort : SerialPort {
        long ReadSome(int fd, char* buffer, unsigned long size) override {
            SerialPort::ReadSome(fd, buffer, size);
            errno = EIO;
            return -1;
        }
    } port;
    ASSERT_EQ(port.Open(pty.SlavePath(), {}, events.Handler()), SerialOpenResult::Ok);
    ASSERT_EQ(::write(pty.Master(), "x", 1), 1);
    ASSERT_TRUE(events.WaitFor([&] { return events.errors > 0; }));
    EXPECT_NE(events.Detail().find("read"), std::string::npos) << events.Detail();
    EXPECT_EQ(events.received, 0);
}
