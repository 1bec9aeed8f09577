#include "engine/ping/CaptureLog.h"

#include <cstdio>

#include "engine/log/Logger.h"

CaptureLog::CaptureLog(Sink sink) : m_sink(std::move(sink)) {
    if (!m_sink)
        m_sink = [](int level, const std::string& text) { WriteLogText(level, text.c_str(), false); };
    m_thread = std::thread([this] { Run(); });
}

CaptureLog::~CaptureLog() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void CaptureLog::Queue(int level, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_lines.size() >= kMaxQueued) {
            ++m_dropped;
            return;
        }
        m_lines.emplace_back(level, text);
    }
    m_wake.notify_one();
}

size_t CaptureLog::Dropped() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dropped;
}

void CaptureLog::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_lines.empty(); });
        if (m_lines.empty() && m_stop)
            return;
        std::deque<std::pair<int, std::string>> lines;
        lines.swap(m_lines);
        const size_t dropped = m_dropped - m_droppedReported;
        m_droppedReported = m_dropped;
        lock.unlock();
        if (dropped > 0) {
            char note[128];
            std::snprintf(note, sizeof note, "抓包线程的日志队列已满，丢弃了%zu条日志。", dropped);
            m_sink(LOG_LEVEL_WARNING, note);
        }
        for (const auto& [level, text] : lines)
            m_sink(level, text);
        lock.lock();
    }
}
