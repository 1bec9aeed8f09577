// The file log "info.log" that the host libraries share.

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "hostnet/dunmore/Function.h"
#include "platform/clock/Clock.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/UniqueFd.h"

namespace {

constexpr off_t kMaxLogSize = 10240000;
constexpr size_t kFormatBuffer = 102400;

std::atomic<platform::Clock*> logClock{nullptr};

// Records of several threads go to the file whole, one after the other.
std::mutex& LogLock() {
    static std::mutex lock;
    return lock;
}

std::string FormatText(const char* prefix, const char* format, va_list args) {
    std::vector<char> buffer(kFormatBuffer);
    int length = std::vsnprintf(buffer.data(), buffer.size(), format ? format : "", args);
    if (length < 0)
        length = 0;
    if (static_cast<size_t>(length) >= buffer.size())
        length = static_cast<int>(buffer.size() - 1); // longer output is cut
    return std::string(prefix) + std::string(buffer.data(), static_cast<size_t>(length));
}

CString InProgramDirectory(const char* name) { return platform::JoinPath(CFunction::GetCurrentModuleDir(), name); }

} // namespace

void CFunction::SetLogClock(platform::Clock* clock) { logClock.store(clock); }

void CFunction::Log(const char* text) {
    try {
        platform::Clock* clock = logClock.load();
        std::time_t now = std::chrono::system_clock::to_time_t((clock ? *clock : platform::RealClock()).WallNow());
        std::tm local{};
        localtime_r(&now, &local);
        char header[64];
        std::snprintf(header, sizeof header, "\r\n%04d-%02d-%02d %02d:%02d:%02d\r\n", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
        std::string record = std::string(header) + (text ? text : "");

        CString path = InProgramDirectory("info.log");
        std::lock_guard<std::mutex> hold(LogLock());
        platform::UniqueFd file(::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
        if (!file)
            return;
        struct stat info {};
        if (::fstat(file.Get(), &info) == 0 && info.st_size > kMaxLogSize)
            (void)::ftruncate(file.Get(), 0); // no rotation: the log starts again empty
        const char* data = record.data();
        size_t left = record.size();
        while (left > 0) {
            ssize_t written = ::write(file.Get(), data, left);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return;
            data += written;
            left -= static_cast<size_t>(written);
        }
    } catch (...) {
        // The log never fails visibly.
    }
}

void CFunction::DLog(const char* format, ...) {
    try {
        if (::access(InProgramDirectory("log.debug"), F_OK) != 0)
            return;
        va_list args;
        va_start(args, format);
        std::string text = FormatText("", format, args);
        va_end(args);
        Log(text.c_str());
    } catch (...) {
    }
}

void CFunction::RLog(const char* format, ...) {
    try {
        va_list args;
        va_start(args, format);
        std::string text = FormatText("[RLog]===>", format, args);
        va_end(args);
        Log(text.c_str());
    } catch (...) {
    }
}
