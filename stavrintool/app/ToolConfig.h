#pragma once
// ToolConfig: the tool's settings, read once from Config.ini beside the program; the tool reads
// only [System] "Language".

#include "platform/text/CString.h"

class ToolConfig {
public:
    // The process-wide settings, built and loaded on first use.
    static ToolConfig* GetInstance();

    // Reads [System] "Language" ("" when missing).
    void Load();

    const CString& ProgramDirectory() const { return m_programDirectory; }
    const CString& SettingsPath() const { return m_settingsPath; }
    const CString& Language() const { return m_language; }

    // Settings of another directory (tests; the instance keeps the program directory).
    explicit ToolConfig(const CString& programDirectory);

private:
    CString m_programDirectory;
    CString m_settingsPath;
    CString m_reserved; // carried empty, as the settings file never fills it
    CString m_language;
};
