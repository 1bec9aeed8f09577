#include "engine/log/Logger.h"

#include <cstdarg>
#include <cstdlib>
#include <mutex>

#include "engine/log/SuperLogger.h"

namespace {

std::mutex g_optionsMutex;
SuperLoggerOptions g_options;
std::once_flag g_startOnce;

// Never deleted: a caller that logs during or after the exit of the process still finds a
// live lock, and its line simply goes nowhere once the logger is shut down.
SuperLogger& Instance() {
    static SuperLogger* logger = [] {
        std::lock_guard lock(g_optionsMutex);
        return new SuperLogger(g_options);
    }();
    return *logger;
}

SuperLogger& Started() {
    SuperLogger& logger = Instance();
    std::call_once(g_startOnce, [&] {
        logger.StartUp();
        std::atexit(ShutdownSuperLogger);
    });
    return logger;
}

void Format(int level, const char* format, va_list args) {
    Started().WriteFormatV(level, format, args);
}

} // namespace

void ConfigureSuperLogger(const SuperLoggerOptions& options) {
    std::lock_guard lock(g_optionsMutex);
    g_options = options;
}

void StartSuperLogger() {
    Started();
}

void ShutdownSuperLogger() {
    Instance().Shutdown();
}

void LogDebug(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Format(LOG_LEVEL_DEBUG, format, args);
    va_end(args);
}

void LogInfo(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Format(LOG_LEVEL_INFO, format, args);
    va_end(args);
}

void LogWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Format(LOG_LEVEL_WARNING, format, args);
    va_end(args);
}

void LogError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Format(LOG_LEVEL_ERROR, format, args);
    va_end(args);
}

void LogDebugString(const CString& text) {
    Started().WriteLog(LOG_LEVEL_DEBUG, text.str(), false);
}
void LogErrorString(const CString& text) {
    Started().WriteLog(LOG_LEVEL_ERROR, text.str(), false);
}

int WriteLog(int level, const CString& text, bool flush) {
    return Started().WriteLog(level, text.str(), flush);
}

int WriteLogText(int level, const char* text, bool flush) {
    if (!text)
        return -1;
    return Started().WriteLog(level, text, flush);
}

void SetLogLevel(int level) {
    Started().SetLogLevel(level);
}
void ApplyLogLevel(int level) {
    Started().ApplyLogLevel(level);
}
int ReadSharedLogLevel() {
    return Started().ReadSharedLogLevel();
}
void SaveLogSettings() {
    Started().WriteSettings();
}
