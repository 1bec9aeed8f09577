#pragma once
// The result records of one switch port: what the jobs find out about its modem, its ping
// tallies and its wireless verdict, and the texts the view shows for them.

#include <cstdint>
#include <mutex>

#include "engine/config/ConfigRecords.h"
#include "platform/text/CString.h"

// The result block of one modem.
struct ModemResult {
    int Status = 0; // 0 nothing done, 1 upgraded, 2 upgrade failed, 3 newer version not installed
    CString Model;  // name of the matched terminal template
    CString FirmwareVersion;
    CString HardwareVersion;
    int DslStatus = 0; // 0 not read, 1 link up, 2 link down
    int UpRate = 0;    // kbit/s
    int DownRate = 0;  // kbit/s
    CString IpAddress;
    CString MacAddress;   // "00-1a-2b-3c-4d-5e"
    bool HasInfo = false; // the scan read at least one parameter

    void Reset();
    CString GetSummaryText() const;
    CString GetRateCheckText(const DslamConfig& dslam) const; // against its UploadRate and DownloadRate
    bool IsRateOk(const DslamConfig& dslam) const;
};

// The ping tallies of one port: sent and received per class.
struct PingStatistics {
    int32_t BigPingCount = 0; // upstream 1500-byte frames
    int32_t BigPingRecvCount = 0;
    int32_t BigPingReplyCount = 0; // downstream 1500-byte frames
    int32_t BigPingReplyRecvCount = 0;
    int32_t SmallPingReplyCount = 0; // downstream 128-byte frames
    int32_t SmallPingReplyRecvCount = 0;
    int32_t SmallPingCount = 0; // upstream 128-byte frames
    int32_t SmallPingRecvCount = 0;
    int32_t State = 0;     // 0 not run, 1 running, 2 finished
    int32_t Percent = 0;   // progress 0..100
    int32_t Remaining = 0; // seconds left

    bool IsPassed() const;
    CString GetResultText() const;
    // Clamps the percent to 0..100 and the remaining time to 0 or more, and keeps the clamped values.
    CString GetProgressText();
};

// Lost share of one class in whole percent (truncated); 0 when nothing was sent.
int PingLossPercent(int32_t sent, int32_t received);

// The wireless result of one port.
struct WifiTestResult {
    int32_t SuccessCount = 0;
    int32_t FailureCount = 0;
    bool HasResult = false;
    int32_t Code = 0; // 0, or a negative result code of the wireless test

    CString ToText() const;
};

// The view's record of one switch port. The job thread writes it while the view reads it, so
// every access goes through the record's lock: Update for a change, Get for a copy.
class TestInfo {
public:
    struct Data {
        int Port = 0;
        ModemResult Modem;
        PingStatistics Ping;
        uint8_t PingFlag = 0; // the result text includes the ping verdict
        WifiTestResult Wifi;
        int TestMode = 0;
        int EndState = 0; // 0 finished, 1 stopped by the user, 2 aborted
    };

    explicit TestInfo(int port);
    TestInfo(const TestInfo&) = delete;
    TestInfo& operator=(const TestInfo&) = delete;

    int GetPort() const { return m_port; }
    Data Get() const;
    template <class F> auto Update(F&& change) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return change(m_data);
    }

    // The text of the port's result column; sets the information and ping flags as the mode asks.
    CString GetResultText(const DslamConfig& dslam);

private:
    const int m_port;
    mutable std::mutex m_mutex;
    Data m_data;
};
