#include "engine/switch/TelnetReceive.h"

#include "engine/switch/ThrowError.h"

namespace {
// Far beyond any reply of the switch or the DSLAM.
constexpr int kMaxResponse = 1 << 20;
} // namespace

void ReceiveTelnetText(platform::TimeOutSocket& socket, CString& response) {
    char buffer[4096] = {};
    int n = socket.Receive(buffer, sizeof buffer);
    if (n <= 0 || response.GetLength() > kMaxResponse) {
        socket.Close();
        throw Error_SocketError;
    }
    platform::AppendPrintable(response, buffer, n);
}

void SendTelnetText(platform::TimeOutSocket& socket, const CString& text) {
    if (!socket.Send(text)) {
        socket.Close();
        throw Error_SocketError;
    }
}
