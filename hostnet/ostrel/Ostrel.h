#pragma once
// The flat exports of the Ostrel library: plain C names, for callers that bind them at load.

extern "C" {

// 1 when the IPv4 address (dotted text) answered an ICMP echo within the time-out, else 0.
// The PC's ARP cache is emptied first.
int AsynPing(char* address, int timeoutMs);

}
