#pragma once
// The per-port routines against real peers on loopback: modems (FakeModem) at 127.0.0.11 to
// .13 behind a switch double that says which one the enabled port reaches, a scripted ping
// that answers for the reachable modem, the fake DSLAM, a firmware database in a temporary
// program directory, and a manual clock. Everything the routines do to the bench goes into one
// journal, so a test can stop or fail the job at any entry.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bench/FakeDslam.h"
#include "bench/FakeModem.h"
#include "engine/firmware/FirmwareDB.h"
#include "engine/firmware/FirmwareSchema.h"
#include "engine/jobs/BaseModemTester.h"
#include "engine/jobs/TestContext.h"
#include "engine/jobs/Tester.h"
#include "engine/jobs/ViewSink.h"
#include "engine/switch/ISwitchManager.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/prompt/Prompt.h"
#include "templates/TemplateStore.h"
#include "tests/support/BenchModel.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/TempDir.h"

namespace jobtest {

using namespace testsupport;

class Journal {
public:
    // Called for each entry before it counts; may stop the job or throw into the routine.
    std::function<void(size_t index, const std::string& entry)> hook;

    void Add(const std::string& entry) {
        size_t index;
        {
            std::lock_guard lock(m_mutex);
            index = m_entries.size();
            m_entries.push_back(entry);
        }
        if (hook)
            hook(index, entry);
    }
    std::vector<std::string> Entries() const {
        std::lock_guard lock(m_mutex);
        return m_entries;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_entries;
};

inline bool IsSwitchCall(const std::string& entry) {
    return entry.rfind("switch ", 0) == 0;
}

class JournalClock : public platform::ManualClock {
public:
    explicit JournalClock(Journal& journal) : m_journal(journal) {}
    void SleepFor(std::chrono::milliseconds duration) override {
        m_journal.Add("sleep " + std::to_string(duration.count()));
        ManualClock::SleepFor(duration);
    }

private:
    Journal& m_journal;
};

// A switch whose enabled port decides which modem is reachable.
class ScriptedSwitch : public ISwitchManager {
public:
    ScriptedSwitch(Journal& journal, int portCount) : m_journal(journal) {
        for (int p = 1; p <= portCount; ++p)
            m_ports.push_back(
                std::make_unique<SwitchPort>(p, SwitchPort::Enable_Enabled, SwitchPort::Link_Up, p + 1));
    }
    std::vector<SwitchPort*> GetAllPortStatus() override {
        std::vector<SwitchPort*> all;
        for (auto& p : m_ports)
            all.push_back(p.get());
        return all;
    }
    SwitchPort* GetPortStatus(int port) override {
        return port >= 1 && port <= static_cast<int>(m_ports.size()) ? m_ports[port - 1].get() : nullptr;
    }
    void DisableAllPortsExceptTrunk() override {
        m_journal.Add("switch disable-all");
        m_enabled = 0;
    }
    void EnableAllPorts() override { m_journal.Add("switch enable-all"); }
    void EnablePort(int port) override {
        m_journal.Add("switch enable " + std::to_string(port));
        m_enabled = port;
        if (m_linkLostOnEnable.count(port))
            GetPortStatus(port)->SetLinkState(SwitchPort::Link_Down);
    }
    void DisablePort(int port) override {
        m_journal.Add("switch disable " + std::to_string(port));
        m_enabled = 0;
    }
    SwitchPort* GetLinkChangedPort() override { return nullptr; }
    SwitchPort* GetEnDisabledPort() override { return nullptr; }
    int IsLoggedIn() override { return 1; }
    void Reconnect() override {}

    int Enabled() const { return m_enabled.load(); }
    void LoseLinkOnEnable(int port) { m_linkLostOnEnable.insert({port, true}); }

private:
    Journal& m_journal;
    std::vector<std::unique_ptr<SwitchPort>> m_ports;
    std::atomic<int> m_enabled{0};
    std::map<int, bool> m_linkLostOnEnable;
};

// A job of its own over a switch of its own, every port link-up, for a case of a table.
struct LocalJob {
    LocalJob(ScriptedSwitch& sw, const JobEnvironment& env, int ports, int mode = Tester::Mode_Standard)
        : view(ports), tester(&view, mode) {
        std::vector<SwitchPort*> linkUp;
        for (int p = 1; p <= ports; ++p)
            linkUp.push_back(sw.GetPortStatus(p));
        view.SetLinkUpPorts(linkUp);
        tester.SetEnvironment(env);
        tester.GetLinkUpPortList();
    }
    RecordingViewSink view;
    Tester tester;
};

inline const char* const kModemIps[] = {"127.0.0.11", "127.0.0.12", "127.0.0.13"};

// The modems and their template file, made once per test process (the process's template
// store reads its file once).
struct SharedBench {
    TempDir dir{"corvay-jobs"};
    TemplateStore models;
    std::vector<std::unique_ptr<bench::FakeModem>> modems;

    SharedBench() {
        WriteFileBytes(dir / "models.dat", BenchTerminalsFile({}));
        models.Load((dir / "models.dat").string().c_str());
        std::vector<BenchAddress> addresses;
        for (const char* ip : kModemIps) {
            bench::FakeModemConfig config;
            modems.push_back(std::make_unique<bench::FakeModem>(*models.Terminals()[0], config));
            modems.back()->Start(ip);
            addresses.push_back({ip, "255.0.0.0", {modems.back()->Port()}});
        }
        WriteFileBytes(dir / "Terminals.dat", BenchTerminalsFile(addresses));
        platform::SetProgramDirectory(dir.str().c_str());
    }
    static SharedBench& Get() {
        static SharedBench bench;
        return bench;
    }
};

class JobTest : public ::testing::Test {
protected:
    static constexpr int kPorts = 4;

