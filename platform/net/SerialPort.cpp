#include "platform/net/SerialPort.h"

#include "platform/files/FileIo.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

std::string ErrnoText(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

bool SpeedOf(int baudRate, speed_t* speed) {
    static const struct {
        int baud;
        speed_t speed;
    } speeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
                  {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}};
    for (const auto& s : speeds) {
        if (s.baud == baudRate) {
            *speed = s.speed;
            return true;
        }
    }
    return false;
}

bool SizeOf(int dataBits, tcflag_t* size) {
    switch (dataBits) {
    case 5:
        *size = CS5;
        return true;
    case 6:
        *size = CS6;
        return true;
    case 7:
        *size = CS7;
        return true;
    case 8:
        *size = CS8;
        return true;
    default:
        return false;
    }
}

} // namespace

SerialPort::~SerialPort() {
    Close();
}

std::string SerialPort::DeviceOfComPort(int comPort) {
    return "/dev/ttyS" + std::to_string(comPort - 1);
}

SerialOpenResult SerialPort::Open(const std::string& device, const SerialLine& line, EventHandler handler,
                                  std::string* error) {
    Close();
    auto fail = [&](SerialOpenResult result, std::string text) {
        if (error)
            *error = device + ": " + text;
        return result;
    };
    speed_t speed;
    tcflag_t size;
    if (!SpeedOf(line.baudRate, &speed))
        return fail(SerialOpenResult::Failed, "unsupported baud rate " + std::to_string(line.baudRate));
    if (!SizeOf(line.dataBits, &size))
        return fail(SerialOpenResult::Failed, "unsupported data bits " + std::to_string(line.dataBits));
    if (line.stopBits != 1 && line.stopBits != 2)
        return fail(SerialOpenResult::Failed, "unsupported stop bits " + std::to_string(line.stopBits));

    // Non-blocking open: a line without carrier must not hang us here.
    UniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return fail(SerialOpenResult::Failed, ErrnoText("open", errno));
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        int e = errno;
        return fail(e == EWOULDBLOCK ? SerialOpenResult::Occupied : SerialOpenResult::Failed,
                    ErrnoText("flock", e));
    }
    termios tio{};
    if (::tcgetattr(fd.Get(), &tio) != 0)
        return fail(SerialOpenResult::Failed, ErrnoText("tcgetattr", errno));
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= size | CLOCAL | CREAD;
    if (line.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd.Get(), TCSANOW, &tio) != 0)
        return fail(SerialOpenResult::Failed, ErrnoText("tcsetattr", errno));
    // Writes block; the reader polls before it reads.
    int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail(SerialOpenResult::Failed, ErrnoText("fcntl", errno));
    UniqueFd wakeup(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wakeup)
        return fail(SerialOpenResult::Failed, ErrnoText("eventfd", errno));

    m_device = device;
    m_fd = std::move(fd);
    m_wakeup = std::move(wakeup);
    m_handler = std::move(handler);
    {
        std::lock_guard<std::mutex> lock(m_inputMutex);
        m_input.clear();
    }
    m_reader = std::thread([this] { ReaderLoop(); });
    return SerialOpenResult::Ok;
}

void SerialPort::StopReader() {
    if (!m_reader.joinable())
        return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wakeup.Get(), &one, sizeof one);
    m_reader.join();
}

void SerialPort::Close() {
    StopReader();
    m_fd.Reset();
    m_wakeup.Reset();
    m_handler = nullptr;
}

bool SerialPort::IsOpen() const {
    return m_fd.IsValid();
}

bool SerialPort::Write(const std::string& bytes) {
    return m_fd && WriteAll(m_fd.Get(), bytes.data(), bytes.size());
}

void SerialPort::DiscardOutput() {
    if (m_fd)
        ::tcflush(m_fd.Get(), TCOFLUSH);
}

std::string SerialPort::TakeInput() {
    std::lock_guard<std::mutex> lock(m_inputMutex);
    std::string taken;
    taken.swap(m_input);
    return taken;
}

long SerialPort::ReadSome(int fd, char* buffer, unsigned long size) {
    return ::read(fd, buffer, size);
}

void SerialPort::ReaderLoop() {
    pollfd fds[2] = {{m_fd.Get(), POLLIN, 0}, {m_wakeup.Get(), POLLIN, 0}};
    char buffer[1024];
    for (;;) {
        int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_handler(SerialEvent::TransferError, ErrnoText("poll", errno));
            return;
        }
        if (fds[1].revents)
            return;
        if (fds[0].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) {
            // Read first: data that came just before a hang-up is still delivered.
            if (fds[0].revents & POLLNVAL) {
                m_handler(SerialEvent::TransferError, "line descriptor invalid");
                return;
            }
            long got = ReadSome(m_fd.Get(), buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got > 0) {
                bool wasEmpty;
                {
                    std::lock_guard<std::mutex> lock(m_inputMutex);
                    wasEmpty = m_input.empty();
                    m_input.append(buffer, static_cast<size_t>(got));
                }
                // One event per batch: the owner takes everything that has gathered.
                if (wasEmpty)
                    m_handler(SerialEvent::Received, std::string());
                continue;
            }
            m_handler(SerialEvent::TransferError,
                      got == 0 ? std::string("line hung up") : ErrnoText("read", errno));
            return;
        }
    }
}

} // namespace platform
