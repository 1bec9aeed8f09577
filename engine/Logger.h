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
