#pragma once
// The flat exports of the Ostrel library: plain C names, for callers that bind them at load and
// need no class of the other host libraries. Results are 1 for success and 0 for failure unless
// said otherwise; null output pointers give 0. Text arguments are 8-bit, zero-terminated.

#include <cstdint>

#include "hostnet/Export.h"
#include "platform/text/Arrays.h"
#include "platform/text/CString.h"

// The traffic of one interface: dwIndex is given, the rest filled.
struct NetCardTraffic {
    uint32_t dwIndex;
    uint32_t dwMtu;
    uint32_t dwSpeed; // bits per second
    uint32_t dwInOctets;
    uint32_t dwOutOctets;
};

// One adapter as text. A list slot holds each entry in square brackets, one after the other;
// when that reaches 256 characters, only the first entry.
struct NetCardInfoText {
    enum Slot { Description, DhcpEnabled, IpAddresses, SubnetMasks, Gateways, DnsServers, Index, SlotCount };
    char slot[SlotCount][256];
};

// The candidates of a modem search: "address:mask" and the ports to try there.
struct FindModemGroupEntry {
    CString addressMask;
    CStringArray ports;
};
struct FindModemGroupList {
    uint32_t reserved;
    FindModemGroupEntry** entries;
    int count;
};
struct FindModemGroups {
    FindModemGroupList* list;
};

extern "C" {
#pragma GCC visibility push(default)

// 1 when the management stand-in can be connected.
int IsWMIInstalled();
// MTU, speed and octets of the interface traffic->dwIndex; 0 (fields untouched) when unknown.
int GetNetCardRecvSendData(NetCardTraffic* traffic);
// Temporary addresses on the library's one kept object: a free address of the network on every
// card (AddIpAddress) or on the interface of the index text (AddIpAddressEx), kept until
// DeleteIpAddress removes them all.
int AddIpAddress(char* address, char* mask);
int AddIpAddressEx(char* address, char* mask, CString indexText);
void DeleteIpAddress();
// 1 when the host reports a USB controller.
int IsUSBExist();
// Card configuration through the card whose interface index text is exactly indexText: the
// setter's result (10 or 11 success), 0 when no card has that index.
int SetNetCardIP(char* address, char* mask, char* indexText);
int SetNetCardGateway(char* gateway, char* indexText);
// "NULL" clears the card's static name servers.
int SetNetCardDNS(char* dns, char* indexText);
int EnableNetCardDHCP(char* indexText);
// The distinct interface indexes of the host's addresses, in order, as decimal texts.
int GetAllNetCardIndexs(CStringArray* indexes);
// The first candidate of the groups that answers; its interface and its address (at most 15
// characters) in addressOut, which must hold 16 bytes. "" and 0 when none.
int FindModemIP(FindModemGroups* groups, unsigned long* interfaceIndex, char* addressOut, int timeoutMs);
int GetNetCardInfo(unsigned long interfaceIndex, NetCardInfoText* info);
// 1 when the address is routed and the card it leaves by has its cable connected (or is no card).
int GetConnectedNetCard(char* address, unsigned long* interfaceIndex);
// Type 1: wired cards, 2: wireless cards, any other: -1. -1 as well when no card could be read.
int GetNicCountByType(int type, int includeDisabled);
// 1 when the address answered an ICMP echo within the time-out, else 0. The PC's ARP cache is
// emptied first.
int AsynPing(char* address, int timeoutMs);
// Six echoes of the system ping tool: 1 when one was answered; the round trips' minimum and
// maximum in whole milliseconds, -1 when unknown.
int Pinging(char* address, int* maximumMs, int* minimumMs);
// The modem is reachable directly, or through a temporary address of its network on one of the
// interfaces (those addresses stay until DeleteIpAddress).
int GetConnectedNetCardEx(CString address, CString mask, unsigned long* interfaceIndex, int waitTimeMs);
#pragma GCC visibility pop
}
