#pragma once
// The Super Logger underneath the free functions of Logger.h: a text buffer, log1.txt ..
// log3.txt in a directory, the level shared between processes through a named shared memory,
// SuperLog.ini, and one thread that flushes and watches the shared level. The program uses one
// process-wide instance (Logger.h); tests build private ones with their own directory,
// shared-memory name, clock and pass period.

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/clock/Clock.h"
#include "platform/files/SharedMemory.h"
#include "platform/files/UniqueFd.h"
#include "platform/sync/Event.h"
#include "platform/text/CString.h"

struct SuperLoggerOptions {
    CString directory; // empty: the program directory
    std::string sharedMemoryName = "SuperLogShareMem";
    platform::Clock* clock = nullptr;           // time stamps; null: the real clock
    std::chrono::milliseconds passPeriod{300};  // one pass of the thread, one shutdown poll
    std::chrono::milliseconds retryDelay{3000}; // before the second open after an error
    int shutdownPolls = 50;
    size_t bufferLimit = 8 << 20; // bytes kept while the file cannot be written
};

class SuperLogger {
public:
    enum FileState { kNotOpened = 0, kOpen = 1, kShuttingDown = 2, kShutDown = 3, kFileError = 4 };
    static constexpr int kSharedMemorySize = 1024;
    static constexpr int kDefaultMaxFileLength = 104857600;
    static constexpr size_t kFlushAbove = 3073;

    explicit SuperLogger(SuperLoggerOptions options = {});
    SuperLogger(const SuperLogger&) = delete;
    SuperLogger& operator=(const SuperLogger&) = delete;
    // Shuts down when started and not yet shut down; when the thread did not end in time, waits
    // for it, since it still uses this object.
    ~SuperLogger();

    // Opens log1.txt, writes the banner, reads SuperLog.ini, sets up the shared level and, when
    // asked, starts the thread. Once only.
    void StartUp(bool startThread = true);
    // Stops the thread (at most shutdownPolls polls) and closes the file; later writes go
    // nowhere. False when the thread did not end in time (it is then left running, detached).
    bool Shutdown();

    // -1 when the level is below the threshold, else 0.
    int WriteLog(int level, std::string_view text, bool flush);
    void WriteFormatV(int level, const char* format, va_list args);

    void SetLogLevel(int level);
    void ApplyLogLevel(int level);
    // The level in the shared memory, creating it when missing; -1 when its text is not a
    // level; the threshold when there is no view.
    int ReadSharedLogLevel();

    // Writes SuperLog.ini with the current threshold and file length.
    void WriteSettings();

    // Opens the current file or switches to the next one; returns the new file state (1 or 4).
    int OpenOrRotate();
    // The work of one pass of the thread with the given pass number (tests drive it directly).
    void RunPass(int passNumber);

    int Threshold() const { return m_threshold.load(std::memory_order_relaxed); }
    int GetFileState() const { return m_state.load(); }
    int MaxFileLength() const;
    int FilesOpened() const;
    CString Directory() const { return m_directory; }

private:
    void ThreadMain();
    void FinishLogging();
    void ReadSettings();
    void AppendLineLocked(int level, std::string_view text);
    void FlushLocked();
    void BoundBufferLocked();
    void StampLocked(std::string& out);
    bool OpenFileLocked(int number, bool truncate);
    CString LogFilePath(int number) const;
    CString SettingsPath() const;
    platform::Clock& ClockRef() const;

    const SuperLoggerOptions m_options;
    CString m_directory;

    std::atomic<int> m_threshold{2};
    std::atomic<int> m_state{kNotOpened};
    std::atomic<bool> m_run{true};
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_closed{false}; // after shutdown: writes go nowhere
    std::atomic<bool> m_threadFinished{false};
    std::atomic<bool> m_detached{false};

    // The logger lock: buffer, file, counter, state changes, the length limit.
    mutable std::mutex m_mutex;
    std::string m_buffer;
    platform::UniqueFd m_file;
    int m_fileCounter = 0;
    int m_maxFileLength = kDefaultMaxFileLength;
    long long m_droppedLines = 0;
    long long m_stampSecond = -1;
    std::string m_stampPrefix;

    // The shared level's mapping; taken before the logger lock, never while holding it.
    std::mutex m_sharedMutex;
    platform::SharedMemory m_shared;
    bool m_sharedLogged = false;

    platform::Event m_stop{true};
    platform::Event m_exited{true};
    std::thread m_thread;
};
