#pragma once
// The warnings of a capture path, written by a thread of their own: the capture callback only
// queues a line, since a log write can wait for the disk or for another thread's flush while
// frames keep arriving. The queue is bounded; lines that find it full are counted and their
// number is logged with the next line written.

#include <condition_variable>
#include <cstdarg>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CaptureLog {
public:
    static constexpr size_t kMaxQueued = 4096;
    // Writes one line; the process's log by default (tests may hold it up).
    using Sink = std::function<void(int level, const std::string& text)>;

    explicit CaptureLog(Sink sink = {});
    // Writes what is queued, then ends the thread.
    ~CaptureLog();
    CaptureLog(const CaptureLog&) = delete;
    CaptureLog& operator=(const CaptureLog&) = delete;

    // From the capture path: never waits for a write.
    void Queue(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Lines dropped so far because the queue was full.
    size_t Dropped() const;

private:
    void Run();

    Sink m_sink;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::pair<int, std::string>> m_lines;
    size_t m_dropped = 0;
    size_t m_droppedReported = 0;
    bool m_stop = false;
    std::thread m_thread;
};
