#pragma once
// The process's Configer, built from a Config.ini of the test's own in a program directory and
// registry store of its own; deleted, and the directories given back, when the object goes.

#include <filesystem>
#include <string>

#include "engine/config/Configer.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "tests/support/TempDir.h"

namespace testsupport {

class ProcessConfiguration {
public:
    explicit ProcessConfiguration(const std::string& ini) {
        platform::SetProgramDirectory((m_dir.str() + "/").c_str());
        std::filesystem::create_directory(m_dir / "registry");
        platform::SetRegistryRoot((m_dir / "registry").c_str());
        WriteFileBytes(m_dir / "Config.ini", ini);
        m_config = Configer::GetInstance();
    }
    ~ProcessConfiguration() {
        Configer::DeleteInstance();
        platform::SetProgramDirectory("");
        platform::SetRegistryRoot("");
    }
    ProcessConfiguration(const ProcessConfiguration&) = delete;
    ProcessConfiguration& operator=(const ProcessConfiguration&) = delete;

    Configer& operator*() const { return *m_config; }
    Configer* operator->() const { return m_config; }
    // Changes the switch password as the switch settings dialog does.
    void SetSwitchPassword(const char* password) {
        SwitchConfig sw = m_config->GetSwitchConfig();
        sw.Login.Password = password;
        m_config->SetSwitchConfig(sw);
    }

private:
    TempDir m_dir{"corvay-config"};
    Configer* m_config = nullptr;
};

} // namespace testsupport
