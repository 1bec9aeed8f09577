#include "stavrintool/app/ToolConfig.h"

#include "platform/files/Profile.h"
#include "platform/files/ProgramDirectory.h"

ToolConfig::ToolConfig(const CString& programDirectory)
    : m_programDirectory(programDirectory),
      m_settingsPath(platform::JoinPath(programDirectory, "\\Config.ini")) {}

ToolConfig* ToolConfig::GetInstance() {
    static ToolConfig* config = [] {
        auto* made = new ToolConfig(platform::ProgramDirectory());
        made->Load();
        return made;
    }();
    return config;
}

void ToolConfig::Load() {
    m_language = platform::ReadProfileString(m_settingsPath, "System", "Language", "");
}
