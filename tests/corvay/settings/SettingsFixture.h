#pragma once
// A program directory and a registry store of the test's own, a real Configer over them, and
// the boxes the dialogs show.

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "engine/config/Configer.h"
#include "platform/files/Profile.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/prompt/Prompt.h"
#include "tests/support/PrivateLog.h"
#include "tests/support/TempDir.h"

namespace testsupport {

class SettingsFixture {
public:
    SettingsFixture() {
        platform::SetProgramDirectory((dir.str() + "/").c_str());
        std::filesystem::create_directory(dir / "registry");
        platform::SetRegistryRoot((dir / "registry").c_str());
        platform::SetPromptService(&prompts);
    }
    ~SettingsFixture() {
        Configer::DeleteInstance();
        platform::SetPromptService(nullptr);
        platform::SetProgramDirectory("");
        platform::SetRegistryRoot("");
    }
    SettingsFixture(const SettingsFixture&) = delete;
    SettingsFixture& operator=(const SettingsFixture&) = delete;

    std::filesystem::path Ini() const { return dir / "Config.ini"; }
    // Starts from this Config.ini with a fresh Configer.
    void WriteIni(const std::string& text) {
        Configer::DeleteInstance();
        std::filesystem::remove(Ini());
        if (!text.empty())
            WriteFileBytes(Ini(), text);
    }
    // A key as saved, "<missing>" when the file or the key is not there.
    CString Saved(const char* section, const char* key) const {
        if (!std::filesystem::exists(Ini()))
            return "<missing>";
        return platform::ReadProfileString(Ini().c_str(), section, key, "<missing>");
    }
    bool Exists() const { return std::filesystem::exists(Ini()); }

    TempDir dir{"corvay-settings"};
    platform::RecordingPromptService prompts;
};

} // namespace testsupport
