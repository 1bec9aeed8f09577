#pragma once
// The records of Config.ini as the rest of the engine reads them. Each member starts at the
// value a missing key gives, so a default-made record is the configuration of a fresh bench.

#include "platform/text/CString.h"

struct LoginInfo {
    CString User;
    CString Password;
};

struct DslamConfig {
    CString Model = "Torvex Birch";
    bool IsSerial = false; // [Dslam] ConnectMode is "Serial"; kept only to be saved back
    int Serial = 2;        // COM port number
    CString Ip = "172.16.0.1";
    LoginInfo Login;
    int UploadRate = 512;    // kbit/s
    int DownloadRate = 4000; // kbit/s
    int Switch1to24 = 2;     // DSLAM slot of switch ports 1 to 24
    int Switch25to48 = 3;    // DSLAM slot of switch ports 25 to 48
};

struct ModemConfig {
    CString DefaultModemIp = "192.168.1.1";
    int StandTestPeriod = 300000;     // ms
    int LongPingTestPeriod = 7200000; // ms
    int WaitModemConnect = 60000;     // ms
    bool AutoUpgradeFirmware = false;
    bool AutoUpgradeConfig = false;
};

struct SystemConfig {
    int ModemInfoColumWidth = 50;
    DslamConfig Dslam;
    ModemConfig Modem;
    int PingTestPeriod = 300000;    // wireless ping, ms
    int SingalQualityStandard = 80; // minimum Wi-Fi signal quality, percent
};

// The switch console line. Only the port comes from Config.ini; the rest is fixed.
struct SerialSettings {
    int Port = 1; // COM number
    int BaudRate = 9600;
    int DataBits = 8;
    CString Parity = "None";
    int StopBits = 1;
    CString FlowControl = "Hardware";
};

struct SwitchConfig {
    CString Model;
    int PortCount = 24;
    int TrunkPortNo = 24;
    LoginInfo Login;
    CString Ip = "192.168.1.200";
    bool IsSerial = false; // true: serial console, false: telnet
    SerialSettings Serial;
    // The console's line in place of COM n ([Switch] SerialDevice), e.g. a USB adapter's
    // /dev/ttyUSB0; empty: /dev/ttyS(n-1).
    CString SerialDevice;
};

// Which PC cards play the WAN and LAN roles: description and adapter name (GUID) of each.
struct NicConfig {
    CString WAN_Name;
    CString WAN_Guid;
    CString LAN_Name;
    CString LAN_Guid;
};
