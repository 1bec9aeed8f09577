#pragma once
// The receive step both telnet clients share.

#include "platform/net/TimeOutSocket.h"
#include "platform/text/CString.h"

// Receives once (at most 4096 bytes, within the socket's guard) and appends the printable
// bytes, CR and LF to the response. A closed, failed or silent connection is closed and
// Error_SocketError is thrown; so is a peer that floods without ever showing a prompt.
void ReceiveTelnetText(platform::TimeOutSocket& socket, CString& response);

// Sends the bytes; a failed send closes the socket and throws Error_SocketError.
void SendTelnetText(platform::TimeOutSocket& socket, const CString& text);
