#pragma once
// What the switch and DSLAM clients throw and the job routines catch.

#include <stdexcept>

// Thrown by value by the telnet clients of the switch and the DSLAM.
enum Throw_Error {
    Error_LoginFailed = 100,    // the login prompt came back a third time
    Error_SocketError = 101,    // nothing came: closed, failed, or silent past the guard
    Error_TooManyClients = 102, // "Telnet client too much to login, please try again later"
};

// A switch reply that did not come in time; carries the platform's wait time-out code.
class SwitchTimeoutError : public std::runtime_error {
public:
    SwitchTimeoutError() : std::runtime_error("switch reply time-out") {}
    long Code() const { return kCode; }
    static constexpr long kCode = 258;
};
