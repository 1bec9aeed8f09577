#include "hostnet/dunmore/Function.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "hostnet/dunmore/Guarded.h"
#include "hostnet/dunmore/HostTables.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/net/IcmpEcho.h"
#include "platform/net/Process.h"
#include "platform/net/TcpConnect.h"

namespace {

using dunmore::Guarded;

// Dotted text as inet_addr reads it; INADDR_NONE when it is no address.
uint32_t ToAddress(const char* text) {
    in_addr address{};
    return text && ::inet_aton(text, &address) ? address.s_addr : INADDR_NONE;
}

} // namespace

CFunction::CFunction() : nteContext{}, nteCount(0) {}

int CFunction::AsynPing(CStringArray& addresses, CByteArray& results, int timeoutMs) {
    return Guarded(0, [&] {
        if (addresses.GetSize() == 0 || results.GetSize() < addresses.GetSize())
            return 0;
        // The whole list goes out in one batch, however long, so no result is left stale.
        std::vector<uint32_t> targets;
        for (const CString& address : addresses)
            targets.push_back(ToAddress(address));
        auto batch =
            platform::IcmpEchoBatch(targets, std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0));
        if (!batch.ran) {
            RLog("[AsynPing] no ICMP socket: %s\r\n", GetLastErrorString(batch.error).GetString());
            return 0;
        }
        for (int i = 0; i < addresses.GetSize(); ++i) {
            DLog("%s:  %s\r\n", batch.answered[i] ? "UP  " : "DOWN", addresses[i].GetString());
            results.SetAt(i, batch.answered[i]);
        }
        return 1;
    });
}

int CFunction::AsynPing(CString address, int timeoutMs) {
    return Guarded(0, [&] {
        dunmore::FlushArpCache();
        CStringArray addresses;
        addresses.Add(address);
        CByteArray results;
        results.Add(0);
        AsynPing(addresses, results, timeoutMs);
        return results[0] ? 1 : 0;
    });
}

int CFunction::Ping(char* address) {
    return Guarded(0, [&] {
        // One word that is no option: the tool runs as root, and a flood ping is an option away.
        if (!address || !*address || *address == '-' || std::strpbrk(address, " \t\r\n\"\\"))
            return 0;
        CString command = CString("ping -c 3 -W 3 ") + address;
        CString output;
        platform::ProcessOptions options;
        options.timeout = std::chrono::seconds(30);
        options.environment = {"LC_ALL=C"}; // the test reads the tool's English output
        auto run = platform::RunProcess(command.str(), options);
        if (run.outcome != platform::ProcessResult::Outcome::Finished)
            return 0;
        output = CString(run.output);
        int lastLineFeed = output.ReverseFind('\n');
        if (lastLineFeed >= 0)
            output = output.Left(lastLineFeed);
        output.MakeLower();
        return output.Find("bytes from") >= 0 && output.Find("ttl=") >= 0 ? 1 : 0;
    });
}

int CFunction::CheckHttpLinks(char* address, CString ports) {
    return Guarded(0, [&] {
        CString rest = ports;
        while (!rest.Trim().IsEmpty()) {
            CString port;
            int comma = rest.Find(',');
            if (comma > 0) {
                port = rest.Left(comma);
                rest = rest.Mid(comma + 1);
            } else {
                port = rest;
                rest.Empty();
            }
            port.Trim();
            if (CheckHttpLink(address, std::atoi(port)))
                return 1;
        }
        return 0;
    });
}

int CFunction::CheckHttpLink(char* address, int port) {
    if (port <= 0 || port > 65535)
        return 0;
    // A refusal fails at once; a port that stays silent after five seconds.
    auto connection = platform::TcpConnect(address, static_cast<uint16_t>(port), std::chrono::seconds(5));
    return connection.Connected() ? 1 : 0;
}

int CFunction::ExecCommand(char* commandLine, CString& output, int capture, int timeoutSeconds) {
    return Guarded(0, [&] {
        output.Empty();
        const char* command = commandLine ? commandLine : "";
        platform::ProcessOptions options;
        options.capture = capture != 0;
        options.timeout = std::chrono::seconds(timeoutSeconds > 0 ? timeoutSeconds : 0);
        auto run = platform::RunProcess(command, options);
        switch (run.outcome) {
        case platform::ProcessResult::Outcome::PipeFailed:
            RLog("[ExecCommand] Stdout pipe creation failed.Command:%s", command);
            return 0;
        case platform::ProcessResult::Outcome::StartFailed:
            RLog("[ExecCommand] CreateProcess Error:%s", command);
            return 0;
        case platform::ProcessResult::Outcome::TimedOut:
            RLog("ExecCommand:%s.Waited  %dS Timeout. ret=%d,%s", command, timeoutSeconds, 258,
                 GetLastErrorString(ETIME).GetString());
            return 0;
        case platform::ProcessResult::Outcome::Finished:
            break;
        }
        if (capture)
            output = CString(std::move(run.output));
        return 1;
    });
}

unsigned long CFunction::GetBestInterfaceXXX(CString address) {
    return Guarded(0xFFFFFFFFUL, [&] {
        uint32_t target = ToAddress(address);
        return target == INADDR_NONE ? 0xFFFFFFFFUL : dunmore::BestInterface(target);
    });
}

int CFunction::GetNetCardTransData(NetCardDataSendRecvStruct* const rows) {
    return Guarded(0, [&] { return rows ? dunmore::ReadInterfaceTable(rows, 50, text) : 0; });
}

// The administrator here is the superuser account (uid 0), whatever it is called; no Linux
// account bears the other system's administrator name.
int CFunction::IsAdministrator() {
    return ::geteuid() == 0 ? 1 : 0;
}

// No group grants administrator rights here; they come with the superuser account alone.
int CFunction::IsAdministratorsGroup() {
    return IsAdministrator();
}

int CFunction::StartOneService(CString serviceName) {
    RLog("[StartOneService] %s: there is no service manager to start it on this system\r\n",
         serviceName.GetString());
    return 0;
}

int CFunction::PreSetIESettings() {
    RLog("[PreSetIESettings] there are no browser display settings on this system\r\n");
    return 0;
}

// The library has no message queue of its own; the windowed program pumps its own loop.
void CFunction::MsgProcess() {}

CString CFunction::GetLastErrorString(unsigned long code) {
    return Guarded(CString(), [&] {
        char buffer[256];
        return CString(::strerror_r(static_cast<int>(code), buffer, sizeof buffer));
    });
}

CString CFunction::GetLastErrorString() {
    return GetLastErrorString(static_cast<unsigned long>(errno));
}

CString CFunction::GetCurrentModuleDir() {
    return Guarded(CString(), [&] {
        CString directory = platform::ProgramDirectory();
        int last = directory.ReverseFind('/');
        return last > 0 ? directory.Left(last) : CString();
    });
}

CString CFunction::GetSystemDir() {
    return "/usr/sbin";
}