    void SetUp() override {
        SetLogLevel(LOG_LEVEL_ALL);
        ASSERT_TRUE(dslam.Start());
        env.switchManager = &sw;
        env.clock = &clock;
        env.system.Dslam.Ip = "127.0.0.1";
        env.system.Dslam.Login = {"admin", "admin"};
        env.dslamTelnetPort = dslam.GetTcpPort();
        env.ping = [this](const CString& ip, int timeoutMs) {
            journal.Add("ping " + ip.str());
            if (Answers(ip.str()))
                return true;
            clock.ManualClock::SleepFor(std::chrono::milliseconds(timeoutMs));
            return false;
        };
        env.clearArp = [this] { journal.Add("arp"); };
        NewCase();
    }

    // A fresh firmware database, modems as they were made, a new view and new prompts.
    void NewCase() {
        SharedBench& shared = SharedBench::Get();
        FirmwareDB::DeleteInstance();
        std::filesystem::remove(shared.dir / kFirmwareDatabaseName);
        CString why;
        ASSERT_TRUE(CreateFirmwareDatabase((shared.dir / kFirmwareDatabaseName).string().c_str(), why))
            << why.str();
        // Port 1: a CV-100, port 2: a modem of another model, port 3: none, port 4: a CV-100.
        SetModem(0, BenchModemValues(kBenchModelName, "V1.2.3&nbsp;"));
        SetModem(1, BenchModemValues("XX-9", "X1"));
        SetModem(2, BenchModemValues(kBenchModelName, "V2.0"));
        for (auto& m : shared.modems) {
            m->SetUploadHook(nullptr);
            m->SetFunctionHook(nullptr);
        }
        {
            std::lock_guard lock(m_mutex);
            portModem = {{1, kModemIps[0]}, {2, kModemIps[1]}, {4, kModemIps[2]}};
            down.clear();
            pingScript.clear();
        }
        for (int p = 1; p <= kPorts; ++p)
            dslam.SetRow(1, p,
                         "1/" + std::to_string(p) + "  ADSL2+  up  " + std::to_string(4000 + p) + "  512");
        viewPtr = std::make_unique<RecordingViewSink>(kPorts);
        std::vector<SwitchPort*> linkUp;
        for (int p = 1; p <= kPorts; ++p)
            linkUp.push_back(sw.GetPortStatus(p));
        viewPtr->SetLinkUpPorts(linkUp);
        tester.reset();
        scopedPrompts.reset();
        promptsPtr = std::make_unique<platform::RecordingPromptService>();
        scopedPrompts = std::make_unique<platform::ScopedPromptService>(*promptsPtr);
    }

    RecordingViewSink& View() { return *viewPtr; }
    platform::RecordingPromptService& Prompts() { return *promptsPtr; }

    void TearDown() override {
        tester.reset();
        scopedPrompts.reset();
        FirmwareDB::DeleteInstance();
    }

    bench::FakeModem& Modem(int index) { return *SharedBench::Get().modems[static_cast<size_t>(index)]; }
    void SetModem(int index, const std::map<std::string, std::string>& values) {
        Modem(index).SetValues(values);
    }

    // The reachable modem answers, unless a script for the reboot wait says otherwise.
    bool Answers(const std::string& ip) {
        std::lock_guard lock(m_mutex);
        if (!pingScript.empty()) {
            bool answer = pingScript.front();
            pingScript.pop_front();
            return answer;
        }
        auto found = portModem.find(sw.Enabled());
        return found != portModem.end() && found->second == ip && !down.count(ip);
    }

    // Runs one routine as a job of this mode would, on the test's thread.
    int Run(int (*routine)(TestContext&), int mode = Tester::Mode_Standard) {
        tester = std::make_unique<Tester>(viewPtr.get(), mode);
        tester->SetEnvironment(env);
        tester->GetLinkUpPortList();
        TestContext context(*tester);
        int code = routine(context);
        lastResult = context.Result;
        return code;
    }

    TestInfo::Data Record(int port) { return viewPtr->GetTestInfo(port)->Get(); }

    std::vector<std::string> SwitchCalls() {
        std::vector<std::string> calls;
        for (const auto& e : journal.Entries())
            if (IsSwitchCall(e))
                calls.push_back(e);
        return calls;
    }

    void AddRule(const std::string& oldVersion, const std::string& version, const std::string& path) {
        Firmware firmware;
        firmware.VersionName = version.c_str();
        firmware.Path = path.c_str();
        ASSERT_TRUE(FirmwareDB::GetInstance()->AddFirmware(firmware));
        ASSERT_TRUE(FirmwareDB::GetInstance()->AddUpgradeRule({oldVersion.c_str(), firmware}));
    }

    Journal journal;
    JournalClock clock{journal};
    ScriptedSwitch sw{journal, kPorts};
    bench::FakeDslam dslam{"Birch", "admin", "admin"};
    JobEnvironment env;
    std::unique_ptr<RecordingViewSink> viewPtr;
    std::unique_ptr<platform::RecordingPromptService> promptsPtr;
    std::unique_ptr<platform::ScopedPromptService> scopedPrompts;
    std::unique_ptr<Tester> tester;
    ModemResult lastResult;

    std::mutex m_mutex;
    std::map<int, std::string> portModem;
    std::map<std::string, bool> down;
    std::deque<bool> pingScript;
};

} // namespace jobtest
