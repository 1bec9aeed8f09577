#pragma once
// CFunction: the host network services of the Dunmore library that do not concern a card's
// configuration (ping, port probe, console commands, interface lookups, the file log).
// Every member returns its result; none lets an exception out.

#include <cstdint>
#include <functional>

#include "hostnet/Export.h"
#include "platform/text/Arrays.h"
#include "platform/text/CString.h"

namespace platform {
class Clock;
}

// One network interface of the traffic table.
struct NetCardDataSendRecvStruct {
    uint32_t dwIndex;
    uint32_t dwType;
    uint32_t dwMtu;
    uint32_t dwSpeed; // bits per second
    uint32_t dwAdminStatus;
    uint32_t dwOperStatus;
    uint32_t dwInOctets;
    uint32_t dwOutOctets;
};

class HOSTNET_API CFunction {
public:
    CFunction();
    CFunction(const CFunction& other) = default;
    ~CFunction() = default;
    CFunction& operator=(const CFunction& other) = default;

    // Temporary addresses. An adapter is an interface index in decimal; "N/A" and "" name none.
    // Adds one free address of the network address/mask on each listed adapter, then waits
    // until they answer: 1 when all answered.
    int AddIpAddress(char* address, char* mask, CStringArray& adapters);
    // On every Ethernet interface that is up and has no address in that network.
    int AddIpAddress(char* address, char* mask);
    int AddIpAddress(char* address, char* mask, CString adapter);
    // 1 without adding when the adapter already has an address in that network.
    int AddIpAddressEx(char* address, char* mask, CString adapter);
    // Removes every address this object (or a copy of it) added and empties its list.
    void DeleteIpAddress();
    // The first candidate (addresses[i]/masks[i]) that answers a ping and accepts a connection
    // on one of portLists[i], directly or through a temporary address; "" when none. The
    // interface that reaches it, or 0xFFFFFFFF. No address is left behind.
    CString FindModemIP(CStringArray& addresses, CStringArray& masks, CStringArray& portLists,
                        CStringArray& adapters, CStringArray& flags, unsigned long& interfaceIndex,
                        int timeoutMs);

    // Pings every address at once; results[i] becomes 1 or 0. 1 when the batch ran.
    int AsynPing(CStringArray& addresses, CByteArray& results, int timeoutMs);
    // Empties the ARP cache, then pings one address: 1 answered within the time-out.
    int AsynPing(CString address, int timeoutMs);
    // The system ping tool, three echoes: 1 when a reply came.
    int Ping(char* address);
    // 1 at the first port of the comma-separated list that accepts a TCP connection.
    int CheckHttpLinks(char* address, CString ports);
    // Runs a command line; 1 when it ran to its end within the time-out.
    int ExecCommand(char* commandLine, CString& output, int capture, int timeoutSeconds);
    // Index of the interface that carries traffic to the address; 0xFFFFFFFF when none.
    unsigned long GetBestInterfaceXXX(CString address);
    // Fills up to 50 rows of the interface table; the number of rows.
    int GetNetCardTransData(NetCardDataSendRecvStruct* const rows);
    int IsAdministrator();
    int IsAdministratorsGroup();
    int StartOneService(CString serviceName);
    int PreSetIESettings();
    void MsgProcess();

    static CString GetLastErrorString(unsigned long code);
    static CString GetLastErrorString();
    static CString GetCurrentModuleDir();
    static CString GetSystemDir();
    // The file log "info.log" of the program directory. DLog writes only while "log.debug"
    // exists there; RLog always, behind "[RLog]===>".
    static void DLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static void RLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
    // Where the log's time stamps come from; nullptr restores the real clock (tests).
    static void SetLogClock(platform::Clock* clock);
    // Where the temporary-address members wait, and where they draw host numbers; nullptr and
    // an empty function restore the real clock and the generator seeded with the tick count.
    static void SetAddressClock(platform::Clock* clock);
    static void SetHostNumberSource(std::function<unsigned()> draw);

    // Temporary-address contexts, in the order added, and how many are in use.
    uint32_t nteContext[50];
    int nteCount;
    // A readable dump of the interface table, appended by GetNetCardTransData.
    CString text;

private:
    int CheckHttpLink(char* address, int port);
    static void Log(const char* text);
};
