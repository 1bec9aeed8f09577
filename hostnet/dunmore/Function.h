#pragma once
// CFunction: the host network services of the Dunmore library that do not concern a card's
// configuration (ping, port probe, console commands, interface lookups, the file log).
// Every member returns its result; none lets an exception out.

#include <cstdint>

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

class CFunction {
public:
    CFunction();
    CFunction(const CFunction& other) = default;
    ~CFunction() = default;
    CFunction& operator=(const CFunction& other) = default;

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

    // Temporary-address contexts, in the order added, and how many are in use.
    uint32_t nteContext[50];
    int nteCount;
    // A readable dump of the interface table, appended by GetNetCardTransData.
    CString text;

private:
    int CheckHttpLink(char* address, int port);
    static void Log(const char* text);
};
