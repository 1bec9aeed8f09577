#include "engine/jobs/WorkerThread.h"

#include <exception>

#include "engine/log/Logger.h"

WorkerThread::~WorkerThread() {
    Join();
}

bool WorkerThread::Start() {
    bool expected = false;
    if (!m_started.compare_exchange_strong(expected, true))
        return false;
    m_thread = std::thread([this] {
        int code = WorkerThreadProc(this);
        m_exitCode.store(code);
        m_ended.Set();
    });
    return true;
}

bool WorkerThread::WaitForEnd(uint32_t milliseconds) {
    if (!m_started.load())
        return true;
    return m_ended.Wait(milliseconds) == platform::kWaitObject0;
}

void WorkerThread::Join() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

int WorkerThreadProc(WorkerThread* object) {
    if (object == nullptr) {
        LogDebug("WorkerThreadProc():输入参数非法.");
        return -1;
    }
    // An exception must not escape a thread (that would end the process); Exit still runs.
    try {
        if (object->Init())
            object->Run();
        else
            LogDebug("UINT WorkerThreadProc(LPVOID lpParam) 初始化失败。");
    } catch (const std::exception& e) {
        LogError("WorkerThreadProc(): %s", e.what());
    } catch (...) {
        LogError("WorkerThreadProc(): unknown exception");
    }
    try {
        object->Exit();
    } catch (...) {
        LogError("WorkerThreadProc(): exception in Exit");
    }
    return 0;
}
