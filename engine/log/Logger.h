#pragma once
// The program's one log (the Super Logger): four calls, one per level, formatted printf-style.
// Lines collect in memory and go to log1.txt .. log3.txt in the program directory in batches.

#include "platform/text/CString.h"

constexpr int LOG_LEVEL_ALL = 0;
constexpr int LOG_LEVEL_DEBUG = 1;
constexpr int LOG_LEVEL_INFO = 2;
constexpr int LOG_LEVEL_WARNING = 3;
constexpr int LOG_LEVEL_ERROR = 4;
constexpr int LOG_LEVEL_NONE = 5;

void LogDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogDebugString(const CString& text);
void LogErrorString(const CString& text);

int WriteLog(int level, const CString& text, bool flush);
int WriteLogText(int level, const char* text, bool flush);

void SetLogLevel(int level);
void ApplyLogLevel(int level);
int ReadSharedLogLevel();
// Writes SuperLog.ini with the current level, so that the next start begins there (the log
// settings dialog, after SetLogLevel).
void SaveLogSettings();

// The process-wide logger starts on the first call above, or here: the program calls
// StartSuperLogger first thing in main and ShutdownSuperLogger after the application has
// ended (a started logger is also shut down at exit). Lines written after shutdown go nowhere.
void StartSuperLogger();
void ShutdownSuperLogger();

// Directory, shared-memory name and timing of the process-wide logger; only before it starts
// (tests of other parts keep their logs and shared level to themselves with it).
struct SuperLoggerOptions;
void ConfigureSuperLogger(const SuperLoggerOptions& options);
