#include "engine/log/SuperLogger.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/files/FileIo.h"
#include "platform/files/Profile.h"
#include "platform/files/ProgramDirectory.h"

namespace {

constexpr char kBanner[] = "\r\nSuper Logger    Version 1.1 \r\n";
constexpr char kSection[] = "SuperLog";
constexpr int kMinMaxFileLength = 30721;
constexpr int kMaxMaxFileLength = 1073741824;

const char* Tag(int level) {
    switch (level) {
    case 1:
        return "Debug:";
    case 2:
        return "Info:";
    case 3:
        return "Warning:";
    case 4:
        return "Error! ";
    default:
        return "";
    }
}

// A level text from another process: bounded by the view, decimal digits only, 0 to 5.
int ParseSharedLevel(const char* view, size_t size) {
    size_t length = strnlen(view, size);
    if (length == 0 || length > 8)
        return -1;
    int value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (view[i] < '0' || view[i] > '9')
            return -1;
        value = value * 10 + (view[i] - '0');
    }
    return value <= 5 ? value : -1;
}

// Cuts a text cut short by the format buffer back to whole GBK characters.
size_t WholeGbkLength(const char* text, size_t length) {
    size_t i = 0;
    while (i < length) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x81 && c <= 0xFE) {
            if (i + 1 >= length)
                return i;
            i += 2;
        } else {
            ++i;
        }
    }
    return length;
}

} // namespace

SuperLogger::SuperLogger(SuperLoggerOptions options) : m_options(std::move(options)) {}

