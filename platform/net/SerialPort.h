#pragma once
// A serial line over termios: raw bytes at a fixed speed, 8N1-style framing, no flow control.
// The line is held with an exclusive flock, so a second holder finds it occupied. A reader
// thread gathers what arrives and tells the owner; read errors and hang-ups end the reader and
// are told as transfer errors.

#include "platform/files/UniqueFd.h"

#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

struct SerialLine {
    int baudRate = 9600;
    int dataBits = 8;
    int stopBits = 1;
};

enum class SerialOpenResult { Ok, Occupied, Failed };

enum class SerialEvent {
    Received,      // input is waiting in TakeInput
    TransferError, // a read failed or the line hung up; the reader has stopped
};

class SerialPort {
public:
    // Called on the reader thread; must not call back into the port's Open or Close.
    using EventHandler = std::function<void(SerialEvent event, const std::string& detail)>;

    SerialPort() = default;
    virtual ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // COM n is /dev/ttyS(n-1).
    static std::string DeviceOfComPort(int comPort);

    // Closes first when open. 'error' gets the reason of a failure.
    SerialOpenResult Open(const std::string& device, const SerialLine& line, EventHandler handler,
                          std::string* error = nullptr);
    void Close();
    bool IsOpen() const;
    const std::string& Device() const { return m_device; }

    // Writes every byte (blocking); false when the line is closed or the write fails.
    bool Write(const std::string& bytes);
    // Drops output not yet sent.
    void DiscardOutput();
    // Everything received since the last call.
    std::string TakeInput();

protected:
    // One read from the line, as read(2); the seam where tests inject transfer errors.
    virtual long ReadSome(int fd, char* buffer, unsigned long size);

private:
    void ReaderLoop();
    void StopReader();

    std::string m_device;
    UniqueFd m_fd;
    UniqueFd m_wakeup; // eventfd that stops the reader
    std::thread m_reader;
    EventHandler m_handler;
    mutable std::mutex m_inputMutex;
    std::string m_input;
};

} // namespace platform
