#pragma once
// Fixture of the Wi-Fi library's tests: a fake wireless-card module, a fake service manager,
// recorded boxes, a manual clock and the log lines written since the test began.

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/log/Logger.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/wifi/ServiceControl.h"
#include "tests/support/PrivateLog.h"
#include "tests/wireless/FakeWlanModule.h"
#include "wireless/WLanConfiger.h"
#include "wireless/WifiService.h"

namespace testsupport {

// A service whose states follow a script: each status query takes the next one, the last one
// stays. Start and the stop control take their own script when given.
struct FakeService {
    std::vector<platform::ServiceStatus> statuses{{platform::kServiceStopped, 0, 0, 0}};
    std::vector<platform::ServiceStatus> afterStart{{platform::kServiceRunning, 0, 0, 0}};
    std::vector<platform::ServiceStatus> afterStop{{platform::kServiceStopped, 0, 0, 0}};
    uint32_t queryResult = 0, startResult = 0, stopResult = 0;
    int queries = 0, starts = 0, stops = 0;

    platform::ServiceStatus Next() {
        ++queries;
        platform::ServiceStatus status = statuses.front();
        if (statuses.size() > 1)
            statuses.erase(statuses.begin());
        return status;
    }
};

class FakeServices : public platform::ServiceControl {
public:
    uint32_t managerResult = 0;
    std::map<std::string, FakeService> services;

    uint32_t OpenManager(std::unique_ptr<platform::ServiceManager>& manager) override {
        if (managerResult)
            return managerResult;
        manager = std::make_unique<Manager>(*this);
        return 0;
    }

private:
    class Handle : public platform::ServiceHandle {
    public:
        explicit Handle(FakeService& service) : m_service(service) {}
        uint32_t QueryStatus(platform::ServiceStatus& status) override {
            if (m_service.queryResult)
                return m_service.queryResult;
            status = m_service.Next();
            return 0;
        }
        uint32_t Start() override {
            ++m_service.starts;
            if (m_service.startResult)
                return m_service.startResult;
            m_service.statuses = m_service.afterStart;
            return 0;
        }
        uint32_t ControlStop(platform::ServiceStatus& status) override {
            ++m_service.stops;
            if (m_service.stopResult)
                return m_service.stopResult;
            m_service.statuses = m_service.afterStop;
            status = m_service.Next();
            return 0;
        }

    private:
        FakeService& m_service;
    };
    class Manager : public platform::ServiceManager {
    public:
        explicit Manager(FakeServices& owner) : m_owner(owner) {}
        uint32_t OpenService(const std::string& name,
                             std::unique_ptr<platform::ServiceHandle>& service) override {
            auto found = m_owner.services.find(name);
            if (found == m_owner.services.end())
                return platform::kServiceDoesNotExist;
            service = std::make_unique<Handle>(found->second);
            return 0;
        }

    private:
        FakeServices& m_owner;
    };
};

class WlanLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeWlan::Current() = &fake;
        platform::InstallWlanModule(&module);
        platform::InstallServiceControl(&services);
        platform::SetPromptService(&prompts);
        SetWirelessClock(&clock);
        SetOsVersionInfo(std::nullopt);
        SetLogLevel(LOG_LEVEL_DEBUG);
        m_logStart = LogText().size();
    }
    void TearDown() override {
        // The library keeps a module it loaded for a check (IsWlanApiUsable) until one of its
        // objects comes and goes: the fake's entries must not outlive the test.
        platform::InstallWlanModule(&module);
        { WLanConfiger release; }
        platform::InstallWlanModule(nullptr);
        platform::InstallServiceControl(nullptr);
        platform::SetPromptService(nullptr);
        SetWirelessClock(nullptr);
        SetOsVersionInfo(std::nullopt);
        FakeWlan::Current() = nullptr;
    }

    // The log written since the test began.
    std::string NewLog() { return LogText().substr(m_logStart); }
    static int Occurrences(const std::string& text, const std::string& part) {
        int count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
            ++count;
        return count;
    }
    // Text and caption of every box shown.
    static std::vector<std::pair<std::string, std::string>>
    BoxesOf(const platform::RecordingPromptService& service) {
        std::vector<std::pair<std::string, std::string>> boxes;
        for (const auto& box : service.Boxes())
            boxes.emplace_back(box.text.str(), box.caption.str());
        return boxes;
    }
    std::vector<std::pair<std::string, std::string>> ShownBoxes() const { return BoxesOf(prompts); }
    long long ElapsedMs() const { return clock.TickMs() - m_startTick; }

    FakeWlan fake;
    platform::WlanModule module = FakeWlanModule();
    FakeServices services;
    platform::RecordingPromptService prompts;
    platform::ManualClock clock;

private:
    size_t m_logStart = 0;
    long long m_startTick = clock.TickMs();
};

using BoxList = std::vector<std::pair<std::string, std::string>>;

} // namespace testsupport