SuperLogger::~SuperLogger() {
    if (m_started && !m_closed)
        Shutdown();
    while (m_detached && !m_threadFinished)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

platform::Clock& SuperLogger::ClockRef() const {
    return m_options.clock ? *m_options.clock : platform::RealClock();
}

CString SuperLogger::LogFilePath(int number) const {
    CString name;
    name.Format("log%d.txt", number);
    return platform::JoinPath(m_directory, name);
}

CString SuperLogger::SettingsPath() const {
    return platform::JoinPath(m_directory, "SuperLog.ini");
}

int SuperLogger::MaxFileLength() const {
    std::lock_guard lock(m_mutex);
    return m_maxFileLength;
}

int SuperLogger::FilesOpened() const {
    std::lock_guard lock(m_mutex);
    return m_fileCounter;
}

void SuperLogger::StartUp(bool startThread) {
    if (m_started.exchange(true))
        return;
    m_directory = m_options.directory.IsEmpty() ? platform::ProgramDirectory() : m_options.directory;
    OpenOrRotate();
    {
        std::lock_guard lock(m_mutex);
        m_buffer += kBanner; // whatever the level
    }
    WriteLog(2, "Super logger start up.", true);
    ReadSettings();
    ApplyLogLevel(Threshold());
    if (!startThread)
        return;
    try {
        m_thread = std::thread([this] { ThreadMain(); });
    } catch (const std::exception&) {
        WriteLog(4, "Super logger thread could not be started.", true);
    }
}

void SuperLogger::ReadSettings() {
    if (m_directory.IsEmpty()) {
        WriteLog(4, "GetModuleFileName失败。", false);
        return;
    }
    if (m_directory.Find('/') < 0) {
        WriteLog(4, "GetModuleFileName取得信息异常。", false);
        return;
    }
    CString ini = SettingsPath();
    int level = platform::ReadProfileInt(ini, kSection, "LogLevel", 2);
    if (level < 0 || level > 4) {
        WriteLog(4, "日志级别配置非法。", false);
        level = 2;
    }
    m_threshold = level;
    int maxLength = platform::ReadProfileInt(ini, kSection, "MaxLogFileLen", kDefaultMaxFileLength);
    if (maxLength < kMinMaxFileLength || maxLength > kMaxMaxFileLength) {
        WriteLog(4, "最大文件长度配置非法。", false);
        maxLength = kDefaultMaxFileLength;
    }
    std::lock_guard lock(m_mutex);
    m_maxFileLength = maxLength;
}

void SuperLogger::WriteSettings() {
    CString ini = SettingsPath();
    CString level;
    level.Format("%d", Threshold());
    platform::WriteProfileString(ini, kSection, "LogLevel", level);
    platform::WriteProfileInt(ini, kSection, "MaxLogFileLen", MaxFileLength());
}

int SuperLogger::WriteLog(int level, std::string_view text, bool flush) {
    int threshold = Threshold();
    if (level < threshold)
        return -1;
    if (threshold == 5)
        return 0;
    std::lock_guard lock(m_mutex);
    if (m_state == kShutDown)
        return 0; // after shutdown nothing is kept
    if (!text.empty())
        AppendLineLocked(level, text);
    if (flush || m_buffer.size() > kFlushAbove)
        FlushLocked();
    return 0;
}

void SuperLogger::WriteFormatV(int level, const char* format, va_list args) {
    if (level < Threshold() || Threshold() == 5)
        return;
    char text[8192];
    int n = vsnprintf(text, sizeof text, format ? format : "", args);
    if (n < 0)
        return;
    size_t length = static_cast<size_t>(n);
    if (length >= sizeof text)
        length = WholeGbkLength(text, sizeof text - 1);
    WriteLog(level, std::string_view(text, length), false);
}

void SuperLogger::StampLocked(std::string& out) {
    auto now = ClockRef().WallNow();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    long long second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    int milli = static_cast<int>(ms - second * 1000);
    if (second != m_stampSecond) {
        time_t t = static_cast<time_t>(second);
        struct tm local {};
        localtime_r(&t, &local);
        char text[64];
        size_t n = strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S.", &local);
        m_stampPrefix.assign(text, n);
        m_stampSecond = second;
    }
    char millis[16];
    int n = snprintf(millis, sizeof millis, "%3d ", milli);
    out += m_stampPrefix;
    out.append(millis, static_cast<size_t>(n));
}

void SuperLogger::AppendLineLocked(int level, std::string_view text) {
    StampLocked(m_buffer);
    m_buffer += Tag(level);
    m_buffer += text;
    m_buffer += "\r\n";
    BoundBufferLocked();
}

void SuperLogger::BoundBufferLocked() {
    if (m_buffer.size() <= m_options.bufferLimit)
        return;
    // Drop the oldest lines down to half the limit, so the cost is paid rarely.
    size_t cut = m_buffer.size() - m_options.bufferLimit / 2;
    size_t end = m_buffer.find("\r\n", cut > 2 ? cut - 2 : 0);
    end = end == std::string::npos ? m_buffer.size() : end + 2;
    long long lines = 0;
    for (size_t at = m_buffer.find("\r\n"); at != std::string::npos && at < end;
         at = m_buffer.find("\r\n", at + 2))
        ++lines;
    m_droppedLines += lines;
    m_buffer.erase(0, end);
}

void SuperLogger::FlushLocked() {
    int state = m_state;
    if (!m_file || m_buffer.empty() || state == kNotOpened || state == kShutDown || state == kFileError)
        return;
    if (m_droppedLines > 0) {
        std::string marker;
        StampLocked(marker);
        marker += Tag(4);
        marker += std::to_string(m_droppedLines) +
                  " log lines were dropped while the log file could not be written.\r\n";
        m_buffer.insert(0, marker);
        m_droppedLines = 0;
    }
    size_t written = 0;
    while (written < m_buffer.size()) {
        ssize_t n = ::write(m_file.Get(), m_buffer.data() + written, m_buffer.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_state = kFileError; // what was not written stays for the retry
            m_buffer.erase(0, written);
            return;
        }
        written += static_cast<size_t>(n);
    }
    m_buffer.clear();
}

bool SuperLogger::OpenFileLocked(int number, bool truncate) {
    int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (truncate ? O_TRUNC : 0);
    m_file.Reset(::open(LogFilePath(number).GetString(), flags, 0644));
    return m_file.IsValid();
}

int SuperLogger::OpenOrRotate() {
    std::lock_guard lock(m_mutex);
    int state = m_state;
    if (state == kShuttingDown || state == kShutDown)
        return state;
    if (state == kFileError && m_fileCounter >= 1) {
        --m_fileCounter; // the same name is opened again
        m_file.Reset();
    }
    if (!m_file) {
        int number = m_fileCounter % 3 + 1;
        ++m_fileCounter;
        if (!OpenFileLocked(number, false)) {
            m_state = kFileError;
            return kFileError;
        }
    }
    for (int switches = 0; switches < 3; ++switches) {
        struct stat st {};
        if (::fstat(m_file.Get(), &st) != 0 || st.st_size <= m_maxFileLength)
            break;
        m_file.Reset();
        int number = m_fileCounter % 3 + 1;
        bool truncate = m_fileCounter >= 3;
        ++m_fileCounter;
        if (!OpenFileLocked(number, truncate)) {
            m_state = kFileError;
            return kFileError;
        }
    }
    m_state = kOpen;
    return kOpen;
}

void SuperLogger::SetLogLevel(int level) {
    if (level >= 0 && level <= 5)
        ApplyLogLevel(level);
}

void SuperLogger::ApplyLogLevel(int level) {
    if (level < 0 || level > 5)
        return;
    if (level == 5)
        WriteLog(3, "日志级别被设置为LOG_LEVEL_NONE，即将关闭日志。", false);
    ReadSharedLogLevel();
    {
        std::lock_guard lock(m_sharedMutex);
        if (m_shared.Data()) {
            snprintf(m_shared.Data(), m_shared.Size(), "%d", level);
            m_shared.Flush();
        }
    }
    WriteLog(2, "设置日志级别成功。", false);
    m_threshold = level;
}

int SuperLogger::ReadSharedLogLevel() {
    std::lock_guard lock(m_sharedMutex);
    if (m_closed)
        return Threshold();
    if (!m_shared.IsOpen()) {
        if (m_shared.OpenExisting(m_options.sharedMemoryName)) {
            // Another process may have made it and not yet sized it: try again on a later pass.
            if (!m_shared.Map()) {
                m_shared.Close();
                return Threshold();
            }
        } else if (errno == ENOENT &&
                   (m_shared.CreateNew(m_options.sharedMemoryName, kSharedMemorySize) ||
                    (errno == EEXIST && m_shared.OpenExisting(m_options.sharedMemoryName)))) {
            // Created here (or by a process that won the race to create it).
            if (!m_shared.Map()) {
                m_shared.Close();
                return Threshold();
            }
            snprintf(m_shared.Data(), m_shared.Size(), "%d", Threshold());
            m_shared.Flush();
            m_sharedLogged = true;
            WriteLog(2, "设置默认日志级别到共享内存中成功。", false);
        } else {
            WriteLog(4, "创建共享内存失败。", false);
        }
    }
    if (!m_shared.Data())
        return Threshold();
    if (!m_sharedLogged) {
        m_sharedLogged = true;
        WriteLog(1, std::string_view(m_shared.Data(), strnlen(m_shared.Data(), m_shared.Size())), false);
    }
    return ParseSharedLevel(m_shared.Data(), m_shared.Size());
}

void SuperLogger::RunPass(int passNumber) {
    if (passNumber % 10 == 0) {
        {
            // Not through WriteLog: a high threshold must not hold lines back forever.
            std::lock_guard lock(m_mutex);
            FlushLocked();
        }
        int shared = ReadSharedLogLevel();
        if (shared != Threshold() && shared >= 0 && shared <= 5) {
            ApplyLogLevel(shared);
            WriteSettings();
        }
    }
    if (passNumber % 40 == 0 || m_state == kFileError) {
        if (OpenOrRotate() == kFileError) {
            if (m_stop.Wait(static_cast<uint32_t>(m_options.retryDelay.count())) == platform::kWaitObject0)
                return;
            OpenOrRotate();
        }
    }
}

void SuperLogger::ThreadMain() {
    WriteLog(1, "日志线程启动.", true);
    int pass = 1;
    while (m_run) {
        if (m_stop.Wait(static_cast<uint32_t>(m_options.passPeriod.count())) == platform::kWaitObject0)
            break;
        ++pass;
        RunPass(pass);
    }
    FinishLogging();
    m_threadFinished = true; // the last touch of this object
}

void SuperLogger::FinishLogging() {
    WriteLog(2, "Super logger has exited.", true);
    std::lock_guard lock(m_mutex);
    FlushLocked(); // what a high threshold kept back still goes out
    m_file.Reset();
    m_state = kShutDown;
    m_exited.Set();
}

bool SuperLogger::Shutdown() {
    if (!m_started || m_closed.exchange(true))
        return true;
    m_run = false;
    m_state = kShuttingDown; // not under the lock: a thread stuck inside it must not hold us
    m_stop.Set();
    bool ended = true;
    if (m_thread.joinable()) {
        ended = false;
        for (int poll = 0; poll < m_options.shutdownPolls && !ended; ++poll)
            ended =
                m_state == kShutDown ||
                m_exited.Wait(static_cast<uint32_t>(m_options.passPeriod.count())) == platform::kWaitObject0;
        if (ended) {
            m_thread.join();
        } else {
            m_detached = true;
            m_thread.detach(); // never killed; the destructor waits for it
        }
    } else {
        FinishLogging();
    }
    std::lock_guard lock(m_sharedMutex);
    m_shared.Close();
    return ended;
}
