// Card configuration over a fake management provider: what each method sends, how its
// ReturnValue becomes the library's result and log line, and the registry writer.

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "hostnet/pellar/PCInfo.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/wmi/Provider.h"
#include "tests/support/TempDir.h"

using platform::wmi::Object;
using platform::wmi::Value;

namespace {

struct Call {
    std::string path, method;
    Object inputs;
};

class FakeMethods : public platform::wmi::Provider {
public:
    int ExecQuery(const std::string&, std::vector<Object>& objects) override {
        objects.clear();
        return 0;
    }
    int ExecMethod(const std::string& path, const std::string& method, const Object& inputs) override {
        calls.push_back({path, method, inputs});
        return returnValue;
    }
    int ExecMethodAsync(const std::string& path, const std::string& method, const Object& inputs,
                        std::unique_ptr<platform::wmi::CallResult>& call) override {
        calls.push_back({path, method, inputs});
        if (returnValue < 0)
            return returnValue;
        call = neverCompletes ? std::make_unique<Pending>(polls) : platform::wmi::CompletedCall(returnValue);
        return 0;
    }

    struct Pending : platform::wmi::CallResult {
        explicit Pending(int& polls) : polls(polls) {}
        int GetCallStatus(int, int&) override {
            ++polls;
            return platform::wmi::kTimedOut;
        }
        int& polls;
    };

    int returnValue = 0;
    bool neverCompletes = false;
    int polls = 0;
    std::vector<Call> calls;
};

class CardConfigFake : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirectory(dir.str().c_str());
        platform::SetRegistryRoot(CString((dir / "registry").string()));
        platform::wmi::SetProvider(&host);
        ASSERT_EQ(info.InitWMI(1), 1);
    }
    void TearDown() override {
        platform::wmi::SetProvider(nullptr);
        platform::SetRegistryRoot(CString());
        platform::SetProgramDirectory("");
    }
    std::string Log() const { return testsupport::ReadFileBytes(dir / "info.log"); }

    testsupport::TempDir dir;
    FakeMethods host;
    PCInfo info;
};

TEST_F(CardConfigFake, MethodsSendOneElementArraysToTheCardsObject) {
    EXPECT_EQ(info.WMISetIPAddress("10.0.0.5", "255.255.255.0", 7), 10);
    EXPECT_EQ(info.WMISetGateway("10.0.0.1", 7), 10);
    EXPECT_EQ(info.WMISetDNS("10.0.0.53", 7), 10);
    EXPECT_EQ(info.WMISetDNS("Null", 7), 10);
    EXPECT_EQ(info.WMIEnableDHCP(7), 10);
    EXPECT_EQ(info.WMIRenewDHCP(7, 1), 10);
    EXPECT_EQ(info.WMIRenewDHCP(-1, 1), 10);
    struct Expected {
        const char* path;
        const char* method;
        Object inputs;
    } expected[] = {
        {"Win32_NetworkAdapterConfiguration=7",
         "EnableStatic",
         {{"IPAddress", Value::Texts({"10.0.0.5"})}, {"SubnetMask", Value::Texts({"255.255.255.0"})}}},
        {"Win32_NetworkAdapterConfiguration=7",
         "SetGateways",
         {{"DefaultIPGateway", Value::Texts({"10.0.0.1"})}, {"GatewayCostMetric", Value::Texts({"1"})}}},
        {"Win32_NetworkAdapterConfiguration=7",
         "SetDNSServerSearchOrder",
         {{"DNSServerSearchOrder", Value::Texts({"10.0.0.53"})}}},
        {"Win32_NetworkAdapterConfiguration=7", "SetDNSServerSearchOrder", {}},
        {"Win32_NetworkAdapterConfiguration=7", "EnableDHCP", {}},
        {"Win32_NetworkAdapterConfiguration=7", "RenewDHCPLease", {}},
        {"Win32_NetworkAdapterConfiguration", "RenewDHCPLeaseAll", {}},
    };
    ASSERT_EQ(host.calls.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(host.calls[i].path, expected[i].path) << i;
        EXPECT_EQ(host.calls[i].method, expected[i].method) << i;
        ASSERT_EQ(host.calls[i].inputs.size(), expected[i].inputs.size()) << i;
        for (const auto& [name, value] : expected[i].inputs) {
            ASSERT_TRUE(host.calls[i].inputs.count(name)) << i << " " << name;
            EXPECT_EQ(host.calls[i].inputs.at(name).texts, value.texts) << i << " " << name;
        }
    }
}

TEST_F(CardConfigFake, ReturnValueBecomesTheResultAndItsText) {
    struct Case {
        int returnValue;
        int setResult;
        const char* setLine; // of WMISetIPAddress; nullptr: none
        int renewResult;
        const char* renewLine;
    } cases[] = {
        {0, 10, nullptr, 10, nullptr},
        {1, 11, nullptr, 11, nullptr},
        {66, 0, "WMISetIPAddress:Error=Invalid subnet mask. ,id=66", 0,
         "WMIRenewDHCP Error:Invalid subnet mask.,id=66"},
        // A failed renewal is a failure, not the library's success value.
        {82, 0, "WMISetIPAddress:Error=Unable to renew DHCP lease. ,id=82", 0,
         "WMIRenewDHCP Error:Unable to renew DHCP lease.,id=82"},
        {100, 0, "WMISetIPAddress:Error=DHCP not enabled on adapter. ,id=100", 0,
         "WMIRenewDHCP Error:DHCP not enabled on adapter.,id=100"},
        {99, 0, nullptr, 0, "WMIRenewDHCP Error:99"},
        {platform::wmi::kNotFound, 0, "WMISetIPAddress ExecMethod:-2147217406", 0,
         "WMIRenewDHCP 1 ExecMethod, -2147217406"},
    };
    for (const Case& c : cases) {
        host.returnValue = c.returnValue;
        size_t before = Log().size();
        EXPECT_EQ(info.WMISetIPAddress("10.0.0.5", "255.255.255.0", 3), c.setResult) << c.returnValue;
        std::string setLog = Log().substr(before);
        if (c.setLine)
            EXPECT_NE(setLog.find(c.setLine), std::string::npos) << setLog;
        else
            EXPECT_EQ(setLog, "") << c.returnValue;
        before = Log().size();
        EXPECT_EQ(info.WMIRenewDHCP(3, 2), c.renewResult) << c.returnValue;
        std::string renewLog = Log().substr(before);
        if (c.renewLine)
            EXPECT_NE(renewLog.find(c.renewLine), std::string::npos) << renewLog;
        else
            EXPECT_EQ(renewLog, "") << c.returnValue;
    }
    // Wait 0 polls nothing; a renewal that never completes is polled once a round, then given up.
    host.returnValue = 0;
    host.neverCompletes = true;
    EXPECT_EQ(info.WMIRenewDHCP(3, 0), 10);
    EXPECT_EQ(host.polls, 0);
    EXPECT_EQ(info.WMIRenewDHCP(3, 3), 0);
    EXPECT_EQ(host.polls, 3);
    EXPECT_NE(Log().find("WMIRenewDHCP GetCallStatus:262148"), std::string::npos);

    // Without a connection nothing is called.
    info.ClearWMI();
    host.calls.clear();
    EXPECT_EQ(info.WMISetGateway("10.0.0.1", 3), 0);
    EXPECT_EQ(info.WMIRenewDHCP(-1, 1), 0);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_NE(Log().find("WMISetGateway pSvc=NULL bInitWMISuccess:0"), std::string::npos);
    EXPECT_NE(Log().find("WMIRenewDHCP pSvc=NULL bInitWMISuccess:0"), std::string::npos);
}

TEST_F(CardConfigFake, CardNumbersOutsideTheInventoryAreRefused) {
    // No inventory: every card number is outside it; a renewal then renews every card.
    EXPECT_EQ(info.EnableNetCard(0, 1), 0);
    EXPECT_EQ(info.SetIPAddr("10.0.0.5", "255.255.255.0", 0), 0);
    EXPECT_EQ(info.SetGateway("10.0.0.1", -1, 0), 0);
    EXPECT_EQ(info.SetDNS("10.0.0.53", 2, "", 0), 0);
    EXPECT_EQ(info.SetDynaDNS(0, 0), 0);
    EXPECT_EQ(info.EnableDhcp(0, -1), 0);
    EXPECT_EQ(info.IsNetCardDNSStatic(0), -1);
    EXPECT_EQ(info.EnableTCPIPBinding(0, 0), 0);
    ASSERT_EQ(host.calls.size(), 0u);
    EXPECT_EQ(info.RenewDhcp(4, 1), 10);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].method, "RenewDHCPLeaseAll");
    std::string log = Log();
    for (const char* line : {"EnableNetCard NetIndex AdapterNum:0,0", "SetIPAddr NetIndex TotalAdapter:0,0",
                             "SetGateway NetIndex TotalAdapter:-1,0", "SetDNS NetIndex TotalAdapter:2,0",
                             "SetDynaDNS NetIndex TotalAdapter:0,0", "EnableDhcp NetIndex TotalAdapter:0,0",
                             "IsNetCardDNSStatic:0 0", "EnableTCPIPBinding NetIndex TotalAdapter:0,0"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(CardConfigFake, SetRegValueWritesTextExpandableTextAndDword) {
    const char* key = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{A}";
    struct Case {
        unsigned long type;
        const char* name;
        const char* data;
        int result;
    } cases[] = {
        {1, "Domain", "bench.example", 1},
        {2, "Path", "%SystemRoot%\\drivers", 1},
        {4, "EnableDHCP", "4294967295", 1},
        {4, "Metric", "17", 1},
        {3, "Blob", "00ff", 0},
        {7, "List", "a", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(info.SetRegValue(platform::Hive::LocalMachine, key, c.name, c.type, c.data), c.result)
            << c.name;
    for (const Case& c : cases) {
        uint32_t type = 0;
        long found = platform::RegGetValueType(platform::Hive::LocalMachine, key, c.name, type);
        if (c.result == 0) {
            EXPECT_EQ(found, platform::kRegNotFound) << c.name;
            continue;
        }
        ASSERT_EQ(found, platform::kRegSuccess) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
    }
    CString text;
    ASSERT_EQ(platform::RegGetString(platform::Hive::LocalMachine, key, "Path", text), platform::kRegSuccess);
    EXPECT_EQ(text, "%SystemRoot%\\drivers");
    uint32_t value = 0;
    ASSERT_EQ(platform::RegGetDword(platform::Hive::LocalMachine, key, "EnableDHCP", value),
              platform::kRegSuccess);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    ASSERT_EQ(platform::RegGetDword(platform::Hive::LocalMachine, key, "Metric", value),
              platform::kRegSuccess);
    EXPECT_EQ(value, 17u);

    // A store that cannot be written is reported.
    platform::SetRegistryRoot("/proc/no-registry-here");
    EXPECT_EQ(info.SetRegValue(platform::Hive::LocalMachine, key, "Domain", 1, "x"), 0);
    EXPECT_NE(Log().find("SetRegValue RegCreateKeyEx:"), std::string::npos);
}

} // namespace
